#pragma once
// The periodic tick that paces the detector controller (25 times a second at 40 ms). A precise
// QTimer on the GUI thread stands in for the multimedia timer: its handler runs where the window
// message's handler ran, so the controller needs no locking.

#include <QObject>
#include <QTimer>

// Kept for the controller's dispatch, which still names its tick after the window message.
constexpr unsigned WM_MMTIMER = 0x400 + 55;

class TMMTimer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMMTimer)
public:
    // A period of 0 leaves the timer stopped.
    TMMTimer(QObject* window, unsigned periodMs);
    ~TMMTimer() override;

    void SetInterval(unsigned periodMs);
    unsigned Interval() const { return Period; }
    // Ticks per second: 1000 div the period; 0 for a stopped timer.
    unsigned TimerRate() const;
    int TimerId() const { return Timer.timerId(); }
    bool IsActive() const { return Timer.isActive(); }

signals:
    // WM_MMTIMER: sent once per period to the window given at creation.
    void Tick(TMMTimer* timer);

private:
    QTimer Timer;
    unsigned Period = 0;
};
