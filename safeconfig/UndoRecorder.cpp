#include "safeconfig/UndoRecorder.h"

#include "zones/TFImageHelper2.h"

TUndoRecorder::TUndoRecorder(TQuadImager& view) : View(view) {
    History.Reset(*View.Config);
    View.OnEditFinished = [this](TQuadImager&) { Record(); };
    View.OnUndoRequest = [this](TQuadImager&, bool redo) { Step(redo); };
}

// The view may outlive us by a moment while its owner goes.
TUndoRecorder::~TUndoRecorder() {
    View.OnEditFinished = nullptr;
    View.OnUndoRequest = nullptr;
}

void TUndoRecorder::Record() {
    History.Record(*View.Config);
}

void TUndoRecorder::Rebase() {
    History.Rebase(*View.Config);
}

void TUndoRecorder::Reset() {
    History.Reset(*View.Config);
}

bool TUndoRecorder::Undo() {
    return Step(false);
}

bool TUndoRecorder::Redo() {
    return Step(true);
}

bool TUndoRecorder::Step(bool redo) {
    if (!View.Editing)
        return false;
    View.CancelDrag();
    const bool done = redo ? History.Redo(*View.Config, View) : History.Undo(*View.Config, View);
    if (done)
        View.PaintView();
    return done;
}
