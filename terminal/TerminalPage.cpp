#include "terminal/TerminalPage.h"

#include "terminal/TerminalLink.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"

#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, "KERVOLA", text, QMessageBox::Ok, parent);
    box.exec();
}

QFont ConsoleFont() {
    QFont font("Lucida Console");
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    return font;
}

// Detector text is shown UTF-8 decoded; its CR LF (and a lone CR) start new output lines.
QString Shown(const std::string& text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}

} // namespace

TTerminalPage::TTerminalPage(const TTerminalFields& fields, QWidget* parent)
    : QWidget(parent), Inform(ShowMessageBox), TerminalHost(*fields.Host),
      TerminalPort(*fields.Port), TerminalLogin(*fields.Login), TerminalPassword(*fields.Password),
      LastTerminalCommand(*fields.LastCommand), TerminalHandle(*fields.Handle),
      OutputArea(new QPlainTextEdit(this)), InputLine(new QLineEdit(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(OutputArea, 1);
    layout->addWidget(InputLine);

    OutputArea->setReadOnly(true);
    OutputArea->setUndoRedoEnabled(false);
    OutputArea->setFont(ConsoleFont());
    OutputArea->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    InputLine->setFont(ConsoleFont());
    InputLine->installEventFilter(this);
    InputLine->hide();
}

TTerminalPage::~TTerminalPage() {
    // No worker of ours may outlive the page that reads its events.
    EndConnection();
}

bool TTerminalPage::BindTransportLibrary(const std::string& fileName) {
    std::string problem;
    if (!TTerminalLink::Bind(fileName, Lib, &problem)) {
        // Told from the event loop, not from inside the construction of the dialog and the
        // window that own the page: by then they are complete and their owner has decided how
        // messages reach the user.
        const QString text = QString::fromStdString("Error loading " + fileName);
        QTimer::singleShot(0, this, [this, text] { Inform(this, text, QMessageBox::Critical); });
        return false;
    }
    if (TTerminalLink* link = TTerminalLink::Instance())
        connect(link, &TTerminalLink::Notice, this, &TTerminalPage::HandleNotice,
                Qt::UniqueConnection);
    return true;
}

void TTerminalPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring a minimised dialog is not showing the tab again. The rest waits for the event
    // loop: whoever opens the dialog on this tab hands over the detector right after showing it,
    // and the connection must go to that detector, not the one of the last opening.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                TerminalShown();
        });
}

void TTerminalPage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        TerminalLeft();
}

void TTerminalPage::TerminalShown() {
    if (TerminalHost.empty()) {
        Inform(this, Lang(ltNoConnection), QMessageBox::Information);
        return;
    }
    InputLine->hide();
    if (Lib.ZelmontBegin == nullptr) {
        Append("Error: Wrong address/port");
        ShowCaret();
        return;
    }
    if (TerminalHandle != 0)
        return;
    const std::string login = TerminalLogin + "\r\n";
    const std::string password = TerminalPassword + "\r\n";
    TerminalHandle =
        Lib.ZelmontBegin(TerminalHost.c_str(), TerminalPort, login.c_str(), password.c_str(), 1);
    // Otherwise the tab would stay empty with no word of why nothing happens.
    if (TerminalHandle == 0) {
        Append("Error: Wrong address/port");
        ShowCaret();
    }
}

void TTerminalPage::TerminalLeft() {
    EndConnection();
    InputLine->hide();
}

void TTerminalPage::EndConnection() {
    if (Lib.ZelmontEnd != nullptr && TerminalHandle != 0)
        Lib.ZelmontEnd(TerminalHandle);
    TerminalHandle = 0;
}

bool TTerminalPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched != InputLine || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        SendInput();
        return true;
    }
    if (key->key() == Qt::Key_Up) {
        InputLine->setText(QString::fromStdString(LastTerminalCommand));
        InputLine->end(false);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TTerminalPage::SendInput() {
    const std::string text = InputLine->text().toStdString();
    if (Lib.ZelmontSend != nullptr && TerminalHandle > 0) {
        LastTerminalCommand = text;
        const std::string line = text + "\r\n";
        if (Lib.ZelmontSend(TerminalHandle, line.data(), static_cast<int32_t>(line.size())) > 0) {
            Append(">" + text);
            ShowCaret();
        }
    }
    InputLine->clear();
}

bool TTerminalPage::IsActivePage() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            QWidget* current = tabs->currentWidget();
            return current != nullptr && (current == this || current->isAncestorOf(this));
        }
    }
    return true; // a page on its own is always the one shown
}

void TTerminalPage::HandleNotice(int connectionId, int eventCode) {
    if (!IsActivePage())
        return;
    // A late notice of a connection ended before this one began must not end this one.
    if (TerminalHandle != 0 && connectionId != TerminalHandle)
        return;
    DATA_RECORD record{};
    const int code = Lib.ZelmontData ? Lib.ZelmontData(TerminalHandle, &record) : 0;
    const TTerminalEvent ev = TerminalEventFrom(code, eventCode, record);
    // Cleared before this event's lines rather than after them, so a reply longer than the
    // limit is still seen.
    if (OutputArea->blockCount() > MaxTerminalLines)
        OutputArea->clear();
    const TTerminalReaction reaction = ReactToTerminalEvent(ev, DataFolder());
    for (const std::string& line : reaction.Lines)
        Append(line);
    if (reaction.AddDot)
        AddDot();
    if (reaction.EndConnection) {
        EndConnection();
        InputLine->hide();
    }
    if (reaction.ShowInput) {
        InputLine->show();
        InputLine->setFocus();
    }
    if (Lib.ZelmontClean)
        Lib.ZelmontClean(&record);
    ShowCaret();
}

void TTerminalPage::Append(const std::string& text) {
    // appendPlainText lays out only the new block, so a streaming detector stays cheap to show.
    OutputArea->appendPlainText(Shown(text));
}

void TTerminalPage::AddDot() {
    QTextCursor cursor(OutputArea->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("."));
}

void TTerminalPage::ShowCaret() {
    OutputArea->moveCursor(QTextCursor::End);
    OutputArea->ensureCursorVisible();
}
