#include "terminal/DialogKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QWidget>

TDialogKeys::TDialogKeys(QWidget* dialog, QTabWidget* pages)
    : QObject(dialog), Dialog(dialog), Pages(pages) {
    // Seen before any editor of the dialog gets the key.
    qApp->installEventFilter(this);
}

int TDialogKeys::NextPage(const QTabWidget* pages, bool forward) {
    const int count = pages->count();
    const int current = pages->currentIndex();
    for (int step = 1; step < count; ++step) {
        const int i = ((forward ? current + step : current - step) % count + count) % count;
        if (pages->isTabVisible(i) && pages->isTabEnabled(i))
            return i;
    }
    return current;
}

bool TDialogKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // Only keys meant for this dialog: its popups, message boxes and other windows keep theirs.
    if (static_cast<QWidget*>(watched)->window() != Dialog || !Dialog->isVisible())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
    if (ctrl && Pages && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
        const bool back =
            key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
        Pages->setCurrentIndex(NextPage(Pages, !back));
        return true;
    }
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        Dialog->close();
        return true;
    }
    return false;
}
