// A zones file comes from another detector, another program version or a careless hand. Its
// sensors replace the configuration's, every other object stays, and the zones written out again
// import to the same zones.
#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"
#include "safeconfig/ConfigSnapshot.h"
#include "safeconfig/ZoneTransfer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The objects that are not sensors, as text, in order.
std::vector<std::string> OtherObjects(const TXMLConfig& config) {
    std::vector<std::string> out;
    for (int i = 0; i < config.TopNode->Count(); ++i)
        if (!IsSensorObject(*config.TopNode->GetNode(i)))
            out.push_back(config.TopNode->GetNode(i)->AsXML());
    return out;
}

bool SameZones(const TQuadList& a, const TQuadList& b) {
    if (a.Count() != b.Count())
        return false;
    for (int i = 0; i < a.Count(); ++i)
        for (int k = 0; k < 4; ++k)
            if (a.Quad(i)->Id != b.Quad(i)->Id ||
                a.Quad(i)->Points[k].X != b.Quad(i)->Points[k].X ||
                a.Quad(i)->Points[k].Y != b.Quad(i)->Points[k].Y)
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // As the file is read: lines ended alike before the scanner sees them.
    TXMLNode zonesTop;
    zonesTop.LoadFromXML(NormalizeLineEnds(text));
    if (XMLErrorCode != 0)
        return 0;

    TXMLConfig config;
    config.CreateDefault("KERVOLA", "ZELMONT_SF");
    TQuadList zones;
    config.AddSensor(zones, "7", DefaultQuad(0));
    const std::vector<std::string> others = OtherObjects(config);
    const TImportResult result = ImportZones(config, zones, &zonesTop);
    if (result != TImportResult::Imported) {
        if (zones.Count() != 1 || CountSensorObjects(config.TopNode.get()) != 1)
            std::abort();
        return 0;
    }
    if (OtherObjects(config) != others)
        std::abort();
    if (CountSensorObjects(config.TopNode.get()) != CountSensorObjects(&zonesTop))
        std::abort();

    // Not every tree the scanner forgives is one the writer's layout carries (a declaration is
    // written as "<?xml/>", a text holding "<" reads back as tags): zones whose file does not
    // read back as the same document are not checked for the round trip, as the document
    // scanner's target does not check its trees for one.
    const std::string file = NormalizeLineEnds(ExportZonesText(config));
    TXMLNode exported;
    exported.LoadFromXML(file);
    if (XMLErrorCode != 0 || NormalizeLineEnds(exported.AsXML()) != file)
        return 0;
    TXMLConfig again;
    again.CreateDefault("KERVOLA", "ZELMONT_SF");
    TQuadList zonesAgain;
    if (ImportZones(again, zonesAgain, &exported) != TImportResult::Imported)
        std::abort();
    if (!SameZones(zones, zonesAgain))
        std::abort();
    return 0;
}
