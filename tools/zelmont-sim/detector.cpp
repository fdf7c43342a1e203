#include "detector.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

bool starts_with(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Decimal digits only, no sign, no blanks; false on overflow of 18 digits.
bool plain_number(std::string_view text, std::int64_t& out) {
    if (text.empty() || text.size() > 18)
        return false;
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 0)
        return false;
    out = v;
    return true;
}

std::int64_t now_seconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

} // namespace

bool parse_local_time(const std::string& text, std::int64_t& seconds) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    const int n =
        std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if (n != 3 && n != 6)
        return false;
    if (n == 3 && text.size() != 10)
        return false;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    // mktime normalises 2026-02-30 into March; a date that does not come back is not a date.
    if (t == static_cast<std::time_t>(-1) || tm.tm_year != y - 1900 || tm.tm_mon != mo - 1 ||
        tm.tm_mday != d || tm.tm_min != mi || tm.tm_sec != s || h > 23)
        return false;
    seconds = t;
    return true;
}

std::string format_local_time(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

Detector::Detector(const SimOptions& options)
    : options_(options), scene_(options.seed, options.fps),
      started_(std::chrono::steady_clock::now()) {}

bool Detector::init(std::string& error) {
    auto config = std::make_unique<TXMLConfig>();
    if (!options_.config_file.empty()) {
        if (!config->LoadFromFile(options_.config_file)) {
            error = "cannot read configuration " + options_.config_file;
            return false;
        }
    } else {
        config->CreateDefault("KERVOLA", options_.name.empty() ? "ZELMONT_SF" : options_.name);
        TQuadList scratch;
        const int sensors = std::clamp(options_.sensors, 1, Scene::Lanes);
        for (int lane = 0; lane < sensors; ++lane)
            config->AddSensor(scratch, std::to_string(lane + 1), Scene::lane_zone(lane));
    }
    std::string text = config->AsText();
    adopt(std::move(config), std::move(text));

    // The login is the document's own unless the command line names one.
    const std::string doc_login = system_param("login");
    const std::string doc_pass = system_param("pass");
    login_ = options_.login ? *options_.login : (doc_login.empty() ? "root" : doc_login);
    password_ = options_.password ? *options_.password : (doc_pass.empty() ? "kvtp" : doc_pass);

    if (!options_.truth_file.empty()) {
        truth_.open(options_.truth_file, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!truth_) {
            error = "cannot write truth file " + options_.truth_file;
            return false;
        }
        truth_ << "time,zone,source,state\n" << std::flush;
    }
    records_ =
        make_records(options_.records, static_cast<std::uint32_t>(now_seconds()), options_.seed);
    clock_offset_ = options_.clock_offset;
    return true;
}

void Detector::adopt(std::unique_ptr<TXMLConfig> config, std::string text) {
    config_ = std::move(config);
    config_text_ = std::move(text);
    config_->ReadSensors(zones_);
    active_.assign(static_cast<size_t>(zones_.Count()), false);
    level_.assign(static_cast<size_t>(zones_.Count()), 0);
    inside_.assign(static_cast<size_t>(zones_.Count()), {});
    unseen_.assign(static_cast<size_t>(zones_.Count()), {});
    ghost_due_.assign(static_cast<size_t>(zones_.Count()), -1);
    ghost_left_.assign(static_cast<size_t>(zones_.Count()), 0);
    picture_frame_ = -1; // the quality may have changed
}

std::string Detector::system_param(const std::string& name) const {
    const TXMLNode* top = config_ ? config_->TopNode.get() : nullptr;
    if (!top)
        return {};
    const int s = top->FindChildByParam("type", "system");
    if (s < 0)
        return {};
    const TXMLNode* sys = top->GetNode(s);
    const int p = sys->FindChildByParam("name", name);
    return p < 0 ? std::string() : sys->GetNode(p)->Params.GetParam("val");
}

bool Detector::login_ok(const std::string& login, const std::string& password) const {
    return login == login_ && password == password_;
}

BodyRequest Detector::body_request(const std::string& line) const {
    BodyRequest r;
    std::int64_t n = 0;
    if (starts_with(line, "sc s=") && plain_number(std::string_view(line).substr(5), n)) {
        r.kind = n <= MaxBody ? BodyRequest::Config : BodyRequest::Discard;
        r.size = n;
        return r;
    }
    if (starts_with(line, "ud ")) {
        // ud SIZE,SUM,./update/NAME
        const size_t c1 = line.find(',', 3);
        const size_t c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
        std::int64_t sum = 0;
        if (c2 == std::string::npos || c2 + 1 >= line.size() ||
            !plain_number(std::string_view(line).substr(3, c1 - 3), n) ||
            !plain_number(std::string_view(line).substr(c1 + 1, c2 - c1 - 1), sum) || n > MaxBody ||
            sum > 65535)
            return r;
        r.kind = BodyRequest::Update;
        r.size = n;
        r.sum = static_cast<std::uint32_t>(sum);
    }
    return r;
}

SimOutcome Detector::config_received(std::string text) {
    auto config = std::make_unique<TXMLConfig>();
    // A document that does not parse leaves the stored one as it was.
    if (!config->LoadFromText(text) || !config->TopNode)
        return {{{"sc s=0", {}, false}}, SimAction::None};
    const std::string count = std::to_string(text.size());
    adopt(std::move(config), std::move(text));
    return {{{"sc s=" + count, {}, false}}, SimAction::None};
}

SimOutcome Detector::update_received(const BodyRequest& request, std::uint32_t sum) {
    return {{{(sum & 0xFFFF) == request.sum ? "ud ok" : "ud bad", {}, false}}, SimAction::None};
}

SimOutcome Detector::body_discarded(const std::string& line) {
    if (starts_with(line, "sc"))
        return {{{"sc s=0", {}, false}}, SimAction::None};
    return {{{"ud bad", {}, false}}, SimAction::None};
}

std::string Detector::clock_text() const {
    return format_local_time(now_seconds() + clock_offset_);
}

namespace {

// A draw from 0 to 1 that depends only on the seed, the vehicle, the zone and what is decided,
// so a run with the same seed misses and invents the same vehicles.
double draw(std::uint32_t seed, int lane, std::int64_t slot, int zone, std::uint64_t what) {
    std::uint64_t x =
        (static_cast<std::uint64_t>(seed) << 32) ^ (static_cast<std::uint64_t>(lane) << 56) ^
        (static_cast<std::uint64_t>(zone) << 48) ^ static_cast<std::uint64_t>(slot) ^ (what << 60);
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) * 0x1.0p-53;
}

constexpr std::uint64_t DrawMiss = 1;
constexpr std::uint64_t DrawGhost = 2;
constexpr int GhostFrames = 2;

} // namespace

