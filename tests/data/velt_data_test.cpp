// The three record layouts and their text lines. Records are built byte by byte here, from the
// offsets of the layouts, so a wrong offset in the converter cannot hide behind a shared struct.
#include "data/velt_data.h"

#include "bench/data/csv_baseline.h"
#include "tz_guard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace {

class RecordBytes {
public:
    explicit RecordBytes(std::size_t size) : Bytes(size, 0) {}
    RecordBytes& U32(std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i)
            Bytes.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
        return *this;
    }
    RecordBytes& I32(std::size_t at, std::int32_t v) {
        return U32(at, static_cast<std::uint32_t>(v));
    }
    RecordBytes& F64(std::size_t at, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (std::size_t i = 0; i < 8; ++i)
            Bytes.at(at + i) = static_cast<std::uint8_t>(bits >> (8 * i));
        return *this;
    }
    const std::uint8_t* Data() const { return Bytes.data(); }
    std::vector<std::uint8_t> Bytes;
};

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string item;
    while (std::getline(s, item, ','))
        out.push_back(item);
    if (!line.empty() && line.back() == ',')
        out.push_back({});
    return out;
}

// Offsets of the int32 and float64 fields of columns 1-23 (the time column 2 aside), per layout.
struct Place {
    int Column;
    std::size_t At136;
    std::size_t At144;
    bool IsDouble;
};
const std::vector<Place> Places = {
    {1, 0, 0, false},    {3, 8, 12, false},    {4, 12, 16, false},   {5, 56, 64, true},
    {6, 48, 56, true},   {7, 112, 120, true},  {8, 16, 20, false},   {9, 20, 24, false},
    {10, 24, 28, false}, {11, 28, 32, false},  {12, 32, 36, false},  {13, 36, 40, false},
    {14, 64, 72, true},  {15, 72, 80, true},   {16, 80, 88, true},   {17, 88, 96, true},
    {18, 96, 104, true}, {19, 104, 112, true}, {20, 120, 128, true}, {21, 128, 136, true},
    {22, 40, 44, false}, {23, 44, 48, false},
};

// Every field holds its own column number, so any misplaced field shows in the text.
RecordBytes NumberedRecord(int size) {
    RecordBytes r(static_cast<std::size_t>(size));
    for (const Place& p : Places) {
        const std::size_t at = size == 144 ? p.At144 : p.At136;
        if (p.IsDouble)
            r.F64(at, p.Column);
        else
            r.I32(at, p.Column);
    }
    r.U32(size == 144 ? 8 : 4, 86400 + 3600 + 120 + 3);
    if (size == 288) {
        for (std::size_t k = 0; k < 19; ++k) {
            r.I32(136 + 4 * k, static_cast<std::int32_t>(24 + k));
            r.I32(212 + 4 * k, static_cast<std::int32_t>(43 + k));
        }
    }
    return r;
}

std::string NumberedLine(int columns) {
    std::string line = "1,1970-01-02 01:02:03";
    for (int c = 3; c <= columns; ++c)
        line += "," + std::to_string(c);
    return line;
}

TEST(RecordText, EveryColumnComesFromItsPlace) {
    for (const int size : {136, 144, 288}) {
        SCOPED_TRACE(size);
        const RecordBytes r = NumberedRecord(size);
        EXPECT_EQ(RecordToText(r.Data(), size, 6, 0), NumberedLine(size == 288 ? 61 : 23));
    }
}

TEST(RecordText, AllOnesAndHalvesGoToTheEvenNeighbour) {
    for (const int size : {136, 144}) {
        SCOPED_TRACE(size);
        RecordBytes r(static_cast<std::size_t>(size));
        for (const Place& p : Places) {
            const std::size_t at = size == 144 ? p.At144 : p.At136;
            if (p.IsDouble)
                r.F64(at, 2.5);
            else
                r.I32(at, 1);
        }
        EXPECT_EQ(RecordToText(r.Data(), size, 6, 0),
                  "1,1970-01-01,1,1,2,2,2,1,1,1,1,1,1,2,2,2,2,2,2,2,2,1,1");
    }
}

