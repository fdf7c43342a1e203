#pragma once
// The count check's shared ground: the event log file that the program, the command line and the
// simulator all write and read, the detector events read from zone-state replies, and the
// matching of detector counts against a reference count (a hand count, the simulator's truth).
// No toolkit: the window, the command line and the tests share it.

#include <limits>
#include <optional>
#include <string>
#include <vector>

// One row of an event log. Detector rows carry on and off; every other source is a reference
// count, whose rows are always on.
struct TCountEvent {
    double Time = 0;    // Unix time in seconds
    std::string Zone;   // the sensor id
    std::string Source; // "detector", or the reference's own word ("hand", "truth", ...)
    bool On = true;
};

inline constexpr const char* DetectorSource = "detector";
inline constexpr const char* EventLogHeader = "time,zone,source,state";
inline constexpr double DefaultMatchWindow = 1.0;

bool IsDetectorEvent(const TCountEvent& event);

// "1765296000.125": exactly three decimals and a point whatever the locale, since scripts and
// other machines read the file.
std::string FormatEventTime(double time);
// One row with its "\n".
std::string FormatEventRow(const TCountEvent& event);
// The header and the rows sorted by time (rows of one instant keep their order).
std::string FormatEventLog(std::vector<TCountEvent> events);

// Reads a whole log into `events` (appended). False on the first malformed row, with `line` its
// number (the header is line 1) and `problem` what is wrong with it.
bool ParseEventLog(const std::string& text, std::vector<TCountEvent>& events, int& line,
                   std::string& problem);

// The zone states of a "gs" or "ge" reply line, read by the design's rules of the program's own
// parser; false for any other line.
bool ReadZoneStateReply(const std::string& line, std::vector<std::pair<std::string, bool>>& states);

// The detector's per-zone states as zone-state replies report them, turned into on and off
// events. The first state seen of a zone after Reset is its starting state and no event.
class TDetectorEdges {
public:
    void Reset() { Known.clear(); }
    // The states of one reply, read at `time`; the events they make, appended to `out`.
    void Update(const std::vector<std::pair<std::string, bool>>& states, double time,
                std::vector<TCountEvent>& out);

private:
    std::vector<std::pair<std::string, bool>> Known;
};

// The outcome of matching one zone, or all of them (Zone "total").
struct TZoneCount {
    std::string Zone;
    int Detector = 0;  // detector "on" events
    int Reference = 0; // reference events
    int Matched = 0;
    int Missed = 0; // reference events that found no partner
    int False = 0;  // detector "on" events that found no partner
    // Empty where the divisor is 0.
    std::optional<double> Recall() const;
    std::optional<double> Precision() const;
    std::optional<double> ErrorPercent() const;
};

// Matches one zone's detector "on" times against its reference times with the window (seconds):
// both sorted and walked together; a pair within the window is matched, otherwise the earlier
// one is passed. Unmatched events at or before `settledBefore` count as missed or false; later
// ones may still find their partner, so a live count leaves them open.
TZoneCount MatchZone(std::vector<double> detector, std::vector<double> reference, double window,
                     double settledBefore = std::numeric_limits<double>::infinity());

// Every zone of the events, in `zones` order first (zones with no events included), then the
// others by id (numbers by value).
std::vector<TZoneCount> MatchEvents(const std::vector<TCountEvent>& events, double window,
                                    const std::vector<std::string>& zones = {},
                                    double settledBefore = std::numeric_limits<double>::infinity());
TZoneCount TotalCount(const std::vector<TZoneCount>& zones);

// The summary as CSV: a header, a row per zone and the total row; ratios with a point, empty
// where they have no value.
std::string FormatSummaryCsv(const std::vector<TZoneCount>& zones);
// "12.5" (one decimal, a point), or empty.
std::string FormatRatio(const std::optional<double>& value, int decimals);
