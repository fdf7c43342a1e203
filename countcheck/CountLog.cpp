#include "countcheck/CountLog.h"

#include "channel/DetectorProtocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

bool IsDetectorEvent(const TCountEvent& event) {
    return event.Source == DetectorSource;
}

std::string FormatEventTime(double time) {
    // In whole milliseconds, so no locale and no rounding of a double ever shows in the text.
    const long long ms = std::llround(time * 1000.0);
    const long long whole = ms / 1000;
    const long long part = ms % 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%03lld", whole, part < 0 ? -part : part);
    return text;
}

std::string FormatEventRow(const TCountEvent& event) {
    const bool detector = IsDetectorEvent(event);
    return FormatEventTime(event.Time) + "," + event.Zone + "," + event.Source + "," +
           (event.On || !detector ? "on" : "off") + "\n";
}

std::string FormatEventLog(std::vector<TCountEvent> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const TCountEvent& a, const TCountEvent& b) { return a.Time < b.Time; });
    std::string text = std::string(EventLogHeader) + "\n";
    for (const TCountEvent& e : events)
        text += FormatEventRow(e);
    return text;
}

namespace {

std::vector<std::string> SplitFields(const std::string& row) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        const size_t comma = row.find(',', at);
        fields.push_back(row.substr(at, comma == std::string::npos ? comma : comma - at));
        if (comma == std::string::npos)
            return fields;
        at = comma + 1;
    }
}

// Seconds with an optional fraction: digits, a point, digits. Signs, exponents and commas would
// read differently in other tools, so they are refused rather than guessed at.
bool ParseTime(const std::string& text, double& time) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string part = point == std::string::npos ? std::string() : text.substr(point + 1);
    auto digits = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 12 || !digits(whole) || !digits(part) ||
        (point != std::string::npos && (part.empty() || part.size() > 9)))
        return false;
    long long seconds = 0;
    std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    long long fraction = 0;
    if (!part.empty())
        std::from_chars(part.data(), part.data() + part.size(), fraction);
    time = static_cast<double>(seconds) +
           static_cast<double>(fraction) / std::pow(10.0, static_cast<double>(part.size()));
    return true;
}

bool ParseRow(const std::string& row, TCountEvent& event, std::string& problem) {
    const std::vector<std::string> fields = SplitFields(row);
    if (fields.size() != 4) {
        problem =
            "expected 4 fields (time,zone,source,state), found " + std::to_string(fields.size());
        return false;
    }
    if (!ParseTime(fields[0], event.Time)) {
        problem = "bad time \"" + fields[0] + "\"";
        return false;
    }
    event.Zone = fields[1];
    event.Source = fields[2];
    if (event.Zone.empty() || event.Source.empty()) {
        problem = event.Zone.empty() ? "empty zone" : "empty source";
        return false;
    }
    if (fields[3] != "on" && fields[3] != "off") {
        problem = "bad state \"" + fields[3] + "\" (on or off)";
        return false;
    }
    event.On = fields[3] == "on";
    if (!event.On && !IsDetectorEvent(event)) {
        problem = "a reference row must be \"on\"";
        return false;
    }
    return true;
}

} // namespace

bool ParseEventLog(const std::string& text, std::vector<TCountEvent>& events, int& line,
                   std::string& problem) {
    std::vector<TCountEvent> read;
    size_t at = 0;
    line = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string row = text.substr(at, end - at);
        at = end + 1;
        ++line;
        // A log that went through a spreadsheet on another desktop comes back with CR LF.
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        if (line == 1) {
            if (row != EventLogHeader) {
                problem = std::string("the first line must be \"") + EventLogHeader + "\"";
                return false;
            }
            continue;
        }
        TCountEvent event;
        if (!ParseRow(row, event, problem))
            return false;
        read.push_back(std::move(event));
    }
    if (line == 0) {
        line = 1;
        problem = "empty file";
        return false;
    }
    events.insert(events.end(), read.begin(), read.end());
    return true;
}

bool ReadZoneStateReply(const std::string& line,
                        std::vector<std::pair<std::string, bool>>& states) {
    states.clear();
    if (line.size() < 2)
        return false;
    const std::string code = line.substr(0, 2);
    const std::string rest = line.size() > 3 ? line.substr(3) : std::string();
    if (code == "gs") {
        for (const TZoneState& s : ParseZoneStates(rest))
            states.emplace_back(s.Id, s.Active);
        return true;
    }
    if (code == "ge") {
        for (const TZoneEvent& e : ParseZoneEvents(rest))
            states.emplace_back(e.Id, e.Active);
        return true;
    }
    return false;
}

void TDetectorEdges::Update(const std::vector<std::pair<std::string, bool>>& states, double time,
                            std::vector<TCountEvent>& out) {
    for (const auto& state : states) {
        // Named apart from the pair: clang 14, the fuzz build's compiler, cannot capture a
        // structured binding.
        const std::string& zone = state.first;
        const bool active = state.second;
        auto known = std::find_if(Known.begin(), Known.end(),
                                  [&zone](const auto& k) { return k.first == zone; });
        if (known == Known.end()) {
            Known.emplace_back(zone, active);
            continue;
        }
        if (known->second == active)
            continue;
        known->second = active;
        out.push_back({time, zone, DetectorSource, active});
    }
}

