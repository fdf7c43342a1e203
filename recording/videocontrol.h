#pragma once
// The "Video capture" dialog: start and stop a recording of what the frame view shows, the codec,
// the output file, whether the zones are drawn, and the running time code as its caption. The
// main window forwards every tick of its frame timer while the dialog is visible.

#include "recording/AviFromBitmaps.h"
#include "recording/FrameGrab.h"

#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TQuadImager;

class TVideoControlForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TVideoControlForm)
public:
    explicit TVideoControlForm(QWidget* parent = nullptr);
    ~TVideoControlForm() override;

    // The frame view whose picture is recorded; none: Start does nothing.
    void SetView(TQuadImager* view) { View = view; }
    TQuadImager* FrameView() const { return View; }
    // The save dialog's initial folder and the output file shown: folder + "output.avi".
    void SetOutputFolder(const QString& folder);
    // The file the next recording goes to: the one shown.
    QString OutputFile() const;

    // One tick of the frame timer.
    void FrameTick();

    void BitBtn1Click(); // Start
    void BitBtn2Click(); // Stop, then close
    void Button1Click(); // "..."

    // The detector's label for the time stamp.
    std::function<QString()> StampLabel;
    // The save-file question: (parent, initial folder, current file) -> chosen file or empty.
    std::function<QString(QWidget*, const QString&, const QString&)> AskFile;
    // A message for the operator, captioned "KERVOLA": why a recording failed, and how many
    // frames of a finished one repeat the previous frame.
    std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)> Inform;
    // Called with each new recorder before its first frame; tests set its clock and slow its
    // encoder here.
    std::function<void(TAviFromBitmaps&)> PrepareRecorder;

    QToolButton* StartButton() const { return BitBtn1; }
    QToolButton* StopButton() const { return BitBtn2; }
    QComboBox* CodecBox() const { return ComboBox1; }
    QCheckBox* SensorsBox() const { return CheckBox1; }
    QCheckBox* StampBox() const { return CheckBox2; }
    QLineEdit* PathEdit() const { return Edit1; }
    QPushButton* BrowseButton() const { return Button1; }
    TAviFromBitmaps* Recorder() const { return Avi.get(); }
    long long FrameCounter() const { return Counter; }

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The view's composed picture into the recorder, stamped when asked.
    std::int32_t AddViewFrame();
    // Zones back on in the view, the recorder finished and forgotten; what the operator should
    // be told about it, or nothing.
    QString FinishRecording(QMessageBox::Icon& icon);
    void Tell(const QString& report, QMessageBox::Icon icon);
    void ShowTimeCode();

    TQuadImager* View = nullptr;
    std::unique_ptr<TAviFromBitmaps> Avi;
    TTimeStamp Stamp;
    long long Counter = 0;
    QString InitialFolder;

    QToolButton* BitBtn1;
    QToolButton* BitBtn2;
    QComboBox* ComboBox1;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QLineEdit* Edit1;
    QPushButton* Button1;
};