TEST(RecordText, RoundsToNearestAndLeavesUnwritableValuesEmpty) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double Value;
        const char* Text;
    } rows[] = {
        {-0.5, "0"},
        {0.5, "0"},
        {-0.0, "0"},
        {5e-324, "0"},
        {0.49999999999999994, "0"},
        {0.5000000000000001, "1"},
        {0.75, "1"},
        {123.456, "123"},
        {998.5, "998"},
        {998.9999999999999, "999"},
        {999.0, "999"}, // the small values' quick way ends here
        {999.5, "1000"},
        {1000.5, "1000"},
        {1023.5, "1024"},
        {1.5, "2"},
        {3.5, "4"},
        {-1.5, "-2"},
        {-2.5, "-2"},
        {2.4999999, "2"},
        {-2.5000001, "-3"},
        {4503599627370495.5, "4503599627370496"}, // the last doubles with a half
        {9007199254740993.0, "9007199254740992"},
        {-9223372036854775808.0, "-9223372036854775808"},
        {9223372036854775808.0, ""}, // one past the 64-bit range
        {-1e300, ""},
        {inf, ""},
        {-inf, ""},
        {std::nan(""), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Value);
        RecordBytes r(136);
        r.F64(56, row.Value); // column 5
        const std::vector<std::string> c = Columns(RecordToText(r.Data(), 136, 6, 0));
        ASSERT_EQ(c.size(), 23u);
        EXPECT_EQ(c[4], row.Text);
    }
}

TEST(RecordText, NegativeAndExtremeIntegers) {
    RecordBytes r(136);
    r.I32(0, -7).I32(8, std::numeric_limits<std::int32_t>::min()).I32(44, 2147483647);
    const std::vector<std::string> c = Columns(RecordToText(r.Data(), 136, 6, 0));
    EXPECT_EQ(c[0], "-7");
    EXPECT_EQ(c[2], "-2147483648");
    EXPECT_EQ(c[22], "2147483647");
}

TEST(RecordText, HiddenBytesOf144NeverReachTheText) {
    RecordBytes plain = NumberedRecord(144);
    RecordBytes loud = plain;
    loud.U32(4, 0xA5A5A5A5u).U32(52, 0xFFFFFFFFu);
    EXPECT_EQ(RecordToText(plain.Data(), 144, 6, 0), RecordToText(loud.Data(), 144, 6, 0));
}

TEST(RecordText, Record288BeginsAsThe136ByteRecord) {
    const RecordBytes r = NumberedRecord(288);
    const std::string whole = RecordToText(r.Data(), 288, 6, 0);
    const std::string first = RecordToText(r.Data(), 136, 6, 0);
    EXPECT_EQ(Columns(whole).size(), 61u);
    EXPECT_EQ(whole.substr(0, first.size() + 1), first + ",");
}

TEST(RecordText, ReadsRecordsAtAnyAlignment) {
    const RecordBytes r = NumberedRecord(288);
    std::vector<std::uint8_t> shifted(r.Bytes.size() + 3);
    std::memcpy(shifted.data() + 3, r.Data(), r.Bytes.size());
    EXPECT_EQ(RecordToText(shifted.data() + 3, 288, 6, 0), NumberedLine(61));
}

