#include "fleet/FleetPool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void RunBounded(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& finished) {
    if (count == 0)
        return;
    const std::size_t threads =
        std::min<std::size_t>(count, static_cast<std::size_t>(std::clamp(jobs, 1, MaxFleetJobs)));
    std::atomic<std::size_t> next{0};
    std::mutex reportLock;
    std::size_t done = 0;
    auto drain = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            work(i);
            std::lock_guard<std::mutex> hold(reportLock);
            ++done;
            if (finished)
                finished(done);
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) {
        try {
            pool.emplace_back(drain);
        } catch (const std::system_error&) {
            break; // fewer at once is slower, not wrong
        }
    }
    if (pool.empty())
        drain();
    for (auto& thread : pool)
        thread.join();
}
