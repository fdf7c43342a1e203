#pragma once
// The cleaning action of the main menu: the cleaning dialog over the document's system object,
// the cleaning command when the dialog ends with OK, and the level query behind the dialog's
// poll. The controller lends it its one-shot exchange, its main connection and its way of
// running a dialog.

#include "cleaning/CleaningForm.h"

#include <functional>
#include <string>

class QDialog;
class QPoint;
class QWidget;
class TXMLConfig;

class TCleaningAction final {
public:
    // One command line to the detector over a connection of its own, its reply line back. It is
    // bound to the detector when it is made, so that it may then run on any thread.
    using TExchange = std::function<std::string(const std::string& command)>;
    std::function<TExchange()> Exchange;
    // Runs a dialog modally; true when accepted.
    std::function<bool(QDialog*)> Exec;
    // One line on the main connection, which drops it while it is down.
    std::function<void(const std::string&)> SendLine;

    // The level digit of a "gg" reply, -1 when there is none.
    int QueryState() const;
    TCleanForm::TStateJob StateJob() const;
    // The dialog, owned by `owner`, its poll asking through this action.
    TCleanForm* CreateForm(QWidget* owner) const;
    // The dialog on the document (a default one when there is none), the command on OK, and
    // the timings back into the document in any case.
    void Show(TCleanForm& form, TXMLConfig& config, const QPoint& where) const;
};
