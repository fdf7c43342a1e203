#include "data/velt_data.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

// Where the fields of the first 23 columns lie; the 288-byte record shares the 136-byte places.
struct TLayout {
    std::size_t Time;
    std::size_t Int3;
    std::size_t Int4;
    std::size_t Classes; // 6 x int32, columns 8-13
    std::size_t Int22;
    std::size_t Int23;
    std::size_t Double6; // column 6 comes before column 5 in the record
    std::size_t Double5;
    std::size_t ClassDoubles; // 6 x float64, columns 14-19
    std::size_t Double7;
    std::size_t Double20;
    std::size_t Double21;
};

constexpr TLayout Layout136{4, 8, 12, 16, 40, 44, 48, 56, 64, 112, 120, 128};
// One more word after the first field, and the doubles aligned to 8 bytes.
constexpr TLayout Layout144{8, 12, 16, 20, 44, 48, 56, 64, 72, 120, 128, 136};
constexpr std::size_t TailFirst = 136;
constexpr std::size_t TailSecond = 212;
constexpr int TailCount = 19;

// Longest line: 61 columns of at most 20 characters and their commas.
constexpr std::size_t LineCapacity = 1536;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadU32(p));
}

// A float64 field as its bits.
std::uint64_t ReadF64(const std::uint8_t* p) {
    return ReadU32(p) | static_cast<std::uint64_t>(ReadU32(p + 4)) << 32;
}

// The text of every number below 1000 with its length in the fourth byte, so that writing one
// is a single four-byte copy: counts, speeds and lengths are nearly all this small.
struct TSmallNumber {
    char Text[3];
    std::uint8_t Length;
};
constexpr std::uint32_t SmallNumbers = 1000;
constexpr std::array<TSmallNumber, SmallNumbers> SmallNumberTexts = [] {
    std::array<TSmallNumber, SmallNumbers> texts{};
    for (std::uint32_t v = 0; v < SmallNumbers; ++v) {
        TSmallNumber& t = texts[v];
        t.Length = static_cast<std::uint8_t>(1 + (v >= 10) + (v >= 100));
        for (std::uint32_t rest = v, i = t.Length; i-- > 0; rest /= 10)
            t.Text[i] = static_cast<char>('0' + rest % 10);
    }
    return texts;
}();

// Room past a line's last character that the writers below may scribble on: a small number
// copies its length byte along, and what follows the number overwrites it.
constexpr std::size_t WriteSlack = sizeof(TSmallNumber);

char* PutSmall(char* p, std::uint32_t v) {
    const TSmallNumber& t = SmallNumberTexts[v];
    std::memcpy(p, &t, sizeof t);
    return p + t.Length;
}

char* PutAnyInt(char* p, long long v) {
    std::uint64_t magnitude = static_cast<std::uint64_t>(v);
    if (v < 0) {
        *p++ = '-';
        magnitude = 0 - magnitude;
    }
    if (magnitude < SmallNumbers)
        return PutSmall(p, static_cast<std::uint32_t>(magnitude));
    return std::to_chars(p, p + 20, magnitude).ptr;
}

char* PutInt(char* p, long long v) {
    if (v >= 0 && v < SmallNumbers)
        return PutSmall(p, static_cast<std::uint32_t>(v));
    return PutAnyInt(p, v);
}

