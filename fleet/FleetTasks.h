#pragma once
// What a fleet command does with one detector: a one-shot connection, one login, and only the
// exchanges the command needs. Each runs on the calling thread with that thread's one-shot
// channel, so any number may run at once on different threads.

#include "channel/velt_winsock.h"
#include "fleet/FleetResult.h"

#include <ctime>
#include <functional>
#include <string>

// "gv", "gt" and "gg": firmware, drift_s and level.
TFleetResult FleetStatus(const TSyncTarget& target);
// Keeps a configuration received whole; false with `error` when it could not. `file` names
// where it went.
using TConfigSaver =
    std::function<bool(const std::string& bytes, std::string& file, std::string& error)>;
// "gc", handed byte for byte to `save` once it arrived whole and parses; file, bytes and
// sensors. Nothing is saved on any failure.
TFleetResult FleetBackup(const TSyncTarget& target, const TConfigSaver& save);
// A saver into `file` (through a temporary file beside it, mode 0600 since the configuration
// holds the detector's login): on any failure `file` is left as it was.
TConfigSaver SaveToFile(const std::string& file);
// "gt", then "st t=" with this machine's time only when the drift is more than `maxDriftS`
// seconds either way; drift_s and synced.
TFleetResult FleetTimeSync(const TSyncTarget& target, double maxDriftS);
// "gv" for the firmware number, then the program's download of the buffered traffic data from
// `start` ("0" or a local time, as "gb ltim=" takes it) into `base` + ".csv" as a text table, or
// + ".bin" with the bytes as received when `raw` is set or the firmware (below 38) sends no
// records a table can be made of; file, bytes, records (null for such firmware).
TFleetResult FleetDataDownload(const TSyncTarget& target, const std::string& start,
                               const std::string& base, bool raw);

// --- the reading and writing behind them -------------------------------------------------------

// The "gv" text after the first "=", without one enclosing double quote at each end; false when
// the reply has no "=".
bool FirmwareFromReply(const std::string& reply, std::string& firmware);
// The "gt" time "yyyy-mm-dd hh:mm:ss" in local time; false when the reply holds no real date
// and time.
bool DetectorClockFromReply(const std::string& reply, std::time_t& clock);
// "high" for state 0 of "gg", "low" for 1, "unknown" for anything else.
std::string LevelFromReply(const std::string& reply);
// Seconds the detector's clock is ahead, from its whole-second reading and this machine's time
// just before the question and just after the answer.
long long DriftSeconds(std::time_t detector, double asked, double answered);
// The file name for a label: "/" and control bytes become "_", and a label that would name this
// or the parent folder ("", ".", "..") is prefixed with "_".
std::string FileNameForLabel(const std::string& label);
// Writes through a temporary file (mode 0600) in the same folder, then renames it over `path`:
// a failed write leaves an older file as it was, and nobody else can read the bytes.
bool WritePrivateFile(const std::string& path, const std::string& bytes, std::string& error);
