#pragma once
// Sensor zones copied between detectors: the sensor objects of one configuration written as a
// zones file of their own, and put in place of the sensor objects of another configuration.

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"
#include "geometry/TFGeometry2.h"

#include <string>

// A document of the same form as a configuration ("message" with from, to and type "zones")
// holding copies of every sensor object of `config`, whole, with every param they carry.
std::string ExportZonesText(const TXMLConfig& config);

enum class TImportResult { Imported, NotParsed, NoSensor };

// Replaces every sensor object of `config` by copies of the sensor objects of the zones document
// (any document whose top element holds sensor objects, a whole configuration too) and rebuilds
// `zones` from it, which checks the corners as reading any configuration does. Every other
// object stays as it was. A zones document that did not parse or holds no sensor changes
// nothing. Without a document, the sensors go into a new default one.
TImportResult ImportZones(TXMLConfig& config, TQuadList& zones, const TXMLNode* zonesTop);

// The same for a file; `problem` says why nothing changed (without the file's name).
TImportResult ImportZonesFile(TXMLConfig& config, TQuadList& zones, const std::string& path,
                              std::string& problem);
