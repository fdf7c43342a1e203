#include "zoneedit/CornerTableForm.h"

#include "lang/lang_res.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The document keeps three decimals: more could not be stored, fewer would round the zone.
constexpr int Decimals = 3;

} // namespace

TCornerTableForm::TCornerTableForm(QWidget* parent) : QDialog(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int c = 0; c < 5; ++c) {
        Headers[c] = new QLabel(this);
        grid->addWidget(Headers[c], 0, c);
    }
    for (int corner = 0; corner < 4; ++corner) {
        grid->addWidget(new QLabel(QStringLiteral("P%1").arg(corner), this), corner + 1, 0);
        for (int axis = 0; axis < 2; ++axis) {
            auto* edit = new QDoubleSpinBox(this);
            edit->setDecimals(Decimals);
            edit->setRange(0, 1);
            edit->setSingleStep(0.001);
            edit->setObjectName(QStringLiteral("P%1%2").arg(corner).arg(axis ? 'Y' : 'X'));
            connect(edit, &QDoubleSpinBox::valueChanged, this, [this] { UpdatePixels(); });
            Edits[corner][axis] = edit;
            grid->addWidget(edit, corner + 1, 1 + axis);
            Pixels[corner][axis] = new QLabel(this);
            Pixels[corner][axis]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(Pixels[corner][axis], corner + 1, 3 + axis);
        }
    }
    layout->addLayout(grid);
    Picture = new QLabel(this);
    Mark = new QLabel(this);
    layout->addWidget(Picture);
    layout->addWidget(Mark);
    auto* buttons = new QHBoxLayout;
    Ok = new QPushButton(this);
    Cancel = new QPushButton(this);
    Ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(Ok);
    buttons->addWidget(Cancel);
    layout->addLayout(buttons);
    connect(Ok, &QPushButton::clicked, this, &TCornerTableForm::accept);
    connect(Cancel, &QPushButton::clicked, this, &TCornerTableForm::reject);
}

void TCornerTableForm::Prepare(const TQuadPoints& corners, int pictureWidth, int pictureHeight) {
    setWindowTitle(Lang(ltZoneCoordinatesCaption));
    const int headers[] = {ltCornerColumn, ltCornerX, ltCornerY, ltCornerXPixels, ltCornerYPixels};
    for (int c = 0; c < 5; ++c)
        Headers[c]->setText(Lang(headers[c]));
    Picture->setText(Lang(ltCornerPicture).arg(pictureWidth).arg(pictureHeight));
    Mark->setText(Lang(ltCornerMarkedEdge));
    Ok->setText(Lang(ltOK));
    Cancel->setText(Lang(ltCancel));
    PictureWidth = pictureWidth;
    PictureHeight = pictureHeight;
    for (int corner = 0; corner < 4; ++corner) {
        Edits[corner][0]->setValue(corners[corner].X);
        Edits[corner][1]->setValue(corners[corner].Y);
    }
    UpdatePixels();
}

TQuadPoints TCornerTableForm::Corners() const {
    TQuadPoints corners;
    for (int corner = 0; corner < 4; ++corner)
        corners[corner] = {Edits[corner][0]->value(), Edits[corner][1]->value()};
    return corners;
}

void TCornerTableForm::UpdatePixels() {
    const QLocale locale;
    for (int corner = 0; corner < 4; ++corner) {
        Pixels[corner][0]->setText(
            locale.toString(Edits[corner][0]->value() * PictureWidth, 'f', 1));
        Pixels[corner][1]->setText(
            locale.toString(Edits[corner][1]->value() * PictureHeight, 'f', 1));
    }
}

void TCornerTableForm::accept() {
    if (Accepting && !Accepting(Corners()))
        return;
    QDialog::accept();
}
