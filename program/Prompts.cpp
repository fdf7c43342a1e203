#include "program/Prompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

QString TUserPrompts::AskFile(QWidget* parent, const TFileQuestion& question) {
    QFileDialog dialog(parent, question.Title, question.Folder, question.Filter);
    dialog.setAcceptMode(question.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(question.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!question.DefaultSuffix.isEmpty())
        dialog.setDefaultSuffix(question.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool TUserPrompts::Confirm(QWidget* parent, const QString& caption, const QString& text,
                           QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    return box.exec() == QMessageBox::Ok;
}

void TUserPrompts::Inform(QWidget* parent, const QString& caption, const QString& text,
                          QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool TUserPrompts::Exec(QDialog* dialog) {
    return dialog->exec() == QDialog::Accepted;
}

bool TUserPrompts::OpenFile(const QString& path) {
    return QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
