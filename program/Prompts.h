#pragma once
// Every modal question the controller asks the user goes through here, so that the controller's
// logic runs the same under tests, where a scripted answerer stands in for the person.

#include <QMessageBox>
#include <QString>

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
