#pragma once
// What the tests put into the recorder's hooks: a clock they move by hand, and a gate that holds
// the encoder before each picture, to slow it down exactly as far as a test says.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

class TTestClock {
public:
    std::function<std::chrono::steady_clock::time_point()> Function();
    void At(long long ms);

private:
    std::chrono::steady_clock::time_point Now{};
};

// Every wait is bounded, so a test that fails while holding the encoder still ends.
class TEncoderGate {
public:
    // On the encoder thread: waits while the gate is held.
    void Pass();
    void Hold();
    void Release();
    // True once the encoder has come to its n-th picture.
    bool WaitEntered(int n);

private:
    static constexpr std::chrono::seconds Bound{30};
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = true;
    int Entered = 0;
};
