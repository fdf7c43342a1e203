#include "config/XMLConfig.h"

#include "platform/FileReplace.h"
#include "platform/TextHelpers.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <cmath>

namespace {

std::atomic<char> ForcedSeparator{0};

// The six vehicle-class limits exactly as the detector expects them, decimal commas included.
const std::string DefaultClasses = "2,0 3,0 5,5 8,0 12,5 18,75";

struct DefaultParam {
    const char* Name;
    const char* Type;
    const char* Val;
};

void AddParam(TXMLNode& object, const std::string& name, const std::string& type,
              const std::string& val) {
    TXMLNode* p = object.AddChild("param");
    if (!p)
        return;
    p->Params.SetParam("name", name);
    p->Params.SetParam("type", type);
    p->Params.SetParam("val", val);
}

TXMLNode* AddObject(TXMLNode& top, const std::string& id, const std::string& descr,
                    const std::string& type) {
    TXMLNode* o = top.AddChild("object");
    if (!o)
        return nullptr;
    o->Params.SetParam("id", id);
    o->Params.SetParam("descr", descr);
    o->Params.SetParam("type", type);
    return o;
}

void AppendSensorObject(TXMLNode& top, const std::string& id, const std::string& val) {
    if (TXMLNode* o = AddObject(top, id, "Sensor " + id, "detector"))
        AddParam(*o, "quadrangle", "set", val);
}

// A number as the detector's documents hold it: fixed, three decimals, rounded once (half away
// from zero, on the exact decimal value) to at most four significant digits.
std::string FormatCoordinate(double v, char separator) {
    if (!std::isfinite(v))
        v = 0;
    const bool negative = v < 0;
    // The exact decimal expansion, whatever LC_NUMERIC says: the separator is put in at the end.
    char buf[400];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, 30);
    if (ec != std::errc())
        return std::string("0") + separator + "000";
    std::string digits(buf, end);
    const size_t dot = digits.find('.');
    std::string intPart = digits.substr(0, dot);
    std::string frac = digits.substr(dot + 1);
    // Decimals kept: three, or fewer when the integer part already uses significant digits.
    const int intDigits = intPart == "0" ? 0 : static_cast<int>(intPart.size());
    const int keep = std::min(3, 4 - intDigits); // may be negative: rounding to tens and more
    std::string all = intPart + frac;            // digits with the point after intPart.size()
    const int cut = static_cast<int>(intPart.size()) + keep; // digits before the rounding point
    // cut is at least 4: the integer digits plus the decimals kept, or the first four digits.
    std::string kept = all.substr(0, static_cast<size_t>(cut));
    if (all[static_cast<size_t>(cut)] >= '5') {
        int i = cut - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9')
            kept[static_cast<size_t>(i--)] = '0';
        if (i < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[static_cast<size_t>(i)];
    }
    {
        const size_t intLen = kept.size() - static_cast<size_t>(std::max(keep, 0));
        intPart = kept.substr(0, intLen);
        frac = kept.substr(intLen);
        if (keep < 0)
            intPart.append(static_cast<size_t>(-keep), '0');
        frac.resize(3, '0');
    }
    const size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    const bool zero = intPart == "0" && frac == "000";
    return (negative && !zero ? "-" : "") + intPart + separator + frac;
}

// A number as written by hand or by another locale; anything else reads as 0.
double ParseCoordinate(std::string part) {
    for (char& c : part)
        if (c == ',')
            c = '.';
    const char* first = part.data();
    const char* last = part.data() + part.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.'))
        return 0;
    double v = 0;
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || end != last || !std::isfinite(v))
        return 0;
    return negative ? -v : v;
}

} // namespace

char DecimalSeparator() {
    const char forced = ForcedSeparator.load();
    if (forced)
        return forced;
    // A separator of more than one byte (some locales have one) could not be read back: '.'.
    const std::lconv* lc = std::localeconv();
    if (!lc || !lc->decimal_point || !lc->decimal_point[0] || lc->decimal_point[1])
        return '.';
    return lc->decimal_point[0];
}

void SetDecimalSeparator(char separator) {
    ForcedSeparator.store(separator);
}

bool TextToQuad(const std::string& text, TQuadPoints& corners) {
    const std::vector<std::string> parts = SplitWords(text, " \r\n");
    if (parts.size() != 8)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        corners[i].X = ParseCoordinate(parts[2 * i]);
        corners[i].Y = ParseCoordinate(parts[2 * i + 1]);
    }
    return true;
}

double StoredCoordinate(double v) {
    return ParseCoordinate(FormatCoordinate(v, '.'));
}

std::string QuadToText(const TQuadPoints& corners) {
    const char sep = DecimalSeparator();
    std::string out;
    for (const TFloatPoint& p : corners) {
        out += FormatCoordinate(p.X, sep);
        out += ' ';
        out += FormatCoordinate(p.Y, sep);
        out += ' ';
    }
    out.pop_back();
    return out;
}

bool TXMLConfig::LoadFromFile(const std::string& fileName) {
    TopNode.reset();
    TopNode = LoadXMLFile(fileName);
    return TopNode != nullptr;
}

bool TXMLConfig::LoadFromText(const std::string& text) {
    if (!TopNode)
        TopNode = std::make_unique<TXMLNode>();
    TopNode->LoadFromXML(text);
    return XMLErrorCode == 0;
}

