#include "dialogs/day_picker_form.h"

#include "lang/lang_res.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TDayPickerForm::TDayPickerForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), Label(new QLabel(this)),
      Box(new QComboBox(this)), Ok(new QPushButton(this)), Cancel(new QPushButton(this)) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);
    setFixedSize(264, 165);
    Box->setEditable(true);
    Box->setInsertPolicy(QComboBox::NoInsert);
    Box->addItem(QString());
    for (const char* days : {"1", "3", "5", "10", "15", "30", "60", "90"})
        Box->addItem(QString::fromLatin1(days));
    Ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Ok);
    buttons->addStretch();
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label);
    layout->addWidget(Box);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TDayPickerForm::DaysText() const {
    return Box->currentText();
}

void TDayPickerForm::showEvent(QShowEvent* event) {
    Ok->setText(Lang(ltOK));
    Cancel->setText(Lang(ltCancel));
    Label->setText(Lang(ltSelectNumberOfDays));
    Box->setItemText(0, Lang(ltAllDataAvailable));
    Box->setCurrentIndex(0);
    Box->setEditText(Box->itemText(0));
    QDialog::showEvent(event);
}
