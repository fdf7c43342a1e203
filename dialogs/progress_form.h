#pragma once
// Progress of a file transfer: a byte count, a bar and an "Ok" button shown at the end.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TProgressForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TProgressForm)
public:
    explicit TProgressForm(QWidget* parent = nullptr);

    // The transfer's progress callback; a zero total leaves the bar where it is.
    void SetProgress(qint64 done, qint64 total);
    void ResetProgress();
    // Makes "Ok" visible once the transfer has ended.
    void Finish();

    static QString ByteCountText(qint64 done);

    QLabel* CountText() const { return Count; }
    QProgressBar* Bar() const { return ProgressBar; }
    QPushButton* OkButton() const { return Ok; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Count;
    QProgressBar* ProgressBar;
    QPushButton* Ok;
};
