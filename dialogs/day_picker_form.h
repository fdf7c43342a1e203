#pragma once
// Choice of how many days of buffered data to download; always opens on "All data available".

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class TDayPickerForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TDayPickerForm)
public:
    explicit TDayPickerForm(QWidget* parent = nullptr);

    // What the user chose or typed.
    QString DaysText() const;

    QLabel* DaysLabel() const { return Label; }
    QComboBox* DaysBox() const { return Box; }
    QPushButton* OkButton() const { return Ok; }
    QPushButton* CancelButton() const { return Cancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Label;
    QComboBox* Box;
    QPushButton* Ok;
    QPushButton* Cancel;
};
