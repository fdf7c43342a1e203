#pragma once
// The undo steps of the editor: the view tells when an edit is finished and when the user asks
// for an undo or a redo; this keeps the steps and puts them back into the view's document.

#include "safeconfig/UndoHistory.h"

class TQuadImager;

class TUndoRecorder final {
public:
    // Binds the view's announcements; the document as it is now is where undo stops.
    explicit TUndoRecorder(TQuadImager& view);
    ~TUndoRecorder();
    TUndoRecorder(const TUndoRecorder&) = delete;
    TUndoRecorder& operator=(const TUndoRecorder&) = delete;

    // After a completed edit; nothing when the document did not change.
    void Record();
    // A change that is no edit of its own (settings stored before a save) becomes part of the
    // present state.
    void Rebase();
    // A configuration came from elsewhere (the detector): no step leads back beyond it.
    void Reset();
    // Only in editing mode; a drag in progress ends there.
    bool Undo();
    bool Redo();

    const TUndoHistory& Steps() const { return History; }

private:
    bool Step(bool redo);

    TQuadImager& View;
    TUndoHistory History;
};
