#pragma once
// Input of a sensor id. OK is enabled only for a non-zero integer that is not in use yet.

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

class TSensorIdForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSensorIdForm)
public:
    explicit TSensorIdForm(QWidget* parent = nullptr);

    // The ids already in use; compared as plain text, so "03" is free while "3" is taken.
    QStringList& Ids() { return UsedIds; }
    void SetIds(const QStringList& ids);
    // Captions from the text table, the id to start from and the ids in use.
    void Prepare(const QString& caption, const QString& id, const QStringList& ids);

    QLabel* IdLabel() const { return Label; }
    QLineEdit* IdEdit() const { return Edit; }
    QPushButton* OkButton() const { return Ok; }
    QPushButton* CancelButton() const { return Cancel; }

    static bool IsAcceptableId(const QString& text, const QStringList& used);

private:
    void UpdateOk();

    QStringList UsedIds;
    QLabel* Label;
    QLineEdit* Edit;
    QPushButton* Ok;
    QPushButton* Cancel;
};