// A spurious vehicle comes only where the zone is free for the next 1.2 s of the scene, and it
// is due 1.1 s after a vehicle left: so it lies clear of every real vehicle and a
// count check can tell it from a late or early report.
bool Detector::ghost_room(int zone) const {
    const std::int64_t ahead = (options_.fps * 12 + 9) / 10 + GhostFrames;
    const TQuadPoints& points = zones_.Quad(zone)->Points;
    for (std::int64_t f = frame_; f <= frame_ + ahead; ++f)
        if (Scene::occupied(points, scene_.vehicles_at(f)))
            return false;
    return true;
}

void Detector::write_truth(const std::string& zone) {
    if (!truth_.is_open())
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    char when[40];
    std::snprintf(when, sizeof when, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    // One row at a time, flushed: a test or a person may read the file while it grows.
    truth_ << when << ',' << zone << ",truth,on\n" << std::flush;
}

bool Detector::tick(std::vector<std::string>* notes) {
    ++frame_;
    const auto vehicles = scene_.vehicles_at(frame_);
    bool changed = false;
    for (int i = 0; i < zones_.Count(); ++i) {
        const auto k = static_cast<size_t>(i);
        const std::string& id = zones_.Quad(i)->Id;
        std::set<VehicleKey> now;
        for (const SimVehicle* v : Scene::inside(zones_.Quad(i)->Points, vehicles))
            now.insert({v->lane, v->slot});
        bool reported = false;
        bool entered_seen = false;
        for (const VehicleKey& v : now) {
            if (!inside_[k].count(v)) {
                const bool missed = options_.miss > 0 && draw(options_.seed, v.first, v.second, i,
                                                              DrawMiss) < options_.miss;
                if (missed)
                    unseen_[k].insert(v);
                if (notes) {
                    write_truth(id);
                    const char* fate =
                        missed ? "missed" : (active_[k] || entered_seen ? "hidden" : "seen");
                    notes->push_back("<truth " + id + " " + fate + ">");
                }
                entered_seen = entered_seen || !missed;
            }
            if (!unseen_[k].count(v))
                reported = true;
        }
        for (const VehicleKey& v : inside_[k]) {
            if (now.count(v))
                continue;
            unseen_[k].erase(v);
            if (options_.ghost > 0 && ghost_due_[k] < 0 &&
                draw(options_.seed, v.first, v.second, i, DrawGhost) < options_.ghost)
                ghost_due_[k] = frame_ + (options_.fps * 11 + 9) / 10;
        }
        inside_[k] = std::move(now);
        if (ghost_due_[k] >= 0 && frame_ >= ghost_due_[k]) {
            ghost_due_[k] = -1;
            if (!reported && !active_[k] && inside_[k].empty() && ghost_room(i)) {
                ghost_left_[k] = GhostFrames;
                if (notes)
                    notes->push_back("<ghost " + id + ">");
            }
        }
        if (ghost_left_[k] > 0) {
            --ghost_left_[k];
            reported = true;
        }
        if (reported == active_[k])
            continue;
        changed = true;
        active_[k] = reported;
        if (reported)
            ++level_[k]; // vehicles counted by this zone
    }
    return changed;
}

std::string Detector::states_line() const {
    std::string s = "gs";
    for (int i = 0; i < zones_.Count(); ++i)
        s += " " + zones_.Quad(i)->Id + (active_[static_cast<size_t>(i)] ? " 1" : " 0");
    return s;
}

std::string Detector::events_line() const {
    std::string s = "ge";
    for (int i = 0; i < zones_.Count(); ++i) {
        const auto k = static_cast<size_t>(i);
        s += " " + zones_.Quad(i)->Id + (active_[k] ? " 1" : " 0") + " 0 " +
             std::to_string(level_[k]) + " 0 0 0";
    }
    return s;
}

std::string Detector::picture() {
    int quality = 70;
    std::int64_t q = 0;
    if (plain_number(system_param("jpegquality"), q))
        quality = static_cast<int>(std::clamp<std::int64_t>(q, 1, 100));
    if (picture_frame_ != frame_ || picture_quality_ != quality) {
        picture_ =
            encode_jpeg(scene_.render(frame_, clock_text()), Scene::Width, Scene::Height, quality);
        picture_frame_ = frame_;
        picture_quality_ = quality;
    }
    return picture_;
}

std::vector<const TrafficRecord*> Detector::records_from(std::uint32_t from) const {
    std::vector<const TrafficRecord*> out;
    for (const auto& r : records_)
        if (r.time >= from)
            out.push_back(&r);
    return out;
}

std::string Detector::records_bytes(std::uint32_t from) const {
    std::string out;
    for (const auto* r : records_from(from))
        out += encode_record(*r, options_.record_size);
    return out;
}

SimOutcome Detector::handle(const std::string& line) {
    SimOutcome o;
    auto reply = [&o](std::string text) { o.replies.push_back({std::move(text), {}, false}); };
    auto block = [&o](const std::string& head, std::string body) {
        // A count of 0 announces nothing, so no body follows it.
        const bool has = !body.empty();
        o.replies.push_back({head + std::to_string(body.size()), std::move(body), has});
    };

    if (line == "gc") {
        block("gc s=", config_text_);
    } else if (line == "gf") {
        char rate[8];
        std::snprintf(rate, sizeof rate, "%02d", options_.fps);
        reply(std::string("gf rate=@") + rate);
    } else if (line == "gv") {
        reply("gv=" + options_.firmware);
    } else if (line == "gp") {
        block("gp=", picture());
    } else if (line == "sm data=on") {
        o.action = SimAction::DataOn;
    } else if (line == "sm data=off") {
        o.action = SimAction::DataOff;
    } else if (line == "gs") {
        reply(states_line());
    } else if (line == "ge") {
        reply(events_line());
    } else if (line == "sc" || starts_with(line, "sc ")) {
        reply("sc s=0"); // no usable count: nothing stored
    } else if (line == "gt") {
        reply("gt t=\"" + clock_text() + "\"");
    } else if (starts_with(line, "st t=")) {
        std::string t = line.substr(5);
        if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
            t = t.substr(1, t.size() - 2);
        std::int64_t when = 0;
        if (!parse_local_time(t, when)) {
            reply("st bad");
        } else {
            clock_offset_ = when - now_seconds();
            reply("st ok");
        }
    } else if (line == "gn") {
        std::string s = "gn address " + address_ + " netmask " + netmask_ + " gateway " + gateway_;
        if (!dns_.empty())
            s += " dns-nameservers " + dns_;
        reply(s);
    } else if (line == "gn ntp") {
        std::string s = "gn ntp [";
        for (size_t i = 0; i < ntp_.size(); ++i)
            s += (i ? ", " : "") + ntp_[i];
        reply(s + "]");
    } else if (starts_with(line, "sn ")) {
        const std::string rest = line.substr(3);
        if (starts_with(rest, "ntp [") && rest.back() == ']') {
            ntp_.clear();
            std::string list = rest.substr(5, rest.size() - 6);
            size_t at = 0;
            while (at <= list.size()) {
                size_t comma = list.find(',', at);
                if (comma == std::string::npos)
                    comma = list.size();
                std::string item = trim(list.substr(at, comma - at));
                if (!item.empty())
                    ntp_.push_back(item);
                at = comma + 1;
            }
        } else if (starts_with(rest, "port ")) {
            tcp_port_ = trim(rest.substr(5));
        } else {
            std::vector<std::string> parts;
            size_t at = 0;
            while (at <= rest.size()) {
                size_t comma = rest.find(',', at);
                if (comma == std::string::npos)
                    comma = rest.size();
                parts.push_back(trim(rest.substr(at, comma - at)));
                at = comma + 1;
            }
            if (parts.size() == 3 || parts.size() == 4) {
                address_ = parts[0];
                netmask_ = parts[1];
                gateway_ = parts[2];
                dns_ = parts.size() == 4 ? parts[3] : std::string();
            }
        }
    } else if (line == "gb stat") {
        reply("gb stat=" + std::to_string(options_.record_size) + "," +
              std::to_string(records_.size()));
    } else if (starts_with(line, "gb ltim=")) {
        const std::string arg = line.substr(8);
        const size_t comma = arg.rfind(',');
        const std::string from = arg.substr(0, comma);
        std::int64_t seconds = 0;
        if (from == "0")
            block("gb ltim=", records_bytes(0));
        else if (parse_local_time(from, seconds))
            block("gb ltim=", records_bytes(static_cast<std::uint32_t>(
                                  std::clamp<std::int64_t>(seconds, 0, 0xFFFFFFFFLL))));
        else
            reply("gb ltim=0"); // an unreadable start selects nothing rather than everything
    } else if (line == "gd") {
        block("gd=", records_bytes(0));
    } else if (line == "gb dele") {
        records_.clear();
        reply("gb ok");
    } else if (line == "gg") {
        reply(level_reply());
    } else if (line == "cl" || starts_with(line, "cl ")) {
        reply("cl ok");
    } else if (starts_with(line, "ud ")) {
        // Reached only when the line is unreadable: its body length is unknown, so the stream
        // cannot be framed any more.
        reply("ud bad");
        o.action = SimAction::Close;
    } else if (line == "rb app") {
        reply("rb ok");
        o.action = SimAction::RebootApp;
    } else if (line == "rb sys") {
        reply("rb ok");
        o.action = SimAction::RebootSys;
    } else {
        reply("?" + line);
    }
    return o;
}

std::string Detector::level_reply() const {
    switch (options_.level) {
    case SimOptions::Level::High:
        return "gg=0";
    case SimOptions::Level::Low:
        return "gg=1";
    case SimOptions::Level::None:
        return "gg=?"; // a unit without a level sensor
    case SimOptions::Level::Cycle:
        break;
    }
    // The liquid runs low for half a minute in every two.
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count() +
                         options_.level_phase;
    return elapsed % 120 < 90 ? "gg=0" : "gg=1";
}
