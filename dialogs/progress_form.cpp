#include "dialogs/progress_form.h"

#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      Count(new QLabel(QStringLiteral("0"), this)), ProgressBar(new QProgressBar(this)),
      Ok(new QPushButton(QStringLiteral("Ok"), this)) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
    setFont(font);
    setFixedSize(494, 157);
    Count->setAlignment(Qt::AlignCenter);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Count);
    layout->addWidget(ProgressBar);
    layout->addWidget(Ok, 0, Qt::AlignHCenter);

    connect(Ok, &QPushButton::clicked, this, &QDialog::close);
}

QString TProgressForm::ByteCountText(qint64 done) {
    if (done >= 1024)
        return QString::number(done / 1024) + QStringLiteral(" kBytes");
    return QString::number(done) + QStringLiteral(" Bytes");
}

void TProgressForm::SetProgress(qint64 done, qint64 total) {
    if (total > 0)
        ProgressBar->setValue(static_cast<int>(std::clamp<qint64>(done * 100 / total, 0, 100)));
    Count->setText(ByteCountText(done));
}

void TProgressForm::ResetProgress() {
    ProgressBar->setValue(0);
}

void TProgressForm::Finish() {
    Ok->setVisible(true);
}

void TProgressForm::showEvent(QShowEvent* event) {
    Ok->setVisible(false);
    QDialog::showEvent(event);
}