// Every field at one end of its range, so each column is as long as it gets: the longest lines
// the converter can be asked for, in every layout.
TEST(RecordText, EveryFieldAtItsExtreme) {
    const double lowest = -9223372036854775808.0;
    const double highest = 9223372036854774784.0; // the last double below 2^63
    const struct {
        std::int32_t Int;
        double Double;
        std::uint32_t Time;
        const char* IntText;
        const char* DoubleText;
        const char* TimeText;
    } rows[] = {
        {std::numeric_limits<std::int32_t>::min(), lowest, 4294967295u, "-2147483648",
         "-9223372036854775808", "2106-02-07 06:28:15"},
        {std::numeric_limits<std::int32_t>::max(), highest, 4294967295u, "2147483647",
         "9223372036854774784", "2106-02-07 06:28:15"},
        {-1, -4503599627370495.5, 86399, "-1", "-4503599627370496", "1970-01-01 23:59:59"},
        {0, -0.0, 0, "0", "0", "1970-01-01"},
    };
    for (const auto& row : rows) {
        for (const int size : {136, 144, 288}) {
            SCOPED_TRACE(std::string(row.IntText) + " in " + std::to_string(size));
            RecordBytes r(static_cast<std::size_t>(size));
            for (const Place& p : Places) {
                const std::size_t at = size == 144 ? p.At144 : p.At136;
                if (p.IsDouble)
                    r.F64(at, row.Double);
                else
                    r.I32(at, row.Int);
            }
            r.U32(size == 144 ? 8 : 4, row.Time);
            for (std::size_t at = 136; size == 288 && at < 288; at += 4)
                r.I32(at, row.Int);
            std::string expected;
            for (int c = 1; c <= (size == 288 ? 61 : 23); ++c) {
                const bool isDouble = (c >= 5 && c <= 7) || (c >= 14 && c <= 21);
                expected += c == 1 ? "" : ",";
                expected += c == 2 ? row.TimeText : isDouble ? row.DoubleText : row.IntText;
            }
            EXPECT_EQ(RecordToText(r.Data(), size, 6, 0), expected);
            std::string table;
            ASSERT_TRUE(RecordsToText(r.Data(), r.Bytes.size(), size, 0, table));
            EXPECT_EQ(table, expected + "\r\n");
        }
    }
}

// Fills a record slot by slot with what detectors and damaged transfers put there: small counts,
// negative numbers, the ends of each range, halves, values past 2^52 and 2^63, infinities, NaNs
// and plain random bits.
void FillRandomRecord(std::mt19937_64& random, std::uint8_t* record, std::size_t size) {
    static const std::int32_t ints[] = {
        0, 1, -1, 9, 10, 99, 100, 999, 1000, 99999, 100000, -100000, 2147483647, -2147483647 - 1};
    static const double doubles[] = {0.0,
                                     -0.0,
                                     0.5,
                                     -0.5,
                                     1.5,
                                     2.5,
                                     -2.5,
                                     99.5,
                                     0.49999999999999994,
                                     4503599627370495.5,
                                     -4503599627370495.5,
                                     4503599627370496.0,
                                     9007199254740993.0,
                                     9223372036854774784.0,
                                     -9223372036854775808.0,
                                     9223372036854775808.0,
                                     1e300,
                                     5e-324,
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::nan("")};
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const std::uint64_t pick = random();
        std::uint64_t bits = random();
        double v = 0;
        switch (pick % 6) {
        case 0: // a double as a detector measures it
            v = static_cast<double>(random() % 20000) / 8.0 - 500.0;
            std::memcpy(&bits, &v, sizeof bits);
            break;
        case 1:
            v = doubles[(pick >> 8) % std::size(doubles)];
            std::memcpy(&bits, &v, sizeof bits);
            break;
        case 2: // two small counts
            bits = (random() % 200) | (random() % 5000) << 32;
            break;
        case 3:
            bits = static_cast<std::uint32_t>(ints[(pick >> 8) % std::size(ints)]) |
                   static_cast<std::uint64_t>(
                       static_cast<std::uint32_t>(ints[(pick >> 16) % std::size(ints)]))
                       << 32;
            break;
        default: // plain random bits
            break;
        }
        for (std::size_t i = 0; i < 8; ++i)
            record[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

// The tuned converter writes exactly what it wrote before it was tuned, on records of every size
// with every kind of value, across the converter's internal buffers and with text already in the
// table.
TEST(RecordTable, SameTextAsBeforeTuningOnRandomRecords) {
    std::mt19937_64 random(20240229);
    for (const int size : {136, 144, 288}) {
        for (const int bias : {0, -60, 300, -330, -1440, 1440}) {
            SCOPED_TRACE(std::to_string(size) + " bias " + std::to_string(bias));
            std::vector<std::uint8_t> data(static_cast<std::size_t>(size) * 1500);
            for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(size)) {
                FillRandomRecord(random, data.data() + at, static_cast<std::size_t>(size));
                // Times near the ends of the range, near midnight and in runs of the same day.
                const std::uint32_t times[] = {
                    0u, 4294967295u, static_cast<std::uint32_t>(86400 * (1 + random() % 5)),
                    1700000000u + static_cast<std::uint32_t>(at),
                    static_cast<std::uint32_t>(random())};
                const std::uint32_t t = times[random() % std::size(times)];
                for (std::size_t i = 0; i < 4; ++i)
                    data[at + (size == 144 ? 8 : 4) + i] = static_cast<std::uint8_t>(t >> (8 * i));
            }
            std::string tuned = "kept";
            std::string before = "kept";
            ASSERT_TRUE(RecordsToText(data.data(), data.size(), size, bias, tuned));
            ASSERT_TRUE(csv_baseline::RecordsToText(data.data(), data.size(), size, bias, before));
            ASSERT_EQ(tuned.size(), before.size());
            EXPECT_TRUE(tuned == before);
            std::string lines = "kept";
            for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(size))
                lines += RecordToText(data.data() + at, size, 6, bias) + "\r\n";
            EXPECT_TRUE(lines == before);
        }
    }
}

