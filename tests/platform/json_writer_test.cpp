#include "platform/JsonWriter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

namespace {

struct StringRow {
    const char* Name;
    std::string Bytes;
    std::string Json;
};

TEST(JsonWriter, StringsEscapeWhatJsonForbidsAndReplaceBytesThatAreNoUtf8) {
    const StringRow rows[] = {
        {"empty", "", "\"\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"slash stays", "a/b", "\"a/b\""},
        {"short escapes", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"zero byte", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"escape and unit separator", "\x1b\x1f", "\"\\u001b\\u001f\""},
        {"delete", "\x7f", "\"\\u007f\""},
        {"Cyrillic passes", "Север", "\"Север\""},
        {"four-byte sequence passes", "\xF0\x9F\x9A\x97", "\"\xF0\x9F\x9A\x97\""},
        {"line and paragraph separators",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9",
         "\"a\\u2028b\\u2029\""},
        {"Windows-1251 bytes", "\xD1\xE5", "\"\\ufffd\\ufffd\""},
        {"cut-off sequence at the end", "ok\xE2\x82", "\"ok\\ufffd\\ufffd\""},
        {"cut-off sequence before ASCII", "\xE2\x82x", "\"\\ufffd\\ufffdx\""},
        {"stray continuation byte", "\x80", "\"\\ufffd\""},
        {"overlong slash", "\xC0\xAF", "\"\\ufffd\\ufffd\""},
        {"surrogate", "\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"byte 0xFF", "\xFF", "\"\\ufffd\""},
    };
    for (const StringRow& r : rows)
        EXPECT_EQ(JsonString(r.Bytes), r.Json) << r.Name;
}

TEST(JsonWriter, EveryControlCharacterIsEscaped) {
    for (int c = 0; c < 0x20; ++c) {
        const std::string json = JsonString(std::string(1, static_cast<char>(c)));
        ASSERT_GE(json.size(), 4u) << c;
        EXPECT_EQ(json[1], '\\') << c;
        for (char k : json)
            EXPECT_GE(static_cast<unsigned char>(k), 0x20) << c;
    }
}

struct NumberRow {
    const char* Name;
    double Value;
    std::string Json;
};

TEST(JsonWriter, NumbersAreExactAndReadBack) {
    EXPECT_EQ(JsonNumber(0LL), "0");
    EXPECT_EQ(JsonNumber(-1LL), "-1");
    EXPECT_EQ(JsonNumber(LLONG_MAX), "9223372036854775807");
    EXPECT_EQ(JsonNumber(LLONG_MIN), "-9223372036854775808");
    EXPECT_EQ(JsonNumber(ULLONG_MAX), "18446744073709551615");
    const NumberRow rows[] = {
        {"whole", 100.0, "100"},
        {"a tenth", 0.1, "0.1"},
        {"negative", -2.5, "-2.5"},
        {"three decimals", 0.213, "0.213"},
        {"huge", 1e300, "1e+300"},
        {"tiny", -1e-300, "-1e-300"},
        {"smallest subnormal", 5e-324, "5e-324"},
        {"largest double", std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {"not a number", std::nan(""), "null"},
        {"infinity", -std::numeric_limits<double>::infinity(), "null"},
    };
    for (const NumberRow& r : rows) {
        EXPECT_EQ(JsonNumber(r.Value), r.Json) << r.Name;
        if (std::isfinite(r.Value)) {
            EXPECT_EQ(std::strtod(r.Json.c_str(), nullptr), r.Value) << r.Name;
        }
    }
}

// Users run under a Russian locale, whose decimal separator is a comma that JSON cannot hold.
TEST(JsonWriter, NumbersIgnoreTheDecimalComma) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
        GTEST_SKIP() << "ru_RU.UTF-8 is not generated (scripts/install-deps.sh)";
    const std::string half = JsonNumber(0.5);
    const std::string big = JsonNumber(1234567.25);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(half, "0.5");
    EXPECT_EQ(big, "1234567.25");
}

TEST(JsonWriter, DocumentsHaveTheirSeparatorsAndNoTrailingComma) {
    TJsonWriter list;
    list.BeginArray();
    list.BeginObject().Key("label").String("N\"1").Key("port").Number(8080);
    list.Key("corners").BeginArray();
    list.BeginArray().Number(0.1).Number(-2).EndArray();
    list.BeginArray().EndArray();
    list.EndArray();
    list.Key("none").Null().Key("ok").Bool(false).Key("empty").BeginObject().EndObject();
    list.EndObject();
    list.BeginObject().EndObject();
    EXPECT_FALSE(list.Complete());
    list.EndArray();
    EXPECT_TRUE(list.Complete());
    EXPECT_EQ(list.Text(), "[\n"
                           " {\"label\": \"N\\\"1\", \"port\": 8080, \"corners\": [[0.1, -2], []], "
                           "\"none\": null, \"ok\": false, \"empty\": {}},\n"
                           " {}\n"
                           "]\n");

    TJsonWriter object;
    object.BeginObject().Key("ok").Bool(false).Key("e\nrror").String("x").EndObject();
    EXPECT_EQ(object.Text(), "{\n \"ok\": false,\n \"e\\nrror\": \"x\"\n}\n");

    const auto empty = [](bool array) {
        TJsonWriter json;
        array ? json.BeginArray().EndArray() : json.BeginObject().EndObject();
        return json.Text();
    };
    EXPECT_EQ(empty(true), "[]\n");
    EXPECT_EQ(empty(false), "{}\n");
    TJsonWriter scalar;
    scalar.Number(7u);
    EXPECT_EQ(scalar.Text(), "7\n");
    EXPECT_TRUE(scalar.Complete());
}

// A zone given by a POSIX TZ rule, so the test needs no time-zone database.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* tz = std::getenv("TZ"))
            Before = tz, HadZone = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        HadZone ? ::setenv("TZ", Before.c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string Before;
    bool HadZone = false;
};

struct TimeRow {
    const char* Zone;
    std::string Iso;
};

TEST(JsonWriter, TimesCarryTheirOffset) {
    const std::time_t t = 1796845267; // 2026-12-09 19:41:07 UTC
    const TimeRow rows[] = {
        {"MSK-3", "2026-12-09T22:41:07+03:00"},
        {"UTC0", "2026-12-09T19:41:07+00:00"},
        {"NST3:30", "2026-12-09T16:11:07-03:30"},
        {"XYZ-14", "2026-12-10T09:41:07+14:00"},
        // A local mean time has seconds in its offset, which ISO 8601 cannot write.
        {"LMT-2:30:17", "2026-12-09T19:41:07Z"},
    };
    for (const TimeRow& r : rows) {
        ZoneScope zone(r.Zone);
        EXPECT_EQ(IsoLocalTime(t), r.Iso) << r.Zone;
    }
    ZoneScope zone("MSK-3");
    TJsonWriter json;
    json.BeginArray().Time(0).EndArray();
    EXPECT_EQ(json.Text(), "[\n \"1970-01-01T03:00:00+03:00\"\n]\n");
}

} // namespace
