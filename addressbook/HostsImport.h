#pragma once
// Address-book entries from a comma-separated table, for importing a road authority's list of
// detectors in one go. No toolkit.

#include "addressbook/HostRecords.h"

#include <ctime>
#include <string>
#include <vector>

// One record of a CSV text: its fields and the line it starts on (1 = the first line).
struct TCsvRecord {
    int Line = 0;
    std::vector<std::string> Fields;
    bool Unterminated = false; // a quoted field ran to the end of the text
};

// Fields separated by ",", records by CR LF, LF or CR; a field in double quotes may hold commas,
// line ends and doubled quotes. Blank lines give no record. A UTF-8 byte-order mark is skipped.
std::vector<TCsvRecord> ParseCsv(const std::string& text);

enum class TImportOutcome { Taken, Updated, Refused };

struct TImportRow {
    int Line = 0;
    TImportOutcome Outcome = TImportOutcome::Refused;
    std::string Label;
    std::string Reason; // why it was refused
};

struct TImportResult {
    std::string Problem; // non-empty when the table as a whole cannot be read (its header)
    std::vector<TImportRow> Rows;
    int Count(TImportOutcome outcome) const;
};

// Merges the table into `records`. The header line names the columns "label", "address", "port",
// "login" and "password" in any order and case (label and address are required; others are
// ignored). A row whose label is already listed replaces that entry in its place; a new label is
// appended. Blanks around a field are dropped. A row with an empty label, an address that fails
// IsValidIpAddress or a port outside 1..65535 is refused and changes nothing. An empty port is
// 8080, an empty login "root" and an empty password "kvtp", the detector's factory login. Taken and
// updated entries get `now`.
TImportResult ImportHostsCsv(const std::string& csv, std::vector<THostRec>& records,
                             std::time_t now);
