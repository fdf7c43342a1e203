#include "settings/SettingsValues.h"

#include "config/QuoteCheck.h"
#include "config/GXmlUtils.h"
#include "channel/DetectorProtocol.h"

#include <algorithm>

const char* const SerialDevices[4] = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};

namespace {

const char* const ResolutionWords[4] = {"low", "mid", "high", "full"};
const char* const JpegRateWords[3] = {"low", "mid", "high"};

TXMLNode* ObjectOfType(const TXMLNode& top, const std::string& type) {
    const int i = top.FindChildByParam("type", type);
    return i < 0 ? nullptr : top.GetNode(i);
}

// The val of the object's param `key`; false when the object has no such param.
bool ParamValue(const TXMLNode* object, const std::string& key, std::string& value) {
    if (!object)
        return false;
    const int i = object->FindChildByParam("name", key);
    if (i < 0)
        return false;
    value = object->GetNode(i)->Params.GetParam("val");
    return true;
}

TXMLNode* FindOrAddObject(TXMLNode& top, const std::string& type, const std::string& id,
                          const std::string& descr) {
    if (TXMLNode* found = ObjectOfType(top, type))
        return found;
    TXMLNode* object = top.AddChild("object");
    if (!object)
        return nullptr;
    object->Params.SetParam("id", id);
    object->Params.SetParam("descr", descr);
    object->Params.SetParam("type", type);
    return object;
}

void AddParam(TXMLNode& object, const std::string& key, const std::string& type,
              const std::string& value) {
    TXMLNode* p = object.AddChild("param");
    if (!p)
        return;
    p->Params.SetParam("name", key);
    p->Params.SetParam("type", type);
    p->Params.SetParam("val", value);
}

void SetOrAddParam(TXMLNode& object, const std::string& key, const std::string& type,
                   const std::string& value) {
    const int i = object.FindChildByParam("name", key);
    if (i >= 0)
        object.GetNode(i)->Params.SetParam("val", value);
    else
        AddParam(object, key, type, value);
}

void SetExistingParam(TXMLNode& object, const std::string& key, const std::string& value) {
    const int i = object.FindChildByParam("name", key);
    if (i >= 0)
        object.GetNode(i)->Params.SetParam("val", value);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Items at runs of blanks and line breaks; a quoted text stays one item, without its quotes.
std::vector<std::string> ClassItems(const std::string& text) {
    std::vector<std::string> items;
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::string item;
        while (i < text.size() && !IsBlank(text[i])) {
            const char c = text[i];
            if (c == '"' || c == '\'') {
                const size_t close = text.find(c, i + 1);
                const size_t end = close == std::string::npos ? text.size() : close;
                item += text.substr(i + 1, end - i - 1);
                i = close == std::string::npos ? text.size() : close + 1;
            } else {
                item += c;
                ++i;
            }
        }
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

} // namespace

void TSettingsValues::SetQuality(int position) {
    position = std::clamp(position, QualityMin, QualityMax);
    if (position == JpegQuality)
        return;
    JpegQuality = position;
    QualityDisplay = std::to_string(position);
}

int ResolutionIndexOf(const std::string& word) {
    if (word == "mid")
        return 1;
    if (word == "high")
        return 2;
    if (word == "full")
        return 3;
    return 0;
}

int JpegRateIndexOf(const std::string& word) {
    if (word == "low")
        return 0;
    if (word == "mid")
        return 1;
    return 2;
}

std::string ResolutionWord(int index) {
    return index >= 0 && index < 4 ? ResolutionWords[index] : "high";
}

std::string JpegRateWord(int index) {
    return index >= 0 && index < 3 ? JpegRateWords[index] : "high";
}

void LoadFromDocument(TSettingsValues& v, const TXMLNode* top) {
    if (!top)
        return;
    v.Label = top->Params.GetParam("to");
    v.Triggers.clear();
    std::string value;
    if (const TXMLNode* system = ObjectOfType(*top, "system")) {
        if (ParamValue(system, "datainterval", value))
            v.DataInterval = value;
        if (ParamValue(system, "jpegquality", value))
            v.SetQuality(StrToIntDef(value, 50));
        if (ParamValue(system, "miles", value))
            v.Miles = value == "1";
        if (ParamValue(system, "tcpport", value))
            v.TcpPort = value;
        if (ParamValue(system, "login", value))
            v.Login = value;
        if (ParamValue(system, "pass", value))
            v.Password = value;
        if (ParamValue(system, "backup", value))
            v.Backup = value;
        v.Classes = ParamValue(system, "classes", value) ? value : DefaultClasses;
    }
    if (const TXMLNode* source = ObjectOfType(*top, "source")) {
        if (ParamValue(source, "device", value))
            v.Device = value;
        if (ParamValue(source, "resolution", value))
            v.ResolutionIndex = ResolutionIndexOf(value);
        if (ParamValue(source, "jpegrate", value))
            v.JpegRateIndex = JpegRateIndexOf(value);
    }
    if (const TXMLNode* serial = ObjectOfType(*top, "serial")) {
        if (ParamValue(serial, "port", value)) {
            v.SerialPortIndex = -1;
            for (int i = 0; i < 4; ++i)
                if (value == SerialDevices[i])
                    v.SerialPortIndex = i;
            v.SerialPortText = v.SerialPortIndex >= 0 ? "com" + std::to_string(v.SerialPortIndex + 1)
                                                      : value;
        }
        if (ParamValue(serial, "address", value))
            v.SerialAddress = value;
        if (ParamValue(serial, "baudrate", value))
            v.SerialBaudrate = value;
        if (ParamValue(serial, "proto", value))
            v.SerialProto = value;
    }
    if (const TXMLNode* triggers = ObjectOfType(*top, "triggers")) {
        for (int i = 0; i < triggers->Count(); ++i) {
            const TXMLNode* child = triggers->GetNode(i);
            if (child->Params.IndexOfParam("name") >= 0 &&
                child->Params.GetParam("name") == "trigger")
                v.Triggers.push_back(child->Params.GetParam("val"));
        }
    }
}

void StoreToDocument(const TSettingsValues& v, TXMLNode* top) {
    if (!top)
        return;
    top->Params.SetParam("to", v.Label);
    top->Params.SetParam("from", "Kervola 5.01");

    if (TXMLNode* system = FindOrAddObject(*top, "system", "0", "SYSTEM SETTINGS")) {
        SetOrAddParam(*system, "datainterval", "int", v.DataInterval);
        SetOrAddParam(*system, "jpegquality", "int", std::to_string(v.JpegQuality));
        SetOrAddParam(*system, "miles", "int", v.Miles ? "1" : "0");
        SetOrAddParam(*system, "tcpport", "int", v.TcpPort);
        SetOrAddParam(*system, "login", "string", v.Login);
        SetOrAddParam(*system, "pass", "string", v.Password);
        SetOrAddParam(*system, "backup", "int", v.Backup);
        if (system->FindChildByParam("name", "classes") >= 0)
            SetExistingParam(*system, "classes", v.Classes);
        else
            AddParam(*system, "classes", "set", v.Classes.empty() ? DefaultClasses : v.Classes);
    }
    if (TXMLNode* source = FindOrAddObject(*top, "source", "1", "CAMERA")) {
        SetOrAddParam(*source, "device", "string", v.Device);
        SetOrAddParam(*source, "resolution", "string", ResolutionWord(v.ResolutionIndex));
        SetOrAddParam(*source, "jpegrate", "string", JpegRateWord(v.JpegRateIndex));
    }
    if (TXMLNode* serial = FindOrAddObject(*top, "serial", "2", "SERIAL PORT")) {
        const bool device = v.SerialPortIndex >= 0 && v.SerialPortIndex < 4;
        SetExistingParam(*serial, "port", device ? SerialDevices[v.SerialPortIndex]
                                                 : v.SerialPortText);
        SetExistingParam(*serial, "address", v.SerialAddress);
        SetExistingParam(*serial, "baudrate", v.SerialBaudrate);
        SetExistingParam(*serial, "proto", v.SerialProto);
    }
    TXMLNode* triggers = ObjectOfType(*top, "triggers");
    if (triggers)
        triggers->ClearAll();
    else
        triggers = top->AddChild("object");
    if (!triggers)
        return;
    triggers->Params.SetParam("id", "0");
    triggers->Params.SetParam("descr", "LOGIC TRIGGERS");
    triggers->Params.SetParam("type", "triggers");
    for (const std::string& line : v.Triggers)
        if (!line.empty())
            AddParam(*triggers, "trigger", "string", line);
}

std::string CheckClasses(std::string& text) {
    const std::vector<std::string> items = ClassItems(text);
    if (items.size() != 6) {
        text = DefaultClasses;
        return "Wrong classes quantity";
    }
    for (const std::string& item : items) {
        if (item.find_first_not_of("0123456789,") != std::string::npos) {
            text = DefaultClasses;
            return "Wrong classes element format: Not a number";
        }
    }
    return {};
}

std::vector<TSettingsRow> SettingsRows(const TXMLNode* top) {
    if (!top)
        return {};
    struct Row {
        const char* Key;
        const char* Type; // object type; nullptr for the top element's "to"
        const char* Param;
        TSettingKind Kind;
    };
    using enum TSettingKind;
    static constexpr Row rows[] = {
        {"label", nullptr, nullptr, Text},
        {"datainterval", "system", "datainterval", WholeNumber},
        {"jpegquality", "system", "jpegquality", WholeNumber},
        {"miles", "system", "miles", Flag},
        {"tcpport", "system", "tcpport", WholeNumber},
        {"login", "system", "login", Text},
        {"pass", "system", "pass", Text},
        {"backup", "system", "backup", WholeNumber},
        {"classes", "system", "classes", Text},
        {"device", "source", "device", Text},
        {"resolution", "source", "resolution", Text},
        {"jpegrate", "source", "jpegrate", Text},
        {"serial.port", "serial", "port", Text},
        // The serial address keeps its leading zeros ("0000"): a text, not a number.
        {"serial.address", "serial", "address", Text},
        {"serial.baudrate", "serial", "baudrate", WholeNumber},
        {"serial.proto", "serial", "proto", Text},
    };
    std::vector<TSettingsRow> out;
    for (const Row& row : rows) {
        std::string value;
        if (!row.Type)
            out.push_back({row.Key, row.Kind, top->Params.GetParam("to")});
        else if (ParamValue(ObjectOfType(*top, row.Type), row.Param, value))
            out.push_back({row.Key, row.Kind, value});
        else
            out.push_back({row.Key, row.Kind, std::nullopt});
    }
    return out;
}

std::vector<std::string> SettingsTriggers(const TXMLNode* top) {
    std::vector<std::string> out;
    if (const TXMLNode* triggers = top ? ObjectOfType(*top, "triggers") : nullptr)
        for (int i = 0; i < triggers->Count(); ++i)
            if (triggers->GetNode(i)->Params.GetParam("name") == "trigger")
                out.push_back(triggers->GetNode(i)->Params.GetParam("val"));
    return out;
}

std::string SettingsListing(const TXMLNode* top) {
    std::string out;
    for (const TSettingsRow& row : SettingsRows(top))
        out += std::string(row.Key) + "=" + row.Value.value_or("") + "\n";
    for (const std::string& trigger : SettingsTriggers(top))
        out += "trigger=" + trigger + "\n";
    return out;
}

std::string ApplySetting(TSettingsValues& v, const std::string& key, const std::string& value) {
    if (HoldsBothQuotes(value))
        return BothQuotesRefusal(key);
    if (HoldsLineEnd(value))
        return LineEndRefusal(key);
    if (key == "label")
        v.Label = value;
    else if (key == "datainterval")
        v.DataInterval = value;
    else if (key == "jpegquality") {
        const int q = StrToIntDef(value, -1);
        if (q < QualityMin || q > QualityMax)
            return "jpegquality takes 10..90, not " + value;
        v.SetQuality(q);
    } else if (key == "miles") {
        if (value != "0" && value != "1")
            return "miles takes 0 or 1, not " + value;
        v.Miles = value == "1";
    } else if (key == "tcpport")
        v.TcpPort = value;
    else if (key == "login")
        v.Login = value;
    else if (key == "pass")
        v.Password = value;
    else if (key == "backup")
        v.Backup = value;
    else if (key == "classes") {
        std::string text = value;
        if (std::string error = CheckClasses(text); !error.empty())
            return error;
        v.Classes = value;
    } else if (key == "device")
        v.Device = value;
    else if (key == "resolution") {
        const auto* end = std::end(ResolutionWords);
        const auto* it = std::find(std::begin(ResolutionWords), end, value);
        if (it == end)
            return "resolution takes low, mid, high or full, not " + value;
        v.ResolutionIndex = static_cast<int>(it - std::begin(ResolutionWords));
    } else if (key == "jpegrate") {
        const auto* end = std::end(JpegRateWords);
        const auto* it = std::find(std::begin(JpegRateWords), end, value);
        if (it == end)
            return "jpegrate takes low, mid or high, not " + value;
        v.JpegRateIndex = static_cast<int>(it - std::begin(JpegRateWords));
    } else if (key == "serial.port") {
        v.SerialPortIndex = -1;
        for (int i = 0; i < 4; ++i)
            if (value == SerialDevices[i])
                v.SerialPortIndex = i;
        v.SerialPortText = value;
    } else if (key == "serial.address")
        v.SerialAddress = value;
    else if (key == "serial.baudrate")
        v.SerialBaudrate = value;
    else if (key == "serial.proto")
        v.SerialProto = value;
    else
        return "unknown setting " + key;
    return {};
}
