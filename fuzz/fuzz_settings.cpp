// `kervola-cli settings --set KEY=VALUE` takes any bytes a script passes. They are applied as
// the command applies them; a value taken is stored in the document and reads back as given,
// and one refused changes nothing.
#include "config/GXmlUtils.h"
#include "config/QuoteCheck.h"
#include "config/XMLConfig.h"
#include "settings/SettingsValues.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

std::string StoredText(const TSettingsValues& values) {
    TXMLConfig config;
    config.CreateDefault("Kervola 5.01", "ZELMONT_SF");
    StoreToDocument(values, config.TopNode.get());
    return config.AsText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // One KEY=VALUE per piece, pieces separated by NUL bytes, as the arguments arrive.
    const std::string all(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<std::string, std::string>> sets;
    for (size_t from = 0; from <= all.size();) {
        size_t nul = all.find('\0', from);
        if (nul == std::string::npos)
            nul = all.size();
        const std::string piece = all.substr(from, nul - from);
        const size_t eq = piece.find('=');
        if (eq != std::string::npos)
            sets.emplace_back(piece.substr(0, eq), piece.substr(eq + 1));
        from = nul + 1;
    }

    TXMLConfig config;
    config.CreateDefault("Kervola 5.01", "ZELMONT_SF");
    TSettingsValues values;
    LoadFromDocument(values, config.TopNode.get());

    // The value each key should list afterwards.
    std::map<std::string, std::string> expected;
    std::vector<std::string> triggers;
    bool triggersSet = false;
    for (const auto& [key, value] : sets) {
        if (key == "trigger") {
            if (HoldsBothQuotes(value) || HoldsLineEnd(value))
                return 0; // refused by the command before anything is applied
            if (!triggersSet)
                values.Triggers.clear();
            triggersSet = true;
            values.Triggers.push_back(value);
            if (!value.empty())
                triggers.push_back(value);
            continue;
        }
        const TSettingsValues before = values;
        if (!ApplySetting(values, key, value).empty()) {
            if (StoredText(before) != StoredText(values))
                std::abort();
            return 0; // the command stops at the first refusal and writes nothing
        }
        // The quality is a number the slider holds, written its own way.
        expected[key] = key == "jpegquality" ? std::to_string(values.JpegQuality) : value;
    }
    StoreToDocument(values, config.TopNode.get());
    const std::string written = NormalizeLineEnds(config.AsText());

    TXMLConfig back;
    if (!back.LoadFromText(written))
        std::abort();
    for (const TSettingsRow& row : SettingsRows(back.TopNode.get())) {
        const auto it = expected.find(row.Key);
        if (it == expected.end())
            continue;
        // The serial port's param exists in the default document, so every key lists a value.
        if (!row.Value || *row.Value != it->second)
            std::abort();
    }
    if (triggersSet && SettingsTriggers(back.TopNode.get()) != triggers)
        std::abort();
    // What was stored reads into the dialog as the same values.
    TSettingsValues reread;
    LoadFromDocument(reread, back.TopNode.get());
    if (NormalizeLineEnds(StoredText(reread)) != written)
        std::abort();
    return 0;
}
