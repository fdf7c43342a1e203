#pragma once
// The autostart dialog (F8): which address-book entry to connect to at start, saved with the
// window's place and size into kervola.ini.

#include <QDialog>
#include <QStringList>

#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;

// The geometry and controls read from the INI file, for the main window to apply.
struct TAutostartSettings {
    int Connection = -1;
    int Left = 1;
    int Top = 1;
    int Width = 720;
    int Height = 576;
    bool ControlsEnabled = true;
};

class TAutoForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAutoForm)
public:
    explicit TAutoForm(QWidget* mainForm);

    // Empty path: "kervola.ini" of the current directory.
    static std::string IniPath(const std::string& path);
    static TAutostartSettings ReadSettings(const std::string& path);

    // Reads the INI file, places the main window, returns the entry index to connect to.
    int LoadAutostart(const std::string& path, TAutostartSettings* settings = nullptr);
    bool SaveAutostart(const std::string& path);
    void CheckAutostartItem(int index);
    void SetEntries(const QStringList& labels);
    int SelectedIndex() const { return Selected; }
    QListWidget* CheckListBox1() const { return List; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CheckListBox1ClickCheck(QListWidgetItem* item);
    void Button1Click();

    QWidget* Form;
    QListWidget* List;
    QPushButton* Button1;
    int Selected = -1;
    std::string Path;
    bool Updating = false;
};
