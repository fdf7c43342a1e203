#pragma once
// The count check in the program: a small window with the detector's count, the hand count and
// their match per zone, live while a check runs. The hand count comes from keys 1-9 (the zones
// in list order) and middle clicks on a zone; the detector's from the zone states the controller
// reads. It knows the picture only as the frame view, and the controller only through the
// hooks its binding fills in.

#include "countcheck/CountLog.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class TQuadImager;

class TCountFlash;

class TCountCheckWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCountCheckWindow)
public:
    // A tool window of `mainForm`, over the view's zones.
    TCountCheckWindow(TQuadImager& view, QWidget* mainForm);
    ~TCountCheckWindow() override;

    // Filled in by the binding: data mode on, and whether the check may be opened (connected,
    // not editing).
    std::function<void()> SwitchDataModeOn;
    std::function<bool()> Available;
    // The file to save to; empty when cancelled.
    std::function<QString()> AskSaveFile;
    // A failure the user must see.
    std::function<void(const QString&)> Warn;

    void Open(QPoint at);
    void Start();
    void Stop();
    void Reset();
    // Asks for the file and writes the event log and the summary beside it.
    void Save();
    // Writes `file` and its "-summary.csv"; false with a message when either fails.
    bool SaveTo(const QString& file);

    // The zone states were set from a detector reply.
    void StatesRead();
    // A vehicle counted by hand on the zone of this list index.
    void AddHand(int index);

    bool Running() const { return IsRunning; }
    double Window() const { return MatchWindow; }
    // The matching window in seconds (the default fits a person's late press); > 0.
    void SetWindow(double seconds);
    const std::vector<TCountEvent>& Events() const { return Log; }
    QTableWidget* Table() const { return Grid; }
    // The table's rows as shown: zones, then the total.
    std::vector<TZoneCount> Counts() const;
    // Retranslates the captions (the text table may have been switched).
    void ApplyTexts();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Refresh();
    std::vector<std::string> ZoneIds() const;
    static double Now();

    TQuadImager& View;
    // The view's panel goes with the view: while it is here, so is the view. The main window
    // frees its controller before its children, this window among them.
    QPointer<QWidget> ViewPanel;
    QPointer<QWidget> Form;
    QTableWidget* Grid;
    QLabel* Hint;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QPushButton* ResetButton;
    QPushButton* SaveButton;
    TCountFlash* Flash;
    QTimer Settle; // open events become final as time passes

    double MatchWindow = DefaultMatchWindow;
    bool IsRunning = false;
    bool FirstStates = false; // the next states are the starting point
    std::vector<TCountEvent> Log;
    TDetectorEdges Edges;
};
