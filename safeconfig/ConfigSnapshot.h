#pragma once
// Exact copies of a configuration document, for the undo history and for moving sensor objects
// between documents: a copy of the tree, not a re-parse of its text, so that documents the writer
// cannot round-trip still come back byte for byte.

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <memory>
#include <string>

std::unique_ptr<TXMLNode> CloneNode(const TXMLNode& node);
// Makes `target` a copy of `source` in place: the node keeps its identity (its Serial), by which
// the settings dialog knows the document it read its values from.
void AssignNode(TXMLNode& target, const TXMLNode& source);

// The document as the writer gives it; empty while there is none. Unlike AsText it never creates
// the default document, so looking at a document does not change it.
std::string DocumentText(const TXMLConfig& config);

// The text that an upload of this document sends: AsText of a copy, the default when there is none.
std::string UploadText(const TXMLConfig& config);

// Direct children of the top element whose type is "detector", as ReadSensors finds them.
bool IsSensorObject(const TXMLNode& node);
int CountSensorObjects(const TXMLNode* top);
