#pragma once
// The kept configurations of one detector, newest first: time, read or sent, size and sensors.
// One of them can be shown as text, compared with the document in the editor, or handed back
// to be loaded into the editor (the controller does that, as for a file opened with F3).

#include "safeconfig/HistoryStore.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class TChangesForm;

class THistoryForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(THistoryForm)
public:
    explicit THistoryForm(QWidget* parent = nullptr);

    // `detector` names the detector in the caption; `note` is shown above the list when not
    // empty (a history write that failed).
    void SetEntries(const QString& detector, std::vector<THistoryEntry> entries,
                    const QString& note = {});
    // The editor's document, for the difference from it to a kept file (what loading the file
    // would change).
    std::function<std::string()> CurrentDocument;

    QTableWidget* Table() const { return List; }
    QPushButton* ShowButton() const { return Show; }
    QPushButton* DiffButton() const { return Diff; }
    QPushButton* LoadButton() const { return Load; }
    TChangesForm* Viewer() const { return View; }
    // The entry of the selected row, nullptr when none.
    const THistoryEntry* Selected() const;

    void ShowSelected();
    void DiffSelected();
    void LoadSelected();

signals:
    void loadRequested(const QString& path);

private:
    void UpdateButtons();

    QLabel* Note;
    QTableWidget* List;
    QPushButton* Show;
    QPushButton* Diff;
    QPushButton* Load;
    QPushButton* Close;
    TChangesForm* View;
    std::vector<THistoryEntry> Entries; // newest first, as in the table
};
