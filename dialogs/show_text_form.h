#pragma once
// Read-only viewer of a long text, e.g. the configuration as XML.

#include <QDialog>

class QPlainTextEdit;

class TShowTextForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TShowTextForm)
public:
    explicit TShowTextForm(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;
    QPlainTextEdit* Viewer() const { return Memo; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* Memo;
};
