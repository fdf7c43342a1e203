#pragma once
// The outcome of one detector in a fleet run, with the command's own figures in the order the
// report shows them.

#include <string>
#include <vector>

struct TFleetItem {
    enum TKind { Text, Number, Flag, Null };
    std::string Key;
    TKind Kind = Text;
    std::string TextValue;
    long long NumberValue = 0;
    bool FlagValue = false;
};

struct TFleetResult {
    bool Ok = false;
    std::string Error; // why it failed; empty when Ok
    std::vector<TFleetItem> Items;

    void AddText(const std::string& key, const std::string& value);
    void AddNumber(const std::string& key, long long value);
    void AddFlag(const std::string& key, bool value);
    // A figure the detector could not give (shown as "-", null in JSON).
    void AddNull(const std::string& key);
    const TFleetItem* Find(const std::string& key) const;
    // Marks the result failed with `why` and hands it back, for early returns.
    TFleetResult& Fail(const std::string& why);
};
