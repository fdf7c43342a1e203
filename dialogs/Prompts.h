#pragma once
// Every modal question the controller asks the user goes through here, so that the controller's
// logic runs the same under tests, where a scripted answerer stands in for the person.

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <memory>

class QDialog;
class QWidget;

struct TFileQuestion {
    QString Title;
    QString Filter; // Qt filter text; empty for all files
    QString DefaultSuffix;
    QString Folder;
    bool Save = false;
};

class TUserPrompts {
public:
    virtual ~TUserPrompts() = default;
    // The chosen file, or empty when cancelled.
    virtual QString AskFile(QWidget* parent, const TFileQuestion& question);
    // OK/Cancel question; true for OK.
    virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text,
                         QMessageBox::Icon icon);
    virtual void Inform(QWidget* parent, const QString& caption, const QString& text,
                        QMessageBox::Icon icon);
    // A modal dialog; true when accepted.
    virtual bool Exec(QDialog* dialog);
    // Opens a document with the desktop's viewer; false when it could not.
    virtual bool OpenFile(const QString& path);
};

// While it lives, every question and message asked through `prompts` belongs to `owner`, whatever
// window its caller named. A stay-on-top dialog needs this for the commands it runs: a box or file
// dialog owned by the main window would open behind it, and the command would look hung.
class TPromptOwner {
public:
    TPromptOwner(std::unique_ptr<TUserPrompts>& prompts, QWidget* owner);
    ~TPromptOwner();
    TPromptOwner(const TPromptOwner&) = delete;
    TPromptOwner& operator=(const TPromptOwner&) = delete;

private:
    std::unique_ptr<TUserPrompts>& Slot;
    std::unique_ptr<TUserPrompts> Outer;
};
