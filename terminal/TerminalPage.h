#pragma once
// The Terminal tab of the settings dialog: a free-form console to the detector over the
// transport library. Typed lines go to the detector; every event of the connection is shown as
// it arrives, and announced pictures and data are written into the data folder.

#include "terminal/TerminalEvents.h"
#include "terminal/TransportLibrary.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class QLineEdit;
class QPlainTextEdit;

// The detector to talk to (copied in each time the dialog is opened), the last line typed, which
// the Up arrow brings back, and the library's connection id (0 while there is none). They are the
// settings dialog's own fields, lent to its page, which must not outlive them.
struct TTerminalFields {
    std::string* Host;
    int* Port;
    std::string* Login;
    std::string* Password;
    std::string* LastCommand;
    int* Handle;
};

class TTerminalPage : public QWidget {
    Q_OBJECT
public:
    // Shows a message box; tests put a recorder here.
    using TInform = std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon)>;

    explicit TTerminalPage(const TTerminalFields& fields, QWidget* parent = nullptr);
    ~TTerminalPage() override;

    // Done once when the dialog that holds the page is created: loads the library and registers
    // for its notifications. A library that cannot be loaded is reported once, as soon as the
    // event loop runs; the page then only shows that it cannot connect.
    bool BindTransportLibrary(const std::string& fileName = TransportLibraryFile);

    TInform Inform;

    QPlainTextEdit* Output() const { return OutputArea; }
    QLineEdit* Input() const { return InputLine; }

    // One WM_TERMINAL notice; the link delivers them, tests may too.
    void HandleNotice(int connectionId, int eventCode);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TerminalShown();
    void TerminalLeft();
    void SendInput();
    bool IsActivePage() const;
    void EndConnection();
    void Append(const std::string& text);
    void AddDot();
    void ShowCaret();

    std::string& TerminalHost;
    int& TerminalPort;
    std::string& TerminalLogin;
    std::string& TerminalPassword;
    std::string& LastTerminalCommand;
    int& TerminalHandle;
    TTransportLibrary Lib;
    QPlainTextEdit* OutputArea;
    QLineEdit* InputLine;
};
