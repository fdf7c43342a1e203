#include "recording/videocontrol.h"

#include "lang/lang_res.h"
#include "zones/TFImageHelper2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFont>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace {

const char* const CodecItems[] = {"Microsoft Video 1 (msvc)", "Intel IYUV (iyuv)",
                                  "Uncompressed (DIB)", "XVID (XVID)"};

// The two image buttons carry pictures only: a red dot to record, a dark square to stop.
QIcon Glyph(bool start) {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (start) {
        painter.setBrush(QColor(200, 0, 0));
        painter.drawEllipse(QRectF(3, 3, 18, 18));
    } else {
        painter.setBrush(QColor(40, 40, 40));
        painter.drawRect(QRectF(5, 5, 14, 14));
    }
    painter.end();
    QIcon icon(picture);
    return icon;
}

QToolButton* ImageButton(QWidget* parent, bool start, int x) {
    auto* button = new QToolButton(parent);
    button->setIcon(Glyph(start));
    button->setIconSize(QSize(24, 24));
    button->setGeometry(x, 12, 36, 36);
    return button;
}

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QStringLiteral("KERVOLA"), text, QMessageBox::Ok, parent);
    box.exec();
}

// Why the recording failed, in the operator's words; the recorder's own message names the step.
QString FailureText(const TAviFromBitmaps& avi, const QString& codec, QSize picture) {
    const QString file = QString::fromStdString(avi.FileName);
    if (avi.LastError == AviNoCompressedStream)
        return Lang(ltRecordCodecFailed).arg(codec).arg(picture.width()).arg(picture.height());
    if (avi.LastError == AviNoMovieFile)
        return Lang(ltRecordFileFailed).arg(file);
    if (avi.LastError == AviNoMemory)
        return Lang(ltRecordNoMemory).arg(picture.width()).arg(picture.height());
    return Lang(ltRecordWriteFailed).arg(file);
}

QString AskSaveFile(QWidget* parent, const QString& folder, const QString& current) {
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("Avi files (*.avi)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("avi"));
    dialog.selectFile(current.isEmpty() ? QStringLiteral("output.avi") : current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

TVideoControlForm::TVideoControlForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), AskFile(AskSaveFile),
      Inform(ShowMessageBox), BitBtn1(ImageButton(this, true, 12)),
      BitBtn2(ImageButton(this, false, 56)), ComboBox1(new QComboBox(this)),
      CheckBox1(new QCheckBox(QStringLiteral("Sensors"), this)), CheckBox2(new QCheckBox(this)),
      Edit1(new QLineEdit(this)), Button1(new QPushButton(QStringLiteral("..."), this)) {
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(13);
    setFont(tahoma);
    setFixedSize(405, 166);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (const char* item : CodecItems)
        ComboBox1->addItem(QString::fromLatin1(item));
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setGeometry(104, 18, 289, 24);
    CheckBox1->setChecked(true);
    CheckBox1->setGeometry(12, 62, 180, 22);
    CheckBox2->setChecked(false);
    CheckBox2->setGeometry(200, 62, 193, 22);
    Edit1->setReadOnly(true);
    Edit1->setGeometry(12, 112, 341, 26);
    Button1->setGeometry(359, 112, 34, 26);

    connect(BitBtn1, &QToolButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QToolButton::clicked, this, [this] { BitBtn2Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

// The recording is finished with the dialog; the view may already be gone at this point.
TVideoControlForm::~TVideoControlForm() = default;

void TVideoControlForm::SetOutputFolder(const QString& folder) {
    InitialFolder = folder;
    Edit1->setText(folder + QStringLiteral("output.avi"));
}

QString TVideoControlForm::OutputFile() const {
    return Edit1->text().isEmpty() ? QStringLiteral("output.avi") : Edit1->text();
}

void TVideoControlForm::ShowTimeCode() {
    setWindowTitle(QString::fromStdString(VideoTimeCode(Counter)));
}

void TVideoControlForm::showEvent(QShowEvent* event) {
    CheckBox2->setText(Lang(ltTimeStamp));
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(false);
    Counter = 0;
    ShowTimeCode();
    QDialog::showEvent(event);
}

std::int32_t TVideoControlForm::AddViewFrame() {
    QImage& picture = View->BackBuffer;
    const bool direct = BitmapOf(picture).Bits != nullptr;
    if (!CheckBox2->isChecked() || !direct) {
        QImage frame = RecordableImage(picture);
        if (CheckBox2->isChecked())
            Stamp.Draw(frame, QDateTime::currentDateTime(), StampLabel ? StampLabel() : QString());
        return Avi->AddFrame(BitmapOf(frame));
    }
    // The stamp goes onto the view's own picture for the moment the recorder takes its copy,
    // and what it covered is put back: no second copy of the whole picture on every tick.
    const QRect box = Stamp.Prepare(picture.size(), QDateTime::currentDateTime(),
                                    StampLabel ? StampLabel() : QString());
    const QImage covered = picture.copy(box);
    Stamp.Draw(picture);
    const std::int32_t result = Avi->AddFrame(BitmapOf(picture));
    QPainter painter(&picture);
    painter.drawImage(box.topLeft(), covered);
    return result;
}

void TVideoControlForm::BitBtn1Click() {
    if (!View)
        return;
    View->ShowZones = CheckBox1->isChecked();
    View->PaintView();
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(true);
    Counter = 1;
    Avi = std::make_unique<TAviFromBitmaps>(1, 25, CodecOfIndex(ComboBox1->currentIndex()),
                                            OutputFile().toStdString());
    if (PrepareRecorder)
        PrepareRecorder(*Avi);
    if (AddViewFrame() != S_OK)
        BitBtn2Click();
}

void TVideoControlForm::BitBtn2Click() {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const QString report = FinishRecording(icon);
    close();
    Tell(report, icon);
}

// Told once the dialog is gone, over the window the operator returns to.
void TVideoControlForm::Tell(const QString& report, QMessageBox::Icon icon) {
    if (!report.isEmpty() && Inform)
        Inform(parentWidget() ? parentWidget() : this, report, icon);
}

QString TVideoControlForm::FinishRecording(QMessageBox::Icon& icon) {
    if (View) {
        View->ShowZones = true;
        View->PaintView();
    }
    if (!Avi)
        return {};
    Avi->Close(); // finishes the file; the film now runs to this moment
    QStringList report;
    icon = QMessageBox::Information;
    if (Avi->LastError != AviMethodSucceeded) {
        const QSize picture = View ? View->BackBuffer.size() : QSize();
        report << FailureText(*Avi, ComboBox1->currentText(), picture);
        icon = QMessageBox::Warning;
    }
    if (Avi->RepeatedFrames() > 0)
        report << Lang(ltRecordRepeats).arg(Avi->RepeatedFrames()).arg(Avi->FrameIndex);
    Avi.reset();
    return report.join(QStringLiteral("\n\n"));
}

void TVideoControlForm::Button1Click() {
    if (!AskFile)
        return;
    const QString chosen = AskFile(this, InitialFolder, Edit1->text());
    if (!chosen.isEmpty())
        Edit1->setText(chosen);
}

void TVideoControlForm::FrameTick() {
    if (!Avi || !View)
        return;
    if (AddViewFrame() != S_OK)
        BitBtn2Click();
    // The time code follows the film, which keeps the clock's time when ticks come late.
    Counter = Avi ? std::max(Counter + 1, Avi->FrameIndex) : Counter + 1;
    ShowTimeCode();
}

void TVideoControlForm::done(int result) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const QString report = FinishRecording(icon);
    QDialog::done(result);
    Tell(report, icon);
}
