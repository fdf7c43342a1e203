#include "program/Prompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

QString TUserPrompts::AskFile(QWidget* parent, const TFileDialogSpec& spec) {
    QFileDialog dialog(parent, spec.Title, spec.Folder, spec.Filter);
    dialog.setAcceptMode(spec.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!spec.DefaultSuffix.isEmpty())
        dialog.setDefaultSuffix(spec.DefaultSuffix);
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
