// Traffic data records arrive as whatever bytes the detector sends, in a record size it
// announces. The table must hold one line per whole record, each the line of that record alone,
// and refuse the rest without touching what it was given.
#include "data/velt_data.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Commas of a line: 23 columns, and 38 more in the 288-byte layout.
size_t CommasOf(int recordSize) {
    return recordSize == RecordSize288 ? 60 : 22;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte picks the size (a quarter of the inputs an unknown one), the second the
    // zone's offset, from UTC-12 to UTC+14 in quarter hours.
    static constexpr int sizes[] = {RecordSize136, RecordSize144, RecordSize288, 140};
    const int recordSize = sizes[data[0] % 4];
    const int bias = (data[1] % 105 - 56) * 15;
    const std::uint8_t* records = data + 2;
    const size_t bytes = size - 2;

    const std::string before = "kept\r\n";
    std::string out = before;
    const bool whole = IsKnownRecordSize(recordSize) && bytes % recordSize == 0;
    if (RecordsToText(records, bytes, recordSize, bias, out) != whole)
        std::abort();
    if (!whole) {
        if (out != before)
            std::abort();
        return 0;
    }
    size_t at = before.size();
    for (size_t i = 0; i < bytes / recordSize; ++i) {
        const size_t end = out.find("\r\n", at);
        if (end == std::string::npos)
            std::abort();
        const std::string line = out.substr(at, end - at);
        if (line != RecordToText(records + i * recordSize, recordSize, VehicleClassCount, bias))
            std::abort();
        size_t commas = 0;
        for (const char c : line) {
            if (c == '\r' || c == '\n')
                std::abort();
            commas += c == ',';
        }
        if (commas != CommasOf(recordSize))
            std::abort();
        at = end + 2;
    }
    if (at != out.size())
        std::abort();
    return 0;
}
