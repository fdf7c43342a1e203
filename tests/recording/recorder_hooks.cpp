#include "recorder_hooks.h"

std::function<std::chrono::steady_clock::time_point()> TTestClock::Function() {
    return [this] { return Now; };
}

void TTestClock::At(long long ms) {
    Now = std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(ms);
}

void TEncoderGate::Pass() {
    std::unique_lock<std::mutex> hold(Lock);
    ++Entered;
    Changed.notify_all();
    if (!Changed.wait_for(hold, Bound, [this] { return Open; }))
        Open = true;
}

void TEncoderGate::Hold() {
    std::lock_guard<std::mutex> hold(Lock);
    Open = false;
}

void TEncoderGate::Release() {
    {
        std::lock_guard<std::mutex> hold(Lock);
        Open = true;
    }
    Changed.notify_all();
}

bool TEncoderGate::WaitEntered(int n) {
    std::unique_lock<std::mutex> hold(Lock);
    return Changed.wait_for(hold, Bound, [&] { return Entered >= n; });
}
