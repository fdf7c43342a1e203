#pragma once
// What the simulated detector knows and how it answers one command. No sockets here: the session
// frames lines and bodies, this class turns them into replies.

#include "config/XMLConfig.h"
#include "options.h"
#include "records.h"
#include "scene.h"

#include <chrono>
#include <fstream>
#include <set>
#include <cstdint>
#include <string>
#include <vector>

struct SimReply {
    std::string line; // without its CR LF
    std::string body; // follows the line directly when has_body
    bool has_body = false;
};

enum class SimAction { None, DataOn, DataOff, RebootApp, RebootSys, Close };

struct SimOutcome {
    std::vector<SimReply> replies;
    SimAction action = SimAction::None;
};

// What a command line announces to follow it.
struct BodyRequest {
    enum Kind { None, Config, Update, Discard } kind = None;
    std::int64_t size = 0;
    std::uint32_t sum = 0; // expected 16-bit sum of an update
};

class Detector {
public:
    // Larger configuration or update bodies are not taken; the program never sends more.
    static constexpr std::int64_t MaxBody = 33554432;

    explicit Detector(const SimOptions& options);

    // Loads --config or builds the default document with four lane sensors.
    bool init(std::string& error);

    bool login_ok(const std::string& login, const std::string& password) const;
    const std::string& login() const { return login_; }
    const std::string& password() const { return password_; }

    BodyRequest body_request(const std::string& line) const;
    SimOutcome handle(const std::string& line);
    SimOutcome config_received(std::string text);
    SimOutcome update_received(const BodyRequest& request, std::uint32_t sum);
    // A body that was announced larger than MaxBody and thrown away.
    SimOutcome body_discarded(const std::string& line);

    // Advances the scene by one frame; true when some zone changed its state. With `notes`, the
    // frame is watched: each vehicle entering a zone goes to the truth file, and what became of
    // it ("<truth ZONE seen>", "missed", "hidden" behind a vehicle already reported, "<ghost
    // ZONE>") is added to `notes` for the log.
    bool tick(std::vector<std::string>* notes = nullptr);
    std::int64_t frame() const { return frame_; }
    std::string states_line() const;
    std::string events_line() const;
    std::string picture();
    std::string clock_text() const;

    const std::string& config_text() const { return config_text_; }

private:
    void adopt(std::unique_ptr<TXMLConfig> config, std::string text);
    std::string system_param(const std::string& name) const;
    std::string level_reply() const;
    std::string records_bytes(std::uint32_t from) const;
    std::vector<const TrafficRecord*> records_from(std::uint32_t from) const;

    SimOptions options_;
    Scene scene_;
    std::chrono::steady_clock::time_point started_;

    std::unique_ptr<TXMLConfig> config_;
    std::string config_text_;
    TQuadList zones_;
    std::vector<bool> active_;
    std::vector<int> level_;
    // Per zone: the vehicles (lane, slot) over it, those the detector does not report, the frame
    // a spurious vehicle is due and the frames it has left.
    using VehicleKey = std::pair<int, std::int64_t>;
    std::vector<std::set<VehicleKey>> inside_;
    std::vector<std::set<VehicleKey>> unseen_;
    std::vector<std::int64_t> ghost_due_;
    std::vector<int> ghost_left_;
    std::ofstream truth_;
    bool ghost_room(int zone) const;
    void write_truth(const std::string& zone);
    std::int64_t frame_ = 0;
    std::int64_t clock_offset_ = 0; // seconds added to the machine's clock by "st"

    std::string login_;
    std::string password_;

    std::string address_ = "192.168.0.100";
    std::string netmask_ = "255.255.255.0";
    std::string gateway_ = "192.168.0.1";
    // Not the gateway: a client that puts the gateway in the DNS's place must show.
    std::string dns_ = "192.168.0.53";
    std::vector<std::string> ntp_{"0.pool.ntp.org", "1.pool.ntp.org"};
    std::string tcp_port_;

    std::vector<TrafficRecord> records_;

    std::int64_t picture_frame_ = -1;
    int picture_quality_ = -1;
    std::string picture_;
};

// "yyyy-mm-dd hh:mm:ss" or "yyyy-mm-dd" in local time to seconds since 1970; false when it is
// neither or names no real date.
bool parse_local_time(const std::string& text, std::int64_t& seconds);
std::string format_local_time(std::int64_t seconds);
