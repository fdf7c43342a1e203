#include "fleet/FleetReport.h"

#include <algorithm>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `p`, or 0 when the byte there starts none.
size_t Utf8Length(const std::string& s, size_t p) {
    const auto b = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(p);
    size_t n = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, min = 0x80, code = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, min = 0x800, code = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, min = 0x10000, code = c & 0x07;
    else
        return 0;
    if (p + n > s.size())
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(p + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b(p + i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

std::string ItemText(const TFleetItem& item) {
    switch (item.Kind) {
    case TFleetItem::Number:
        return std::to_string(item.NumberValue);
    case TFleetItem::Flag:
        return item.FlagValue ? "yes" : "no";
    case TFleetItem::Null:
        return "-";
    case TFleetItem::Text:
        break;
    }
    return item.TextValue;
}

std::string ItemJson(const TFleetItem& item) {
    switch (item.Kind) {
    case TFleetItem::Number:
        return std::to_string(item.NumberValue);
    case TFleetItem::Flag:
        return item.FlagValue ? "true" : "false";
    case TFleetItem::Null:
        return "null";
    case TFleetItem::Text:
        break;
    }
    return JsonString(item.TextValue);
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

size_t TextWidth(const std::string& bytes) {
    size_t width = 0;
    for (size_t p = 0; p < bytes.size(); ++width)
        p += std::max<size_t>(1, Utf8Length(bytes, p));
    return width;
}

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (size_t p = 0; p < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[p]);
        const size_t n = Utf8Length(bytes, p);
        if (n > 1) {
            out.append(bytes, p, n);
            p += n;
            continue;
        }
        ++p;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || n == 0) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string FleetTable(const std::vector<THostRec>& hosts, const std::vector<TFleetResult>& results,
                       const std::vector<std::string>& keys) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header{"LABEL", "ADDRESS", "OUTCOME"};
    for (const std::string& key : keys)
        header.push_back(Upper(key));
    rows.push_back(header);
    for (size_t i = 0; i < hosts.size() && i < results.size(); ++i) {
        const TFleetResult& r = results[i];
        std::vector<std::string> row{hosts[i].Caption,
                                     hosts[i].Address + ":" + std::to_string(hosts[i].Port),
                                     r.Ok ? "ok" : "failed"};
        if (!r.Ok) {
            row.push_back(r.Error);
        } else {
            for (const std::string& key : keys) {
                const TFleetItem* item = r.Find(key);
                row.push_back(item ? ItemText(*item) : "-");
            }
        }
        rows.push_back(std::move(row));
    }
    return AlignColumns(rows);
}

std::string AlignColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        if (row.size() > widths.size())
            widths.resize(row.size(), 0);
        for (size_t c = 0; c + 1 < row.size(); ++c)
            widths[c] = std::max(widths[c], TextWidth(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - TextWidth(row[c]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

std::string FleetJson(const std::vector<THostRec>& hosts,
                      const std::vector<TFleetResult>& results) {
    std::string out = "[";
    for (size_t i = 0; i < hosts.size() && i < results.size(); ++i) {
        const TFleetResult& r = results[i];
        out += i ? ",\n " : "\n ";
        out += "{\"label\": " + JsonString(hosts[i].Caption) +
               ", \"address\": " + JsonString(hosts[i].Address) +
               ", \"port\": " + std::to_string(hosts[i].Port) +
               ", \"ok\": " + (r.Ok ? "true" : "false");
        if (!r.Ok)
            out += ", \"error\": " + JsonString(r.Error);
        for (const TFleetItem& item : r.Items)
            out += ", " + JsonString(item.Key) + ": " + ItemJson(item);
        out += "}";
    }
    return out + (hosts.empty() ? "]\n" : "\n]\n");
}
