#pragma once
// Runs a test in another time zone and restores the zone it found.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class TzGuard {
public:
    explicit TzGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            Old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TzGuard() {
        if (Old)
            ::setenv("TZ", Old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TzGuard(const TzGuard&) = delete;
    TzGuard& operator=(const TzGuard&) = delete;

private:
    std::optional<std::string> Old;
};
