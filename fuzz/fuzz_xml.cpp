// The scanner takes documents from files and from detectors: whatever the bytes, it must end
// with a tree or an error code, without a crash or undefined behaviour.
#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    TXMLNode node;
    node.LoadFromXML(text);
    if (XMLErrorCode < 0 || XMLErrorCode > 4)
        std::abort();
    if (XMLErrorCode == 0) {
        // Not a round trip: the scanner and the attribute splitter may cut odd attribute text
        // differently ("<a/ >", stray quotes), and the writer's layout cannot carry every such
        // tree. Well-formed documents are checked for that in the unit tests.
        TXMLNode back;
        back.LoadFromXML(node.AsXML());
    }

    TXMLParams params;
    ParseParams(text, params);
    for (int i = 0; i < params.Count(); ++i)
        (void)TXMLParams::ValueOf(params[i]);

    TXMLConfig config;
    if (config.LoadFromText(text)) {
        TQuadList zones;
        config.ReadSensors(zones);
        for (int i = 0; i < zones.Count(); ++i)
            config.UpdateSensorGeometry(zones, i);
        if (zones.Count() > 0)
            config.DeleteSensor(zones, 0);
        (void)config.AsText();
    }
    TQuadPoints corners{};
    if (TextToQuad(text, corners)) {
        TQuadPoints again{};
        if (!TextToQuad(QuadToText(corners), again))
            std::abort();
    }
    return 0;
}
