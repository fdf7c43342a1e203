#include "fleet/FleetResult.h"

void TFleetResult::AddText(const std::string& key, const std::string& value) {
    TFleetItem item;
    item.Key = key;
    item.Kind = TFleetItem::Text;
    item.TextValue = value;
    Items.push_back(std::move(item));
}

void TFleetResult::AddNumber(const std::string& key, long long value) {
    TFleetItem item;
    item.Key = key;
    item.Kind = TFleetItem::Number;
    item.NumberValue = value;
    Items.push_back(std::move(item));
}

void TFleetResult::AddFlag(const std::string& key, bool value) {
    TFleetItem item;
    item.Key = key;
    item.Kind = TFleetItem::Flag;
    item.FlagValue = value;
    Items.push_back(std::move(item));
}

void TFleetResult::AddNull(const std::string& key) {
    TFleetItem item;
    item.Key = key;
    item.Kind = TFleetItem::Null;
    Items.push_back(std::move(item));
}

const TFleetItem* TFleetResult::Find(const std::string& key) const {
    for (const TFleetItem& item : Items)
        if (item.Key == key)
            return &item;
    return nullptr;
}

TFleetResult& TFleetResult::Fail(const std::string& why) {
    Ok = false;
    Error = why;
    return *this;
}