bool TXMLConfig::SaveToFile(const std::string& fileName) const {
    if (!TopNode)
        return false;
    std::string reason;
    return ReplaceFileContents(fileName, NormalizeLineEnds(TopNode->AsXML()), DocumentFile, reason);
}

std::string TXMLConfig::AsText() {
    if (!TopNode)
        CreateDefault("Kervola 5.01", "ZELMONT_SF");
    return TopNode->AsXML();
}

void TXMLConfig::CreateDefault(const std::string& from, const std::string& to) {
    TopNode = std::make_unique<TXMLNode>("message");
    TXMLNode& top = *TopNode;
    top.Params.SetParam("from", from);
    top.Params.SetParam("to", to);
    top.Params.SetParam("type", "config");

    static const DefaultParam systemParams[] = {
        {"tcpport", "int", "8080"}, {"datainterval", "int", "300"}, {"jpegquality", "int", "70"},
        {"miles", "int", "0"},      {"login", "string", "root"},    {"pass", "string", "kvtp"},
        {"backup", "int", "3600"},
    };
    static const DefaultParam serialParams[] = {
        {"proto", "string", "edge"},
        {"address", "string", "0000"},
        {"baudrate", "int", "38400"},
        {"port", "string", "/dev/ttyS0"},
    };
    static const DefaultParam cameraParams[] = {
        {"resolution", "string", "full"},
        {"jpegrate", "string", "high"},
        {"device", "string", "/dev/video0"},
    };
    if (TXMLNode* o = AddObject(top, "0", "SYSTEM SETTINGS", "system")) {
        for (const auto& p : systemParams)
            AddParam(*o, p.Name, p.Type, p.Val);
        AddParam(*o, "classes", "set", DefaultClasses);
    }
    if (TXMLNode* o = AddObject(top, "1", "SERIAL PORT", "serial"))
        for (const auto& p : serialParams)
            AddParam(*o, p.Name, p.Type, p.Val);
    if (TXMLNode* o = AddObject(top, "2", "CAMERA", "source"))
        for (const auto& p : cameraParams)
            AddParam(*o, p.Name, p.Type, p.Val);
}

void TXMLConfig::ReadSensors(TQuadList& zones) {
    zones.Clear();
    if (TopNode) {
        for (int i = 0; i < TopNode->Count(); ++i) {
            TXMLNode* object = TopNode->GetNode(i);
            if (object->Params.GetParam("type") != "detector")
                continue;
            for (int j = 0; j < object->Count(); ++j) {
                TXMLNode* param = object->GetNode(j);
                if (param->Params.GetParam("name") != "quadrangle")
                    continue;
                TQuadPoints corners{};
                if (!TextToQuad(param->Params.GetParam("val"), corners))
                    continue;
                const int index = zones.AddQuad(corners);
                if (index < 0)
                    continue;
                TQuadBase* zone = zones.Quad(index);
                // The document always holds the corners actually in use, in canonical form,
                // and the zone holds them as the document does: a default quadrangle put in
                // for a faulty one would otherwise differ from itself once saved and read back.
                for (TFloatPoint& p : zone->Points)
                    p = {StoredCoordinate(p.X), StoredCoordinate(p.Y)};
                param->Params.SetParam("val", QuadToText(zone->Points));
                zone->NodeIndex = i;
                zone->Id = object->Params.GetParam("id");
            }
        }
    }
    if (zones.Count() == 0)
        zones.SelectedIndex = -1;
}

void TXMLConfig::UpdateSensorGeometry(TQuadList& zones, int index) {
    const TQuadBase* zone = zones.Quad(index);
    if (!TopNode || !zone || zone->NodeIndex < 0 || zone->NodeIndex >= TopNode->Count())
        return;
    TXMLNode* object = TopNode->GetNode(zone->NodeIndex);
    const std::string val = QuadToText(zone->Points);
    for (int j = 0; j < object->Count(); ++j) {
        TXMLNode* param = object->GetNode(j);
        if (param->Params.GetParam("name") == "quadrangle")
            param->Params.SetParam("val", val);
    }
}

void TXMLConfig::AddEmptySensor(TQuadList& zones, const std::string& id) {
    if (!TopNode)
        CreateDefault("Kervola 5.01", "ZELMONT_SF");
    AppendSensorObject(*TopNode, id, "0 0 0 0 0 0 0 0");
    ReadSensors(zones);
}

void TXMLConfig::AddSensor(TQuadList& zones, const std::string& id, const TQuadPoints& corners) {
    if (!TopNode)
        CreateDefault("KERVOLA", "ZELMONT_SF");
    AppendSensorObject(*TopNode, id, QuadToText(corners));
    ReadSensors(zones);
}

void TXMLConfig::DeleteSensor(TQuadList& zones, int index) {
    const TQuadBase* zone = zones.Quad(index);
    if (!TopNode || !zone)
        return;
    TopNode->Delete(zone->NodeIndex);
    ReadSensors(zones);
}

void TXMLConfig::ChangeSensorId(TQuadList& zones, int index, const TQuadPoints& corners,
                                const std::string& newId) {
    if (!TopNode || !zones.Quad(index))
        return;
    const TQuadPoints kept = corners; // the caller may pass the corners of the zone being freed
    DeleteSensor(zones, index);
    AddSensor(zones, newId, kept);
}

std::string TXMLConfig::GetTarget() const {
    // The program's texts are UTF-8 already, so the target name needs no conversion here.
    return TopNode ? TopNode->Params.GetParam("to") : std::string();
}
