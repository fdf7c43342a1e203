#include "safeconfig/ZoneTransfer.h"

#include "safeconfig/ConfigSnapshot.h"

std::string ExportZonesText(const TXMLConfig& config) {
    TXMLNode top("message");
    top.Params.SetParam("from", "Kervola 5.01");
    top.Params.SetParam("to", config.TopNode ? config.TopNode->Params.GetParam("to")
                                             : std::string("ZELMONT_SF"));
    top.Params.SetParam("type", "zones");
    if (config.TopNode)
        for (int i = 0; i < config.TopNode->Count(); ++i)
            if (IsSensorObject(*config.TopNode->GetNode(i)))
                top.AddNode(CloneNode(*config.TopNode->GetNode(i)));
    return top.AsXML();
}

TImportResult ImportZones(TXMLConfig& config, TQuadList& zones, const TXMLNode* zonesTop) {
    if (!zonesTop)
        return TImportResult::NotParsed;
    if (CountSensorObjects(zonesTop) == 0)
        return TImportResult::NoSensor;
    if (!config.TopNode)
        config.CreateDefault("KERVOLA", "ZELMONT_SF");
    TXMLNode& top = *config.TopNode;
    for (int i = top.Count() - 1; i >= 0; --i)
        if (IsSensorObject(*top.GetNode(i)))
            top.Delete(i);
    for (int i = 0; i < zonesTop->Count(); ++i)
        if (IsSensorObject(*zonesTop->GetNode(i)))
            top.AddNode(CloneNode(*zonesTop->GetNode(i)));
    config.ReadSensors(zones);
    return TImportResult::Imported;
}

TImportResult ImportZonesFile(TXMLConfig& config, TQuadList& zones, const std::string& path,
                              std::string& problem) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        problem = "cannot read the file";
        return TImportResult::NotParsed;
    }
    const std::unique_ptr<TXMLNode> top = LoadXMLFile(path);
    if (!top) {
        problem = "does not parse (XML error " + std::to_string(XMLErrorCode) + " at " +
                  std::to_string(XMLErrorPos) + ")";
        return TImportResult::NotParsed;
    }
    const TImportResult result = ImportZones(config, zones, top.get());
    if (result == TImportResult::NoSensor)
        problem = "holds no sensor";
    return result;
}
