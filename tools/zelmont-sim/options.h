#pragma once
// Command line of the simulator.

#include <cstdint>
#include <optional>
#include <string>

// One process serves at most this many detectors; each needs a listening socket.
constexpr int MaxDetectors = 5000;

struct SimOptions {
    int port = 8080;
    std::string bind = "127.0.0.1";
    std::optional<std::string> login;    // unset: the configuration's own, else "root"
    std::optional<std::string> password; // unset: the configuration's own, else "kvtp"
    std::string config_file;
    std::string firmware = "\"Zelmont SF 5.2 38\"";
    int fps = 25;
    int record_size = 136;
    int records = 500;
    std::uint32_t seed = 1;
    std::string log_file;
    // The cleaning liquid's level in "gg" replies: cycling, or fixed for tests.
    enum class Level { Cycle, High, Low, None } level = Level::Cycle;
    bool help = false;
    bool version = false;

    // A fleet: `detectors` independent detectors on consecutive ports (or free ports with
    // --port 0), and an address book that lists them.
    int detectors = 1;
    std::string write_hosts;

    // What sets one member of a fleet apart; a single detector keeps these defaults.
    std::string name;              // address-book label and configuration target; empty: none
    int sensors = 4;               // lane sensors of the default configuration, 1..4
    std::int64_t clock_offset = 0; // seconds the detector's clock runs ahead of the machine's
    int level_phase = 0;           // seconds into the liquid level's two-minute cycle at start
    bool idle_clock = false;       // the frame clock rests while nobody is connected

    // The count check's ground truth: every vehicle entering a zone goes to `truth_file`; the
    // detector fails to report a share `miss` of them and reports `ghost` spurious vehicles per
    // real one. `speed` runs the frame clock that many times faster than the scene's own time.
    std::string truth_file;
    double miss = 0;
    double ghost = 0;
    int speed = 1;

    // Faults for reliability tests; 0 / false = off.
    int drop_gp = 0;
    int drop_sc = 0;
    int slow_ms = 0;
    int split = 0;
    bool garbage = false;
    bool close_mid_body = false;
    bool huge_announce = false;
    int body_fault_every = 0; // the body faults' period when set, else 4 and 5
    bool mute = false;
};

// Empty on success, otherwise the message to print before the usage text.
std::string parse_options(int argc, const char* const* argv, SimOptions& options);

std::string usage_text();
