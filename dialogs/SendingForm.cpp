#include "dialogs/SendingForm.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TSendingForm::TSendingForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      Text(new QLabel(QStringLiteral("Sending..."), this)),
      Ok(new QPushButton(QStringLiteral("Ok"), this)),
      Cancel(new QPushButton(QStringLiteral("Cancel"), this)),
      Changes(new QPushButton(QStringLiteral("Changes..."), this)) {
    setFont(ArialPixels(12));
    setFixedSize(497, 142);
    Text->setFont(ArialPixels(15));
    Text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Text->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Ok);
    buttons->addWidget(Changes);
    buttons->addStretch();
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addLayout(buttons);

    connect(Ok, &QPushButton::clicked, this, &TSendingForm::okClicked);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(Changes, &QPushButton::clicked, this, &TSendingForm::changesClicked);
}
