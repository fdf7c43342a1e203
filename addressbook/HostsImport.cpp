#include "addressbook/HostsImport.h"

#include "config/QuoteCheck.h"
#include "platform/TextHelpers.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int DefaultPort = 8080;
constexpr const char* DefaultLogin = "root";
constexpr const char* DefaultPassword = "kvtp";

// Spaces and tabs around a field: a CSV export pads its columns with them.
std::string TrimmedField(const std::string& s) {
    return Trimmed(s, " \t");
}

// 1..65535 from decimal digits only; 0 when it is anything else.
int PortOf(const std::string& text) {
    if (text.empty() || text.size() > 5)
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

struct TColumns {
    int Label = -1, Address = -1, Port = -1, Login = -1, Password = -1;
};

std::string Field(const TCsvRecord& r, int column) {
    if (column < 0 || static_cast<size_t>(column) >= r.Fields.size())
        return {};
    return r.Fields[static_cast<size_t>(column)];
}

} // namespace

std::vector<TCsvRecord> ParseCsv(const std::string& text) {
    std::vector<TCsvRecord> records;
    size_t p = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    while (p < text.size()) {
        TCsvRecord record;
        record.Line = line;
        std::string field;
        bool sawAny = false; // a record of one empty unquoted field is a blank line
        for (;;) {
            if (p < text.size() && text[p] == '"') {
                sawAny = true;
                ++p;
                for (;;) {
                    if (p >= text.size()) {
                        record.Unterminated = true;
                        break;
                    }
                    const char c = text[p++];
                    if (c == '"') {
                        if (p < text.size() && text[p] == '"') {
                            field += '"';
                            ++p;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n' || (c == '\r' && (p >= text.size() || text[p] != '\n')))
                        ++line;
                    field += c;
                }
            }
            // Unquoted text, or what follows a closing quote, up to the separator.
            while (p < text.size() && text[p] != ',' && text[p] != '\n' && text[p] != '\r')
                field += text[p++];
            record.Fields.push_back(std::move(field));
            field.clear();
            if (p < text.size() && text[p] == ',') {
                sawAny = true;
                ++p;
                continue;
            }
            break;
        }
        if (p < text.size()) {
            if (text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n')
                ++p;
            ++p;
            ++line;
        }
        if (sawAny || !TrimmedField(record.Fields.front()).empty())
            records.push_back(std::move(record));
    }
    return records;
}

int TImportResult::Count(TImportOutcome outcome) const {
    return static_cast<int>(std::count_if(
        Rows.begin(), Rows.end(), [outcome](const TImportRow& r) { return r.Outcome == outcome; }));
}

TImportResult ImportHostsCsv(const std::string& csv, std::vector<THostRec>& records,
                             std::time_t now) {
    TImportResult result;
    const std::vector<TCsvRecord> table = ParseCsv(csv);
    if (table.empty() || table.front().Line != 1) {
        result.Problem = "no header line naming the columns";
        return result;
    }
    TColumns col;
    const TCsvRecord& header = table.front();
    for (size_t i = 0; i < header.Fields.size(); ++i) {
        const std::string name = AsciiLower(TrimmedField(header.Fields[i]));
        const int at = static_cast<int>(i);
        int* slot = name == "label"      ? &col.Label
                    : name == "address"  ? &col.Address
                    : name == "port"     ? &col.Port
                    : name == "login"    ? &col.Login
                    : name == "password" ? &col.Password
                                         : nullptr;
        if (slot && *slot < 0)
            *slot = at;
    }
    if (col.Label < 0 || col.Address < 0) {
        result.Problem = "the header line must name the columns label and address";
        return result;
    }

    for (size_t i = 1; i < table.size(); ++i) {
        const TCsvRecord& row = table[i];
        TImportRow outcome;
        outcome.Line = row.Line;
        outcome.Label = TrimmedField(Field(row, col.Label));
        const std::string address = TrimmedField(Field(row, col.Address));
        const std::string portText = TrimmedField(Field(row, col.Port));
        const int port = portText.empty() ? DefaultPort : PortOf(portText);
        if (row.Unterminated)
            outcome.Reason = "a quoted field is not closed";
        else if (outcome.Label.empty())
            outcome.Reason = "empty label";
        else if (!IsValidIpAddress(address))
            outcome.Reason = "bad address \"" + address + "\"";
        else if (port == 0)
            outcome.Reason = "port \"" + portText + "\" is outside 1-65535";
        // The address book stores each value between quotes and its lines ended by CR LF: one
        // with both kinds of quote or with a line end (a quoted field may hold one) would be
        // stored changed, so it is refused as one typed in would be.
        for (const auto& [name, column] :
             {std::pair{"label", col.Label}, {"login", col.Login}, {"password", col.Password}}) {
            const std::string value = TrimmedField(Field(row, column));
            if (outcome.Reason.empty() && HoldsBothQuotes(value))
                outcome.Reason = BothQuotesRefusal(name);
            if (outcome.Reason.empty() && HoldsLineEnd(value))
                outcome.Reason = LineEndRefusal(name);
        }
        if (!outcome.Reason.empty()) {
            result.Rows.push_back(std::move(outcome));
            continue;
        }
        THostRec rec;
        rec.Caption = outcome.Label;
        rec.Address = address;
        rec.Port = port;
        rec.Login = TrimmedField(Field(row, col.Login));
        rec.Password = TrimmedField(Field(row, col.Password));
        if (rec.Login.empty())
            rec.Login = DefaultLogin;
        if (rec.Password.empty())
            rec.Password = DefaultPassword;
        rec.Created = now;
        const auto same = std::find_if(records.begin(), records.end(),
                                       [&](const THostRec& r) { return r.Caption == rec.Caption; });
        if (same != records.end()) {
            *same = rec;
            outcome.Outcome = TImportOutcome::Updated;
        } else {
            records.push_back(rec);
            outcome.Outcome = TImportOutcome::Taken;
        }
        result.Rows.push_back(std::move(outcome));
    }
    return result;
}
