#include "dialogs/Prompts.h"

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

namespace {

class TOwnedPrompts final : public TUserPrompts {
public:
    TOwnedPrompts(TUserPrompts& outer, QWidget* owner) : Outer(outer), Owner(owner) {}

    QString AskFile(QWidget* parent, const TFileQuestion& question) override {
        return Outer.AskFile(OwnerOr(parent), question);
    }
    bool Confirm(QWidget* parent, const QString& caption, const QString& text,
                 QMessageBox::Icon icon) override {
        return Outer.Confirm(OwnerOr(parent), caption, text, icon);
    }
    void Inform(QWidget* parent, const QString& caption, const QString& text,
                QMessageBox::Icon icon) override {
        Outer.Inform(OwnerOr(parent), caption, text, icon);
    }
    bool Exec(QDialog* dialog) override { return Outer.Exec(dialog); }
    bool OpenFile(const QString& path) override { return Outer.OpenFile(path); }

private:
    // The owner may go while a nested event loop runs; the caller's window is better than none.
    QWidget* OwnerOr(QWidget* parent) const { return Owner ? Owner.data() : parent; }

    TUserPrompts& Outer;
    QPointer<QWidget> Owner;
};

} // namespace

TPromptOwner::TPromptOwner(std::unique_ptr<TUserPrompts>& prompts, QWidget* owner)
    : Slot(prompts), Outer(std::move(prompts)) {
    if (Outer)
        Slot = std::make_unique<TOwnedPrompts>(*Outer, owner);
}

TPromptOwner::~TPromptOwner() {
    Slot = std::move(Outer);
}
