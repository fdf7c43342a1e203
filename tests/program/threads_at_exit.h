#pragma once
// Qt paints large areas on its global thread pool and a detector poll may run on a thread of its
// own. When the application object goes, Qt waits until each pool thread has finished its work but
// not until the thread has exited; a thread still unwinding when the process ends takes its
// per-thread data with it, and LeakSanitizer reports that as a leak in libQt6Core. Declared before
// the application object, this waits at the end of main until the threads started since are gone.

#include <chrono>
#include <cstdio>
#include <thread>

class TThreadsGoneAtExit {
public:
    TThreadsGoneAtExit() : Before(Count()) {}
    ~TThreadsGoneAtExit() {
        // Bounded, so that a thread left hanging by a failed test cannot hang the program too.
        for (int i = 0; i < 5000 && Count() > Before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TThreadsGoneAtExit(const TThreadsGoneAtExit&) = delete;
    TThreadsGoneAtExit& operator=(const TThreadsGoneAtExit&) = delete;

    static int Count() {
        std::FILE* status = std::fopen("/proc/self/status", "r");
        if (!status)
            return 0;
        char line[256];
        int threads = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Threads: %d", &threads) == 1)
                break;
        std::fclose(status);
        return threads;
    }

private:
    const int Before;
};
