#pragma once
// A read-only view of a line difference (removed lines red, added lines green, unchanged
// context plain), or of one configuration as text.

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;

class TChangesForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TChangesForm)
public:
    explicit TChangesForm(QWidget* parent = nullptr);

    // The difference from `before` to `after` under a heading line.
    void ShowDifference(const QString& caption, const QString& heading, const std::string& before,
                        const std::string& after);
    // A heading and nothing else, e.g. that no earlier configuration is known.
    void ShowMessage(const QString& caption, const QString& heading);
    void ShowPlainText(const QString& caption, const QString& heading, const std::string& text);

    QString Heading() const;
    // The lines shown, each prefixed by ' ', '-' or '+' (hunk headers start with "@@").
    QString Text() const;
    QPlainTextEdit* Viewer() const { return Memo; }

private:
    QLabel* Header;
    QPlainTextEdit* Memo;
};
