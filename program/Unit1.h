#pragma once
// The main window: its client area is the detector controller's picture; it routes the tick and
// the keys, rebuilds the title bar every 250 ms and asks before closing.

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class TAutoForm;
class TVideoControlForm;
class TZelmont_box;

constexpr unsigned WM_STARTUP = 0x400 + 1;

class TForm1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)
public:
    // `arguments` without the program name: the first is the INI file. `language` is the text
    // table selected at creation (0 Russian, 1 English).
    explicit TForm1(QStringList arguments = {}, int language = 0);
    ~TForm1() override;

    TZelmont_box* Controller() const { return Box.get(); }
    TAutoForm* AutoForm() const { return Auto; }
    QWidget* Panel1() const { return Panel; }
    // The video capture dialog the program entry made; it records this window's frame view.
    void SetVideoForm(TVideoControlForm* form);
    TVideoControlForm* VideoForm() const;

    // The INI path of the start-up: the first argument, a bare name looked up beside the
    // executable, a relative path with a folder taken from `startFolder` (the directory the
    // program was started in; unchanged when it is empty); empty without arguments.
    static std::string StartupIniPath(const QStringList& arguments, const std::string& exeFolder,
                                      const std::string& startFolder = {});

    QString TitleText() const;
    // The deferred start-up; runs once, queued after the window is shown.
    void Startup();
    // Client size change as the keys do it: restores a maximised window first.
    void SetClientSize(int width, int height);
    // The close question is asked through this hook so tests can answer it.
    std::function<bool()> ConfirmClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Timer1Timer();

    QStringList Arguments;
    QWidget* Panel;
    TAutoForm* Auto;
    QPointer<TVideoControlForm> Video;
    std::unique_ptr<TZelmont_box> Box;
    QTimer Timer1;
    bool Started = false;
};
