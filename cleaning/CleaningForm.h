#pragma once
// The cleaning unit's dialog: the four pump and brush timings, the automatic-cleaning interval and
// sensitivity, and the liquid level, polled every 2 s while the dialog is shown. The dialog never
// talks to the detector: the level comes from the state query its owner sets, and the cleaning
// command is sent by the owner when the dialog ends with the OK result.

#include "cleaning/CleaningSchedule.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TXMLNode;

class TCleanForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCleanForm)
public:
    static constexpr int PollPeriodMs = 2000;

    // One level exchange with the detector, complete in itself: it runs on a worker thread, so
    // it must carry everything it needs and touch nothing of its maker.
    using TStateJob = std::function<int()>;
    // Called on the GUI thread at every poll; returns the exchange to run.
    using TStateQuery = std::function<TStateJob()>;

    explicit TCleanForm(QWidget* parent = nullptr);
    ~TCleanForm() override;

    // The poll asks nothing once the owner is gone.
    void SetStateQuery(TStateQuery query, QObject* owner);

    void LoadCleaning(const TXMLNode* top);
    void StoreCleaning(TXMLNode* top) const;

    TCleaningValues Values() const;
    void SetValues(const TCleaningValues& values);
    // "cl a,b,c,d" from the edits as they stand.
    std::string CleaningCommand() const;

    int LastState() const { return State; }
    void ShowState(int state);
    bool QueryRunning() const { return Running; }

    QLineEdit* TimingEdit(int index) const { return Timings[static_cast<size_t>(index)]; }
    QComboBox* IntervalList() const { return Interval; }
    QComboBox* SensitivityList() const { return Sensitivity; }
    QProgressBar* LevelBar() const { return Bar; }
    QLabel* LevelText() const { return Level; }
    QPushButton* CleanButton() const { return Clean; }
    QPushButton* CloseButton() const { return Close; }
    QTimer* PollTimer() const { return Poll; }

signals:
    // A level has been shown, after a poll or directly.
    void stateShown(int state);

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    // Called by name from the poll's thread, so that Qt allocates the call and the level itself
    // crosses over under the link's mutex, where ThreadSanitizer can see the hand-off.
    void PollArrived();

private:
    void CorrectTiming(QLineEdit* edit);
    void PaintLevel(const QString& text, int position, bool red);
    void PollTick();
    void PollDone(int state);
    void FinishPoll(int state);

    std::array<QLineEdit*, CleaningTimingCount> Timings{};
    QComboBox* Interval;
    QComboBox* Sensitivity;
    QProgressBar* Bar;
    QLabel* Level;
    QPushButton* Clean;
    QPushButton* Close;
    QTimer* Poll;

    TStateQuery Query;
    QPointer<QObject> QueryOwner;
    bool Owned = false;
    bool Running = false;
    struct TPollLink;
    std::shared_ptr<TPollLink> Link;
    int State = -1;
};
