#include "dialogs/SensorIdForm.h"

#include "lang/lang_res.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TSensorIdForm::TSensorIdForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      Label(new QLabel(this)), Edit(new QLineEdit(this)),
      Ok(new QPushButton(QStringLiteral("OK"), this)),
      Cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    setFont(font);
    setFixedSize(347, 155);
    Label->setBuddy(Edit);
    Ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Ok);
    buttons->addStretch();
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label);
    layout->addWidget(Edit);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(Edit, &QLineEdit::textChanged, this, &TSensorIdForm::UpdateOk);
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateOk();
}

void TSensorIdForm::SetIds(const QStringList& ids) {
    UsedIds = ids;
    UpdateOk();
}

bool TSensorIdForm::IsAcceptableId(const QString& text, const QStringList& used) {
    // Blanks would reach the document as part of the id.
    if (text.isEmpty() || text.trimmed().size() != text.size())
        return false;
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    return isNumber && value != 0 && !used.contains(text, Qt::CaseSensitive);
}

void TSensorIdForm::UpdateOk() {
    Ok->setEnabled(IsAcceptableId(Edit->text(), UsedIds));
}

void TSensorIdForm::Prepare(const QString& caption, const QString& id, const QStringList& ids) {
    setWindowTitle(caption);
    Ok->setText(Lang(ltOK));
    Cancel->setText(Lang(ltCancel));
    Label->setText(Lang(ltInputId));
    SetIds(ids);
    Edit->setText(id);
}
