#include "cleaning/CleaningAction.h"

#include "config/XMLConfig.h"

#include <QPoint>

TCleanForm::TStateJob TCleaningAction::StateJob() const {
    // The detector and its login are taken now, on the GUI thread; the exchange needs nothing
    // of the controller afterwards (the one-shot socket is per thread).
    return [exchange = Exchange()] { return CleaningStateFromReply(exchange("gg")); };
}

int TCleaningAction::QueryState() const {
    return StateJob()();
}

TCleanForm* TCleaningAction::CreateForm(QWidget* owner) const {
    auto* form = new TCleanForm(owner);
    form->SetStateQuery([this] { return StateJob(); }, nullptr);
    return form;
}

void TCleaningAction::Show(TCleanForm& form, TXMLConfig& config, const QPoint& where) const {
    if (!config.TopNode)
        config.CreateDefault("KERVOLA2", "ZELMONT_SF");
    form.LoadCleaning(config.TopNode.get());
    form.move(where);
    if (Exec(&form))
        SendLine(form.CleaningCommand());
    form.StoreCleaning(config.TopNode.get());
}
