#pragma once
// The texts the administration commands send and the replies they read: network lines, the
// "gn" and "gn ntp" replies, the detector's clock text. Toolkit-free.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

struct TNetworkFields {
    std::optional<std::string> Address;
    std::optional<std::string> Netmask;
    std::optional<std::string> Gateway;
    std::optional<std::string> Dns;
};

// The "sn" lines, each ended by CR LF; empty when the address, net mask or gateway is not a
// valid address. An invalid DNS address is left out; the NTP line only when `ntp` is on.
std::string NetworkApplyText(const std::string& address, const std::string& netmask,
                             const std::string& gateway, const std::string& dns, bool ntp,
                             const std::vector<std::string>& ntpServers, const std::string& port);

// The value after each keyword of a "gn" reply; a keyword at the end of the line has no value
// and leaves its field unset.
TNetworkFields ParseNetworkReply(const std::string& line);
// The servers between the first "[" and the "]" after it, blanks before an item dropped,
// empty items skipped.
std::vector<std::string> ParseNtpReply(const std::string& line);

// "yyyy-MM-dd hh:mm:ss" of a broken-down time; the date alone at exactly 00:00:00.
std::string FormatDetectorTime(const std::tm& t);
// The fixed columns of "yyyy-mm-dd hh:mm:ss"; nullopt when a part is no number or the date or
// time is invalid (the caller shows the zero date then).
std::optional<std::tm> ParseDetectorTime(const std::string& text);
// The detector's clock minus the PC's, in seconds, both read as local time.
std::optional<long long> ClockDriftSeconds(const std::string& detectorTime, std::time_t pcNow);
