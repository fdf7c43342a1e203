#pragma once
// The report of a fleet run: aligned columns for people, a JSON array for scripts. Both list the
// detectors in address-book order.

#include "addressbook/HostRecords.h"
#include "fleet/FleetResult.h"
#include "platform/JsonWriter.h"

#include <string>
#include <vector>

// A header line, then one line per detector: label, address:port, "ok" or "failed", then the
// values of `keys` (a failed row shows its error there instead), in AlignColumns' layout.
std::string FleetTable(const std::vector<THostRec>& hosts, const std::vector<TFleetResult>& results,
                       const std::vector<std::string>& keys);
// [{"label":..,"address":..,"port":..,"ok":..,"error":.. when not ok, the command's keys}, ...]
// with one object per line, through the system's JSON writer.
std::string FleetJson(const std::vector<THostRec>& hosts, const std::vector<TFleetResult>& results);
// Rows of cells as lines: cells two blanks apart, each column padded to its widest cell counted
// in characters of UTF-8 text. A row's last cell is not padded and does not widen its column, so
// a long error text at the end of a row leaves the columns above it as they are.
std::string AlignColumns(const std::vector<std::vector<std::string>>& rows);
// Characters of a UTF-8 text (bytes that are not UTF-8 count one each).
size_t TextWidth(const std::string& bytes);