char* PutTwo(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

// Nearest integer, halves to the even neighbour. A value that is not finite or does not fit a
// 64-bit integer has no integer to write: its field stays empty rather than holding whatever an
// out-of-range conversion would give.
char* PutRoundedAnyValue(char* p, double v) {
    if (!std::isfinite(v))
        return p;
    const double below = std::floor(v);
    if (!(below >= -9223372036854775808.0 && below < 9223372036854775808.0))
        return p;
    long long n = static_cast<long long>(below);
    // Exact: the fraction's bits are those of v. A value with a fraction is below 2^52, so the
    // step up cannot overflow.
    const double fraction = v - below;
    if (fraction > 0.5 || (fraction == 0.5 && (n & 1) != 0))
        ++n;
    return PutInt(p, n);
}

// The same for what detectors measure, speeds and lengths from 0 to a few hundred, worked out on
// the value's bits: a chain of integer steps is far shorter than the conversions to an integer
// and back, and their fractions fall either side of a half at random, so the step up is added
// rather than branched on. Positive doubles order as their bits do; a negative value, a NaN or
// anything from 999 up takes the general way.
char* PutRounded(char* p, std::uint64_t bits) {
    constexpr std::uint64_t FastLimit = std::bit_cast<std::uint64_t>(SmallNumbers - 1.0);
    if (bits >= FastLimit)
        return PutRoundedAnyValue(p, std::bit_cast<double>(bits));
    constexpr int MantissaBits = 52;
    // The value is mantissa / 2^shift. Below 1 the shift passes 52 and the whole mantissa is
    // fraction; a shift of 63 already leaves a value under 2^-10, well short of a half, as are
    // zero and the subnormals read as if they had the leading bit.
    const int exponent = static_cast<int>(bits >> MantissaBits);
    const int shift = std::min(1075 - exponent, 63);
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << MantissaBits) - 1)) | std::uint64_t{1} << MantissaBits;
    std::uint64_t n = mantissa >> shift;
    const std::uint64_t fraction = mantissa & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    n += static_cast<std::uint64_t>((fraction > half) | ((fraction == half) & ((n & 1) != 0)));
    return PutSmall(p, static_cast<std::uint32_t>(n));
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the C library's
// time-zone state, so conversions run side by side on several threads.
void CivilFromDays(long long z, long long& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

// "00" to "99", for the clock's fields.
constexpr std::array<std::array<char, 2>, 100> TwoDigits = [] {
    std::array<std::array<char, 2>, 100> texts{};
    for (std::size_t v = 0; v < texts.size(); ++v)
        texts[v] = {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    return texts;
}();

char* PutClockField(char* p, long long v) {
    std::memcpy(p, TwoDigits[static_cast<std::size_t>(v)].data(), 2);
    return p + 2;
}

// The time and the day last written. Records of a buffer step by minutes, and the detector's
// sensors share each step's time: nearly every record repeats the time or at least the day of
// the one before, and skips the calendar arithmetic. One per conversion, so conversions share no
// state.
struct TTimeCache {
    long long Day = std::numeric_limits<long long>::min();
    char Date[10];
    long long Local = std::numeric_limits<long long>::min();
    std::size_t Length = 0;
    char Text[19];
};

char* PutTime(char* p, std::uint32_t seconds, int biasMinutes, TTimeCache& last) {
    const long long local = static_cast<long long>(seconds) - biasMinutes * 60LL;
    if (local == last.Local)
        return std::copy(last.Text, last.Text + last.Length, p);
    long long days = local / 86400;
    long long second = local % 86400;
    if (second < 0) {
        second += 86400;
        --days;
    }
    if (days != last.Day) {
        long long year;
        int month, day;
        CivilFromDays(days, year, month, day);
        char* d = PutTwo(last.Date, static_cast<int>(year / 100 % 100));
        d = PutTwo(d, static_cast<int>(year % 100));
        *d++ = '-';
        d = PutTwo(d, month);
        *d++ = '-';
        PutTwo(d, day);
        last.Day = days;
    }
    char* t = std::copy(last.Date, last.Date + sizeof last.Date, last.Text);
    if (second != 0) { // midnight is written as the date alone
        *t++ = ' ';
        t = PutClockField(t, second / 3600);
        *t++ = ':';
        t = PutClockField(t, second / 60 % 60);
        *t++ = ':';
        t = PutClockField(t, second % 60);
    }
    last.Local = local;
    last.Length = static_cast<std::size_t>(t - last.Text);
    return std::copy(last.Text, t, p);
}

char* PutLine(char* p, const std::uint8_t* r, const TLayout& at, bool tail, int classCount,
              int biasMinutes, TTimeCache& time) {
    const int classes = std::clamp(classCount, 0, VehicleClassCount);
    p = PutInt(p, ReadI32(r));
    *p++ = ',';
    p = PutTime(p, ReadU32(r + at.Time), biasMinutes, time);
    *p++ = ',';
    p = PutInt(p, ReadI32(r + at.Int3));
    *p++ = ',';
    p = PutInt(p, ReadI32(r + at.Int4));
    *p++ = ',';
    for (const std::size_t field : {at.Double5, at.Double6, at.Double7}) {
        p = PutRounded(p, ReadF64(r + field));
        *p++ = ',';
    }
    for (int k = 0; k < classes; ++k) {
        p = PutInt(p, ReadI32(r + at.Classes + 4 * static_cast<std::size_t>(k)));
        *p++ = ',';
    }
    for (int k = 0; k < classes; ++k) {
        p = PutRounded(p, ReadF64(r + at.ClassDoubles + 8 * static_cast<std::size_t>(k)));
        *p++ = ',';
    }
    p = PutRounded(p, ReadF64(r + at.Double20));
    *p++ = ',';
    p = PutRounded(p, ReadF64(r + at.Double21));
    *p++ = ',';
    p = PutInt(p, ReadI32(r + at.Int22));
    *p++ = ',';
    p = PutInt(p, ReadI32(r + at.Int23));
    if (!tail)
        return p;
    for (const std::size_t start : {TailFirst, TailSecond}) {
        for (int k = 0; k < TailCount; ++k) {
            *p++ = ',';
            p = PutInt(p, ReadI32(r + start + 4 * static_cast<std::size_t>(k)));
        }
    }
    return p;
}

char* PutRecord(char* p, const std::uint8_t* record, int recordSize, int classCount,
                int biasMinutes, TTimeCache& time) {
    const bool is144 = recordSize == RecordSize144;
    return PutLine(p, record, is144 ? Layout144 : Layout136, recordSize == RecordSize288,
                   classCount, biasMinutes, time);
}

} // namespace

bool IsKnownRecordSize(int size) {
    return size == RecordSize136 || size == RecordSize144 || size == RecordSize288;
}

int StandardBiasMinutes() {
    ::tzset();
    const std::time_t now = std::time(nullptr);
    // A moment of standard time lies within three quarters of a year back, in either hemisphere.
    for (int quarter = 0; quarter < 4; ++quarter) {
        const std::time_t t = now - static_cast<std::time_t>(quarter) * 91 * 86400;
        std::tm local{};
        if (::localtime_r(&t, &local) && local.tm_isdst == 0)
            return static_cast<int>(-local.tm_gmtoff / 60);
    }
    return static_cast<int>(::timezone / 60); // a zone that never leaves daylight saving
}

std::string UnixTimeToText(std::uint32_t seconds, int biasMinutes) {
    char text[32];
    TTimeCache time;
    return {text, PutTime(text, seconds, biasMinutes, time)};
}

std::string UnixTimeToText(std::uint32_t seconds) {
    return UnixTimeToText(seconds, StandardBiasMinutes());
}

std::string RecordToText(const std::uint8_t* record, int recordSize, int classCount,
                         int biasMinutes) {
    if (!IsKnownRecordSize(recordSize))
        return {};
    char line[LineCapacity + WriteSlack];
    TTimeCache time;
    return {line, PutRecord(line, record, recordSize, classCount, biasMinutes, time)};
}

std::string RecordToText136(const std::uint8_t* record, int classCount) {
    return RecordToText(record, RecordSize136, classCount, StandardBiasMinutes());
}

std::string RecordToText144(const std::uint8_t* record, int classCount) {
    return RecordToText(record, RecordSize144, classCount, StandardBiasMinutes());
}

std::string RecordToText288(const std::uint8_t* record, int classCount) {
    return RecordToText(record, RecordSize288, classCount, StandardBiasMinutes());
}

bool RecordsToText(const std::uint8_t* data, std::size_t size, int recordSize, int biasMinutes,
                   std::string& out) {
    if (!IsKnownRecordSize(recordSize) || size % static_cast<std::size_t>(recordSize) != 0)
        return false;
    const std::size_t count = size / static_cast<std::size_t>(recordSize);
    // A line of 136 bytes is about 130 characters; reserve once instead of growing 20 times.
    out.reserve(out.size() + count * (recordSize == RecordSize288 ? 260 : 140));
    // Lines gather in a block that stays in the cache and go to the table a block at a time.
    char block[16384];
    constexpr std::size_t LastLineStart = sizeof block - (LineCapacity + 2 + WriteSlack);
    char* end = block;
    TTimeCache time;
    for (std::size_t i = 0; i < count; ++i) {
        end = PutRecord(end, data + i * static_cast<std::size_t>(recordSize), recordSize,
                        VehicleClassCount, biasMinutes, time);
        *end++ = '\r';
        *end++ = '\n';
        if (static_cast<std::size_t>(end - block) > LastLineStart) {
            out.append(block, end);
            end = block;
        }
    }
    out.append(block, end);
    return true;
}
