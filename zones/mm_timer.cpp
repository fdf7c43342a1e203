#include "zones/mm_timer.h"

TMMTimer::TMMTimer(QObject* window, unsigned periodMs) : QObject(window) {
    Timer.setTimerType(Qt::PreciseTimer);
    connect(&Timer, &QTimer::timeout, this, [this] { emit Tick(this); });
    SetInterval(periodMs);
}

TMMTimer::~TMMTimer() {
    Timer.stop();
}

void TMMTimer::SetInterval(unsigned periodMs) {
    Timer.stop();
    Period = periodMs;
    if (Period == 0)
        return;
    Timer.start(static_cast<int>(Period));
}

unsigned TMMTimer::TimerRate() const {
    return Period == 0 ? 0 : 1000 / Period;
}
