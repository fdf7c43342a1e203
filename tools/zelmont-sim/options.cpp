#include "options.h"

#include <charconv>
#include <string_view>

namespace {

bool to_int(std::string_view text, long long low, long long high, long long& out) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return false;
    out = v;
    return true;
}

// A share from 0 to 1: digits with an optional point, whatever the locale says.
bool to_share(const std::string& text, double& out) {
    const size_t point = text.find('.');
    long long whole = 0;
    if (!to_int(text.substr(0, point), 0, 1, whole))
        return false;
    double part = 0;
    if (point != std::string::npos) {
        const std::string digits = text.substr(point + 1);
        long long n = 0;
        if (digits.empty() || digits.size() > 9 || !to_int(digits, 0, 999999999, n))
            return false;
        part = static_cast<double>(n);
        for (size_t i = 0; i < digits.size(); ++i)
            part /= 10;
    }
    if (whole + part > 1)
        return false;
    out = static_cast<double>(whole) + part;
    return true;
}

bool parse_level(const std::string& text, SimOptions::Level& level) {
    if (text == "cycle")
        level = SimOptions::Level::Cycle;
    else if (text == "high")
        level = SimOptions::Level::High;
    else if (text == "low")
        level = SimOptions::Level::Low;
    else if (text == "none")
        level = SimOptions::Level::None;
    else
        return false;
    return true;
}

} // namespace

std::string usage_text() {
    return "usage: zelmont-sim [--port N] [--bind ADDR] [--login L] [--password P] [--config "
           "FILE]\n"
           "                   [--firmware TEXT] [--fps N] [--record-size 136|144|288]\n"
           "                   [--records N] [--seed N] [--log FILE]\n"
           "                   [--level cycle|high|low|none]\n"
           "                   [--detectors N] [--write-hosts FILE]\n"
           "                   [--truth FILE] [--miss P] [--ghost P] [--speed K]\n"
           "                   [--drop-gp K] [--drop-sc K] [--slow-ms N] [--split N] [--garbage]\n"
           "                   [--close-mid-body] [--huge-announce] [--body-fault-every K]\n"
           "                   [--mute]\n"
           "       zelmont-sim --help | --version\n";
}

std::string parse_options(int argc, const char* const* argv, SimOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--garbage") {
            o.garbage = true;
            continue;
        }
        if (arg == "--close-mid-body") {
            o.close_mid_body = true;
            continue;
        }
        if (arg == "--huge-announce") {
            o.huge_announce = true;
            continue;
        }
        if (arg == "--mute") {
            o.mute = true;
            continue;
        }
        if (i + 1 >= argc)
            return "missing value or unknown option: " + std::string(arg);
        const std::string value = argv[++i];
        long long n = 0;
        auto number = [&](long long low, long long high, auto& field) {
            if (!to_int(value, low, high, n))
                return false;
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            return true;
        };
        bool ok = true;
        if (arg == "--port")
            ok = number(0, 65535, o.port);
        else if (arg == "--bind")
            o.bind = value;
        else if (arg == "--login")
            o.login = value;
        else if (arg == "--password")
            o.password = value;
        else if (arg == "--config")
            o.config_file = value;
        else if (arg == "--firmware")
            o.firmware = value;
        else if (arg == "--fps")
            ok = number(1, 99, o.fps); // the rate travels as two digits after "@"
        else if (arg == "--record-size")
            ok = number(0, 1000, o.record_size) &&
                 (o.record_size == 136 || o.record_size == 144 || o.record_size == 288);
        else if (arg == "--records")
            ok = number(0, 100000, o.records); // x 288 bytes: within the 32 MiB buffer
        else if (arg == "--seed")
            ok = number(0, 0xFFFFFFFFLL, o.seed);
        else if (arg == "--log")
            o.log_file = value;
        else if (arg == "--level")
            ok = parse_level(value, o.level);
        else if (arg == "--detectors")
            ok = number(1, MaxDetectors, o.detectors);
        else if (arg == "--write-hosts")
            o.write_hosts = value;
        else if (arg == "--truth")
            o.truth_file = value;
        else if (arg == "--miss")
            ok = to_share(value, o.miss);
        else if (arg == "--ghost")
            ok = to_share(value, o.ghost);
        else if (arg == "--speed")
            ok = number(1, 20, o.speed);
        else if (arg == "--drop-gp")
            ok = number(0, 1000000, o.drop_gp);
        else if (arg == "--drop-sc")
            ok = number(0, 1000000, o.drop_sc);
        else if (arg == "--slow-ms")
            ok = number(0, 60000, o.slow_ms);
        else if (arg == "--split")
            ok = number(0, 1 << 20, o.split);
        else if (arg == "--body-fault-every")
            ok = number(1, 1000000, o.body_fault_every);
        else
            return "unknown option: " + std::string(arg);
        if (!ok)
            return "bad value for " + std::string(arg) + ": " + value;
    }
    return {};
}
