#pragma once
// The detector configuration document and its conversion to and from the zone list.

#include "config/GXmlUtils.h"
#include "geometry/TFGeometry2.h"

#include <memory>
#include <string>

// The decimal separator numbers are written with: the C locale's, unless set explicitly.
char DecimalSeparator();
void SetDecimalSeparator(char separator); // 0 goes back to the locale's

bool TextToQuad(const std::string& text, TQuadPoints& corners);
std::string QuadToText(const TQuadPoints& corners);
// A coordinate rounded as QuadToText writes it (0.47000000000000003 is stored as 0.470), so a
// reader that takes numbers sees the ones the document holds.
double StoredCoordinate(double v);

class TXMLConfig {
public:
    std::unique_ptr<TXMLNode> TopNode;

    bool LoadFromFile(const std::string& fileName);
    bool LoadFromText(const std::string& text);
    bool SaveToFile(const std::string& fileName) const;
    std::string AsText();
    void CreateDefault(const std::string& from, const std::string& to);
    void ReadSensors(TQuadList& zones);
    void UpdateSensorGeometry(TQuadList& zones, int index);
    void AddEmptySensor(TQuadList& zones, const std::string& id);
    void AddSensor(TQuadList& zones, const std::string& id, const TQuadPoints& corners);
    void DeleteSensor(TQuadList& zones, int index);
    void ChangeSensorId(TQuadList& zones, int index, const TQuadPoints& corners,
                        const std::string& newId);
    std::string GetTarget() const;
};
