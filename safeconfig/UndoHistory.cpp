#include "safeconfig/UndoHistory.h"

#include "safeconfig/ConfigSnapshot.h"

TUndoHistory::TUndoHistory(std::size_t limit) : MaxSteps(limit > 0 ? limit : 1) {}

TUndoHistory::TState TUndoHistory::Capture(const TXMLConfig& config) {
    TState state;
    if (config.TopNode) {
        state.Tree = CloneNode(*config.TopNode);
        state.Text = config.TopNode->AsXML();
        state.Serial = config.TopNode->Serial;
    }
    return state;
}

void TUndoHistory::Apply(TState& state, TXMLConfig& config, TQuadList& zones) {
    if (!state.Tree) {
        config.TopNode.reset();
    } else if (config.TopNode && config.TopNode->Serial == state.Serial) {
        AssignNode(*config.TopNode, *state.Tree);
    } else {
        config.TopNode = CloneNode(*state.Tree);
        state.Serial = config.TopNode->Serial;
    }
    const int selected = zones.SelectedIndex;
    config.ReadSensors(zones);
    // Keep the zone the user works on when it still exists, else the last one.
    if (selected < 0 || selected >= zones.Count())
        zones.SelectedIndex = zones.Count() - 1;
}

void TUndoHistory::Reset(const TXMLConfig& config) {
    Done.clear();
    Undone.clear();
    Current = Capture(config);
}

void TUndoHistory::Rebase(const TXMLConfig& config) {
    Current = Capture(config);
}

bool TUndoHistory::Record(const TXMLConfig& config) {
    TState now = Capture(config);
    // An absent document and an empty one write the same (nothing), yet differ.
    if (now.Text == Current.Text && (now.Tree == nullptr) == (Current.Tree == nullptr))
        return false;
    Done.push_back(std::move(Current));
    while (Done.size() > MaxSteps)
        Done.pop_front();
    Undone.clear();
    Current = std::move(now);
    return true;
}

bool TUndoHistory::Undo(TXMLConfig& config, TQuadList& zones) {
    Record(config);
    if (Done.empty())
        return false;
    Undone.push_back(std::move(Current));
    Current = std::move(Done.back());
    Done.pop_back();
    Apply(Current, config, zones);
    return true;
}

bool TUndoHistory::Redo(TXMLConfig& config, TQuadList& zones) {
    Record(config);
    if (Undone.empty())
        return false;
    Done.push_back(std::move(Current));
    Current = std::move(Undone.back());
    Undone.pop_back();
    Apply(Current, config, zones);
    return true;
}