std::optional<double> TZoneCount::Recall() const {
    if (Reference == 0)
        return std::nullopt;
    return static_cast<double>(Matched) / Reference;
}

std::optional<double> TZoneCount::Precision() const {
    if (Detector == 0)
        return std::nullopt;
    return static_cast<double>(Matched) / Detector;
}

std::optional<double> TZoneCount::ErrorPercent() const {
    if (Reference == 0)
        return std::nullopt;
    return 100.0 * (Detector - Reference) / Reference;
}

TZoneCount MatchZone(std::vector<double> detector, std::vector<double> reference, double window,
                     double settledBefore) {
    std::sort(detector.begin(), detector.end());
    std::sort(reference.begin(), reference.end());
    TZoneCount count;
    count.Detector = static_cast<int>(detector.size());
    count.Reference = static_cast<int>(reference.size());
    size_t d = 0, r = 0;
    while (d < detector.size() && r < reference.size()) {
        // Times come from text with three decimals: a gap of exactly the window must not be
        // lost to the last bit of a double near 1.7e9.
        if (std::fabs(detector[d] - reference[r]) <= window + 1e-6) {
            ++count.Matched;
            ++d;
            ++r;
        } else if (detector[d] < reference[r]) {
            count.False += detector[d++] <= settledBefore;
        } else {
            count.Missed += reference[r++] <= settledBefore;
        }
    }
    for (; d < detector.size(); ++d)
        count.False += detector[d] <= settledBefore;
    for (; r < reference.size(); ++r)
        count.Missed += reference[r] <= settledBefore;
    return count;
}

namespace {

// Sensor ids are numbers as a rule: "10" after "9".
bool ZoneBefore(const std::string& a, const std::string& b) {
    long long x = 0, y = 0;
    const auto [ea, ca] = std::from_chars(a.data(), a.data() + a.size(), x);
    const auto [eb, cb] = std::from_chars(b.data(), b.data() + b.size(), y);
    const bool na = ca == std::errc() && ea == a.data() + a.size();
    const bool nb = cb == std::errc() && eb == b.data() + b.size();
    if (na && nb && x != y)
        return x < y;
    if (na != nb)
        return na;
    return a < b;
}

} // namespace

std::vector<TZoneCount> MatchEvents(const std::vector<TCountEvent>& events, double window,
                                    const std::vector<std::string>& zones, double settledBefore) {
    struct TTimes {
        std::vector<double> Detector, Reference;
    };
    std::map<std::string, TTimes> byZone;
    for (const TCountEvent& e : events) {
        TTimes& t = byZone[e.Zone];
        if (!IsDetectorEvent(e))
            t.Reference.push_back(e.Time);
        else if (e.On)
            t.Detector.push_back(e.Time);
    }
    std::vector<std::string> order;
    for (const std::string& z : zones)
        if (std::find(order.begin(), order.end(), z) == order.end())
            order.push_back(z);
    std::vector<std::string> others;
    for (const auto& [zone, times] : byZone)
        if (std::find(order.begin(), order.end(), zone) == order.end())
            others.push_back(zone);
    std::sort(others.begin(), others.end(), ZoneBefore);
    order.insert(order.end(), others.begin(), others.end());

    std::vector<TZoneCount> counts;
    for (const std::string& zone : order) {
        const TTimes& t = byZone[zone];
        TZoneCount c = MatchZone(t.Detector, t.Reference, window, settledBefore);
        c.Zone = zone;
        counts.push_back(c);
    }
    return counts;
}

TZoneCount TotalCount(const std::vector<TZoneCount>& zones) {
    TZoneCount total;
    total.Zone = "total";
    for (const TZoneCount& z : zones) {
        total.Detector += z.Detector;
        total.Reference += z.Reference;
        total.Matched += z.Matched;
        total.Missed += z.Missed;
        total.False += z.False;
    }
    return total;
}

std::string FormatRatio(const std::optional<double>& value, int decimals) {
    if (!value || !std::isfinite(*value))
        return {};
    // Rounded in integers, so the decimal separator never comes from the locale.
    const double scale = std::pow(10.0, decimals);
    const long long n = std::llround(std::fabs(*value) * scale);
    const long long whole = n / static_cast<long long>(scale);
    std::string text = (*value < 0 && n != 0 ? "-" : "") + std::to_string(whole);
    if (decimals > 0) {
        std::string part = std::to_string(n % static_cast<long long>(scale));
        part.insert(0, static_cast<size_t>(decimals) - part.size(), '0');
        text += "." + part;
    }
    return text;
}

std::string FormatSummaryCsv(const std::vector<TZoneCount>& zones) {
    std::string text = "zone,detector,reference,matched,missed,false,recall,precision,error_pct\n";
    std::vector<TZoneCount> rows = zones;
    rows.push_back(TotalCount(zones));
    for (const TZoneCount& z : rows)
        text += z.Zone + "," + std::to_string(z.Detector) + "," + std::to_string(z.Reference) +
                "," + std::to_string(z.Matched) + "," + std::to_string(z.Missed) + "," +
                std::to_string(z.False) + "," + FormatRatio(z.Recall(), 3) + "," +
                FormatRatio(z.Precision(), 3) + "," + FormatRatio(z.ErrorPercent(), 1) + "\n";
    return text;
}
