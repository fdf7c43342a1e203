#pragma once
// Traffic data records as the detector buffers them, and their text table: one line per record,
// columns separated by "," with no blanks, every line ended by CR LF. Three binary layouts exist,
// told apart only by the record size the detector announces. Toolkit-free and free of shared
// state, so several downloads may convert at once.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int RecordSize136 = 136;
constexpr int RecordSize144 = 144;
constexpr int RecordSize288 = 288;
// The records hold exactly as many per-class fields as the detector has vehicle classes.
constexpr int VehicleClassCount = 6;

bool IsKnownRecordSize(int size);

// The local zone's standard offset in minutes as UTC = local + bias, from the zone's rules of
// today; daylight saving is never applied to records, whatever their date.
int StandardBiasMinutes();

// "yyyy-mm-dd hh:mm:ss" in local standard time, or the date alone at exactly 00:00:00.
std::string UnixTimeToText(std::uint32_t seconds);
std::string UnixTimeToText(std::uint32_t seconds, int biasMinutes);

// One record (at least its size in bytes, no alignment needed) as one line without its line
// end. `classCount` is the number of per-class columns written, at most the six the layout holds.
std::string RecordToText136(const std::uint8_t* record, int classCount);
std::string RecordToText144(const std::uint8_t* record, int classCount);
std::string RecordToText288(const std::uint8_t* record, int classCount);
std::string RecordToText(const std::uint8_t* record, int recordSize, int classCount,
                         int biasMinutes);

// The whole table of `size` bytes of records, appended to `out`. False, with `out` untouched,
// when the record size is unknown or `size` is not a whole number of records.
bool RecordsToText(const std::uint8_t* data, std::size_t size, int recordSize, int biasMinutes,
                   std::string& out);
