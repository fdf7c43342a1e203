#include "platform/JsonWriter.h"

#include "platform/TextHelpers.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Hex4(unsigned code) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out = "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += Digits[(code >> shift) & 0xF];
    return out;
}

template <typename T> std::string CharsOf(T value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("null");
}

} // namespace

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t p = 0; p < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[p]);
        const size_t n = Utf8SequenceLength(bytes, p);
        if (n == 0) {
            out += Hex4(0xFFFD);
            ++p;
            continue;
        }
        if (n > 1) {
            const std::string_view sequence = bytes.substr(p, n);
            if (sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9")
                out += Hex4(sequence.back() == '\xA8' ? 0x2028 : 0x2029);
            else
                out += sequence;
            p += n;
            continue;
        }
        ++p;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                out += Hex4(c);
            else
                out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonNumber(long long value) {
    return CharsOf(value);
}

std::string JsonNumber(unsigned long long value) {
    return CharsOf(value);
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    return CharsOf(value);
}

std::string IsoLocalTime(std::time_t t) {
    std::tm parts{};
    if (!localtime_r(&t, &parts))
        return {};
    const long offset = parts.tm_gmtoff;
    const bool utc = offset % 60 != 0;
    if (utc && !gmtime_r(&t, &parts))
        return {};
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", parts.tm_year + 1900,
                      parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    std::string out(text, static_cast<size_t>(length));
    if (utc)
        return out + "Z";
    const long minutes = std::labs(offset) / 60;
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return out + text;
}

void TJsonWriter::NextMember() {
    if (Levels.empty())
        return;
    TLevel& level = Levels.back();
    if (level.Members > 0)
        Out += ',';
    if (Levels.size() == 1)
        Out += "\n ";
    else if (level.Members > 0)
        Out += ' ';
    ++level.Members;
}

void TJsonWriter::BeforeValue() {
    assert(!Done && (Levels.empty() || Levels.back().Object == AfterKey));
    if (!AfterKey)
        NextMember();
    AfterKey = false;
}

void TJsonWriter::EndIfOutermost() {
    if (!Levels.empty())
        return;
    Out += '\n';
    Done = true;
}

TJsonWriter& TJsonWriter::Raw(const std::string& value) {
    BeforeValue();
    Out += value;
    EndIfOutermost();
    return *this;
}

TJsonWriter& TJsonWriter::Open(char bracket, bool object) {
    BeforeValue();
    Out += bracket;
    Levels.push_back({object, 0});
    return *this;
}

TJsonWriter& TJsonWriter::Close(char bracket) {
    assert(!Levels.empty() && !AfterKey);
    if (Levels.size() == 1 && Levels.back().Members > 0)
        Out += '\n';
    Levels.pop_back();
    Out += bracket;
    EndIfOutermost();
    return *this;
}

TJsonWriter& TJsonWriter::BeginObject() {
    return Open('{', true);
}

TJsonWriter& TJsonWriter::EndObject() {
    return Close('}');
}

TJsonWriter& TJsonWriter::BeginArray() {
    return Open('[', false);
}

TJsonWriter& TJsonWriter::EndArray() {
    return Close(']');
}

TJsonWriter& TJsonWriter::Key(std::string_view key) {
    assert(!Levels.empty() && Levels.back().Object && !AfterKey);
    NextMember();
    Out += JsonString(key) + ": ";
    AfterKey = true;
    return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view bytes) {
    return Raw(JsonString(bytes));
}

TJsonWriter& TJsonWriter::Number(double value) {
    return Raw(JsonNumber(value));
}

TJsonWriter& TJsonWriter::Bool(bool value) {
    return Raw(value ? "true" : "false");
}

TJsonWriter& TJsonWriter::Null() {
    return Raw("null");
}

TJsonWriter& TJsonWriter::Time(std::time_t t) {
    const std::string text = IsoLocalTime(t);
    return text.empty() ? Null() : String(text);
}
