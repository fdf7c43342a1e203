#include "fleet/FleetReport.h"

#include "platform/TextHelpers.h"

#include <algorithm>

namespace {

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

void WriteItem(TJsonWriter& json, const TFleetItem& item) {
    switch (item.Kind) {
    case TFleetItem::Number:
        json.Number(item.NumberValue);
        return;
    case TFleetItem::Flag:
        json.Bool(item.FlagValue);
        return;
    case TFleetItem::Null:
        json.Null();
        return;
    case TFleetItem::Text:
        break;
    }
    json.String(item.TextValue);
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
        p += std::max<size_t>(1, Utf8SequenceLength(bytes, p));
    return width;
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
    TJsonWriter json;
    json.BeginArray();
    for (size_t i = 0; i < hosts.size() && i < results.size(); ++i) {
        const TFleetResult& r = results[i];
        json.BeginObject();
        json.Key("label").String(hosts[i].Caption);
        json.Key("address").String(hosts[i].Address);
        json.Key("port").Number(hosts[i].Port);
        json.Key("ok").Bool(r.Ok);
        if (!r.Ok)
            json.Key("error").String(r.Error);
        for (const TFleetItem& item : r.Items)
            WriteItem(json.Key(item.Key), item);
        json.EndObject();
    }
    json.EndArray();
    return json.Text();
}