TEST(TimeText, DateAloneAtMidnightAndBiasApplied) {
    const struct {
        std::uint32_t Seconds;
        int Bias;
        const char* Text;
    } rows[] = {
        {0, 0, "1970-01-01"},
        {86399, 0, "1970-01-01 23:59:59"},
        {1, 0, "1970-01-01 00:00:01"},
        {0, 300, "1969-12-31 19:00:00"}, // west of UTC: before the epoch
        {0, -180, "1970-01-01 03:00:00"},
        {951782400, 0, "2000-02-29"},
        {1709251199, 0, "2024-02-29 23:59:59"},
        {1709251140, -1, "2024-03-01"},
        {4294967295u, 0, "2106-02-07 06:28:15"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(UnixTimeToText(row.Seconds, row.Bias), row.Text)
            << row.Seconds << " " << row.Bias;
}

TEST(TimeText, LocalStandardTimeWhateverTheDate) {
    const struct {
        const char* Zone;
        int Bias;
        const char* Summer; // 2021-07-01 12:00:00 UTC
        const char* Winter; // 2000-02-29 00:00:00 UTC
    } rows[] = {
        {"UTC0", 0, "2021-07-01 12:00:00", "2000-02-29"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, "2021-07-01 13:00:00", "2000-02-29 01:00:00"},
        {"EST5EDT,M3.2.0,M11.1.0", 300, "2021-07-01 07:00:00", "2000-02-28 19:00:00"},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", -600, "2021-07-01 22:00:00", "2000-02-29 10:00:00"},
        {"IST-5:30", -330, "2021-07-01 17:30:00", "2000-02-29 05:30:00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Zone);
        TzGuard zone(row.Zone);
        EXPECT_EQ(StandardBiasMinutes(), row.Bias);
        EXPECT_EQ(UnixTimeToText(1625140800), row.Summer);
        RecordBytes r(144);
        r.U32(8, 951782400);
        EXPECT_EQ(Columns(RecordToText144(r.Data(), 6))[1], row.Winter);
    }
}

TEST(RecordTable, WholeRecordsOnlyEachLineEndedByCrLf) {
    std::vector<std::uint8_t> two;
    for (int i = 0; i < 2; ++i) {
        const RecordBytes r = NumberedRecord(144);
        two.insert(two.end(), r.Bytes.begin(), r.Bytes.end());
    }
    std::string out = "kept";
    ASSERT_TRUE(RecordsToText(two.data(), two.size(), 144, 0, out));
    const std::string line = NumberedLine(23) + "\r\n";
    EXPECT_EQ(out, "kept" + line + line);

    std::string untouched = "kept";
    EXPECT_FALSE(RecordsToText(two.data(), two.size() - 1, 144, 0, untouched));
    EXPECT_FALSE(
        RecordsToText(two.data(), two.size(), 136, 0, untouched)); // 288 bytes: not whole 136s
    EXPECT_FALSE(RecordsToText(two.data(), 200, 200, 0, untouched));
    EXPECT_EQ(untouched, "kept");
    std::string empty;
    EXPECT_TRUE(RecordsToText(nullptr, 0, 288, 0, empty));
    EXPECT_EQ(empty, "");
}

} // namespace
