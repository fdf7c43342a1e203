#pragma once
// Keys that act on a whole tabbed dialog wherever its focus is: Ctrl+Tab and Ctrl+Shift+Tab step
// through the tabs that are shown (hidden and disabled tabs are passed over, the ends wrap round),
// Escape closes the dialog. Editors inside the dialog would otherwise take these keys for
// themselves or drop them.

#include <QObject>
#include <QPointer>

class QTabWidget;
class QWidget;

class TDialogKeys : public QObject {
    Q_OBJECT
public:
    // Lives as long as `dialog` (its parent).
    TDialogKeys(QWidget* dialog, QTabWidget* pages);

    // The index Ctrl+Tab (forward) or Ctrl+Shift+Tab leads to; the current index when no other
    // tab can be reached.
    static int NextPage(const QTabWidget* pages, bool forward);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Dialog;
    QPointer<QTabWidget> Pages;
};
