#pragma once
// The sending dialog of the configuration upload. "Ok" does nothing by itself: the controller
// connects okClicked to its upload and fills in the texts.

#include <QDialog>

class QLabel;
class QPushButton;

class TSendingForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSendingForm)
public:
    explicit TSendingForm(QWidget* parent = nullptr);

    QLabel* TextLine() const { return Text; }
    QPushButton* OkButton() const { return Ok; }
    QPushButton* CancelButton() const { return Cancel; }
    // Shows what the upload would change; the controller connects it.
    QPushButton* ChangesButton() const { return Changes; }

signals:
    void okClicked();
    void changesClicked();

private:
    QLabel* Text;
    QPushButton* Ok;
    QPushButton* Cancel;
    QPushButton* Changes;
};
