// A road authority's detector list is imported as any CSV text. Every row gets one outcome, the
// entries taken or updated are the rows that say so, and the address book then writes what it
// took as a file that reads back the same.
#include "addressbook/HostRecords.h"
#include "addressbook/HostsImport.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string csv(reinterpret_cast<const char*>(data), size);

    const std::vector<TCsvRecord> table = ParseCsv(csv);
    int line = 0;
    for (const TCsvRecord& r : table) {
        if (r.Line <= line || r.Fields.empty())
            std::abort();
        line = r.Line;
    }

    std::vector<THostRec> records(2);
    records[0].Caption = "north";
    records[0].Address = "10.0.0.1";
    records[0].Port = 8080;
    records[1].Caption = "south";
    records[1].Address = "10.0.0.2";
    records[1].Port = 8081;
    const std::time_t now = 1'700'000'000;
    const TImportResult result = ImportHostsCsv(csv, records, now);
    if (!result.Problem.empty()) {
        if (!result.Rows.empty() || records.size() != 2)
            std::abort();
        return 0;
    }
    if (result.Rows.size() != table.size() - 1)
        std::abort();
    if (records.size() != 2 + static_cast<size_t>(result.Count(TImportOutcome::Taken)))
        std::abort();
    for (const TImportRow& row : result.Rows)
        if ((row.Outcome == TImportOutcome::Refused) == row.Reason.empty())
            std::abort();

    std::vector<THostRec> back;
    if (!HostRecordsFromText(HostsFileText(records), back) || back != records)
        std::abort();
    return 0;
}
