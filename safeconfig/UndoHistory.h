#pragma once
// Undo and redo of edits of the configuration document. Every completed edit is one step: the
// document as it was before it is kept as an exact copy, so an undo restores the very bytes that
// a save or an upload would have carried then, and the zones are rebuilt from it.

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"
#include "geometry/TFGeometry2.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class TUndoHistory {
public:
    static constexpr std::size_t DefaultLimit = 100;
    static_assert(DefaultLimit > 0);

    explicit TUndoHistory(std::size_t limit = DefaultLimit);

    // Forgets every step; the document as it is now is where undo stops.
    void Reset(const TXMLConfig& config);
    // Takes the document as it is now as the present state without making a step: for changes
    // that are no edit of their own, such as the settings stored before a save.
    void Rebase(const TXMLConfig& config);
    // After an edit: true when the document changed since the present state, which then becomes
    // one undo step. A new step drops the redo steps.
    bool Record(const TXMLConfig& config);
    // Restore the state before the last step (or after the last undone one) into the document and
    // rebuild the zones from it. Changes not recorded yet count as a step of their own first.
    bool Undo(TXMLConfig& config, TQuadList& zones);
    bool Redo(TXMLConfig& config, TQuadList& zones);

    std::size_t UndoCount() const { return Done.size(); }
    std::size_t RedoCount() const { return Undone.size(); }
    std::size_t Limit() const { return MaxSteps; }

private:
    struct TState {
        std::unique_ptr<TXMLNode> Tree; // nullptr: no document
        std::string Text;
        // The document the copy was taken from. A state goes back into that very document, so
        // a settings dialog that read it keeps writing to it; into any other document it comes
        // as a new one, so that a dialog that read another never writes its values into it.
        std::uint64_t Serial = 0;
    };
    static TState Capture(const TXMLConfig& config);
    static void Apply(TState& state, TXMLConfig& config, TQuadList& zones);

    std::size_t MaxSteps;
    TState Current;
    std::deque<TState> Done;
    std::deque<TState> Undone;
};
