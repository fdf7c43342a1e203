#pragma once
// The one JSON writer of the system: every JSON answer of the command line (the fleet reports
// included) is written through it, so escaping, numbers and times are the same everywhere and a
// document cannot end up with a stray comma. Bytes in, UTF-8 out; nothing here reads the user's
// locale, since scripts parse what it writes whatever the desktop's decimal separator.

#include <concepts>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// A JSON string literal of bytes. Valid UTF-8 passes as it is; quotes, backslashes, every control
// character and DEL are escaped, and so are U+2028 and U+2029 (a script that pastes the text
// into JavaScript would end a line there). Each byte that is not part of valid UTF-8 (a label
// from a Windows-1251 machine, a detector's garbled reply) becomes U+FFFD.
std::string JsonString(std::string_view bytes);

// JSON numbers: integers exactly, other numbers in the shortest form that reads back to the same
// double; a value that is not finite has no JSON number and is written as null.
std::string JsonNumber(long long value);
std::string JsonNumber(unsigned long long value);
std::string JsonNumber(double value);

// "2026-12-09T22:41:07+03:00": `t` in this machine's local time with its offset from UTC. An
// offset that is no whole number of minutes (old local mean times) cannot be written that way:
// the time is given in UTC then ("...Z"). Empty when the time cannot be broken down.
std::string IsoLocalTime(std::time_t t);

// Writes one JSON document value by value. The members of the outermost array or object each
// start a line of their own (indented by one blank), everything deeper stays on its member's
// line, and the document ends with a line break once its outermost value is closed:
//
//   [
//    {"label": "North", "port": 8080, "corners": [[0.1, 0.2], [0.3, 0.4]]},
//    {"label": "South", "port": 8081, "corners": []}
//   ]
//
// In an object each value follows its Key(); the writer puts every separator itself.
class TJsonWriter {
public:
    TJsonWriter& BeginObject();
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray();
    TJsonWriter& EndArray();
    TJsonWriter& Key(std::string_view key);

    TJsonWriter& String(std::string_view bytes);
    TJsonWriter& Number(double value);
    template <std::integral T>
    requires(!std::same_as<T, bool>) TJsonWriter& Number(T value) {
        if constexpr (std::signed_integral<T>)
            return Raw(JsonNumber(static_cast<long long>(value)));
        else
            return Raw(JsonNumber(static_cast<unsigned long long>(value)));
    }
    TJsonWriter& Bool(bool value);
    TJsonWriter& Null();
    // IsoLocalTime of `t`, or null when it has none.
    TJsonWriter& Time(std::time_t t);

    // The document so far; whole once Complete().
    const std::string& Text() const { return Out; }
    bool Complete() const { return Done; }

private:
    struct TLevel {
        bool Object = false;
        int Members = 0;
    };
    // Writes the separator a new member of the innermost container needs.
    void NextMember();
    void BeforeValue();
    void EndIfOutermost();
    TJsonWriter& Raw(const std::string& value);
    TJsonWriter& Open(char bracket, bool object);
    TJsonWriter& Close(char bracket);

    std::string Out;
    std::vector<TLevel> Levels;
    bool AfterKey = false;
    bool Done = false;
};
