#pragma once
// The address-book dialog: the list of detectors, their edits, and the choice of one to connect
// to. It never talks to a detector itself; the choice goes out through OnChoose.

#include "addressbook/HostRecords.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;

class TConnect_manager : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TConnect_manager)
public:
    explicit TConnect_manager(QWidget* parent = nullptr);
    ~TConnect_manager() override;

    // "Connect" passes the list's own record (the receiver copies it); "Disconnect" passes nullptr.
    std::function<void(QObject* sender, const THostRec* record)> OnChoose;
    // The entry chosen last; selected again whenever the dialog is shown.
    int LastIndex = 0;

    // When set, the dialog's message boxes go here instead of a modal box (for tests and for
    // running without anyone to press OK).
    static std::function<void(const QString& text)> MessageHook;

    // "hosts.ini" in the data folder.
    static std::string HostsFileName();
    void LoadHosts();
    void SaveHosts();

    int EntryCount() const;
    QStringList Labels() const;
    const THostRec* Entry(int index) const; // nullptr outside the list
    int SelectedIndex() const;              // -1 when nothing is selected
    void SelectEntry(int index);
    void ChooseSelected(); // double-click or Enter in the list
    bool LoadCurrentConfig() const;
    void SetLoadCurrentConfig(bool on);

    // The dialog's actions, as its buttons run them.
    void AddDetector();
    void DeleteDetector();
    void UndoDelete();
    void ConnectClick();
    void DisconnectClick();
    // The edits' texts into the selected entry, as when one of them is left.
    void CommitEdits();
    // A drop: the entry at `fromIndex` moves to `toIndex`; -1 for either (a point off the list's
    // items) does nothing.
    void DropEntry(int fromIndex, int toIndex);
    // A drag started by the list is over, dropped or not.
    void ListBox1EndDrag();

    QListWidget* List() const { return ListBox1; }
    QLineEdit* LabelEdit() const { return EditLabel; }
    QLineEdit* AddressEdit() const { return EditAddress; }
    QLineEdit* PortEdit() const { return EditPort; }
    QLineEdit* LoginEdit() const { return EditLogin; }
    QLineEdit* PasswordEdit() const { return EditPassword; }
    QPushButton* ConnectButton() const { return ButtonConnect; }
    QPushButton* DisconnectButton() const { return ButtonDisconnect; }
    QPushButton* CloseButton() const { return ButtonClose; }
    QPushButton* AddButton() const { return ButtonAdd; }
    QPushButton* DeleteButton() const { return ButtonDelete; }
    QToolButton* UndoButton() const { return ButtonUndo; }
    QCheckBox* LoadConfigBox() const { return CheckLoadConfig; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void SetCaptions();
    void ListBox1Click(); // the selection handler
    void ShowMessage(const QString& text);
    void AppendEntry(const THostRec& record);
    // `base`: the record the edits were filled from, if any.
    THostRec RecordFromEdits(const THostRec* base) const;
    // The file writes its values unescaped between quotes: a typed text holding both kinds is
    // told to the user and replaced in its edit by `base`'s value. True when one was.
    bool RefuseBothQuotes(const THostRec* base);

    QListWidget* ListBox1;
    QPushButton* ButtonAdd;
    QPushButton* ButtonDelete;
    QToolButton* ButtonUndo;
    QLabel* LabelLabel;
    QLabel* LabelAddress;
    QLabel* LabelPort;
    QLabel* LabelLogin;
    QLabel* LabelPassword;
    QLineEdit* EditLabel;
    QLineEdit* EditAddress;
    QLineEdit* EditPort;
    QLineEdit* EditLogin;
    QLineEdit* EditPassword;
    QCheckBox* CheckLoadConfig;
    QPushButton* ButtonConnect;
    QPushButton* ButtonDisconnect;
    QPushButton* ButtonClose;
};
