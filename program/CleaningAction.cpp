// The controller's cleaning action: the cleaning dialog over the document's system object, the
// cleaning command on the main connection, and the level query behind the dialog's poll.
#include "program/zelmont_box.h"

#include "cleaning/CleaningForm.h"
#include "cleaning/CleaningSchedule.h"
#include "dialogs/Prompts.h"

std::function<int()> TZelmont_box::CleaningStateJob() const {
    // The detector and its login are taken here, on the GUI thread; the exchange itself needs
    // nothing of the controller and may run on any thread (the one-shot socket is per thread).
    return [target = SyncTarget()] { return CleaningStateFromReply(::Transact(target, "gg")); };
}

int TZelmont_box::QueryCleaningState() {
    return CleaningStateJob()();
}

void TZelmont_box::ShowCleaning() {
    if (!CleanForm) {
        CleanForm = new TCleanForm(MainForm());
        CleanForm->SetStateQuery([this] { return CleaningStateJob(); }, nullptr);
    }
    if (!Config->TopNode)
        Config->CreateDefault("KERVOLA2", "ZELMONT_SF");
    CleanForm->LoadCleaning(Config->TopNode.get());
    CleanForm->move(DialogPosition());
    // The client drops the line when the main connection is down.
    if (Prompts->Exec(CleanForm))
        SendLine(CleanForm->CleaningCommand());
    CleanForm->StoreCleaning(Config->TopNode.get());
}
