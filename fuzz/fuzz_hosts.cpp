// "hosts.ini" is read from whatever the disk holds, a damaged file included, whose entries are
// then recovered one by one. Whatever was read, the address book writes it as a file that
// parses and reads back the same entries.
#include "addressbook/HostRecords.h"
#include "config/QuoteCheck.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A value that holds both kinds of quote has its double quotes written as single ones.
std::string AsStored(std::string value) {
    if (HoldsBothQuotes(value))
        for (char& c : value)
            if (c == '"')
                c = '\'';
    return value;
}

THostRec AsStored(THostRec r) {
    r.Caption = AsStored(r.Caption);
    r.Address = AsStored(r.Address);
    r.Login = AsStored(r.Login);
    r.Password = AsStored(r.Password);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with daylight saving, so that the creation times cross its changes.
    setenv("TZ", "Europe/Berlin", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<THostRec> read;
    HostRecordsFromText(text, read);

    const std::string written = HostsFileText(read);
    std::vector<THostRec> back;
    if (!HostRecordsFromText(written, back))
        std::abort();
    if (back.size() != read.size())
        std::abort();
    for (size_t i = 0; i < read.size(); ++i)
        if (!(back[i] == AsStored(read[i])))
            std::abort();
    if (HostsFileText(back) != written)
        std::abort();
    return 0;
}
