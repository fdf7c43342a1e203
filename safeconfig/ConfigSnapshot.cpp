#include "safeconfig/ConfigSnapshot.h"

std::unique_ptr<TXMLNode> CloneNode(const TXMLNode& node) {
    auto copy = std::make_unique<TXMLNode>(node.Name);
    copy->LineEnd = node.LineEnd;
    copy->Text = node.Text;
    copy->Data = node.Data;
    copy->Params = node.Params;
    copy->Level = node.Level;
    for (int i = 0; i < node.Count(); ++i)
        copy->AddNode(CloneNode(*node.GetNode(i)));
    return copy;
}

void AssignNode(TXMLNode& target, const TXMLNode& source) {
    target.LineEnd = source.LineEnd;
    target.Name = source.Name;
    target.Text = source.Text;
    target.Data = source.Data;
    target.Params = source.Params;
    while (target.Count() > 0)
        target.Delete(target.Count() - 1);
    for (int i = 0; i < source.Count(); ++i)
        target.AddNode(CloneNode(*source.GetNode(i)));
}

std::string DocumentText(const TXMLConfig& config) {
    return config.TopNode ? config.TopNode->AsXML() : std::string();
}

std::string UploadText(const TXMLConfig& config) {
    if (config.TopNode)
        return config.TopNode->AsXML();
    TXMLConfig scratch;
    return scratch.AsText();
}

bool IsSensorObject(const TXMLNode& node) {
    return node.Params.GetParam("type") == "detector";
}

int CountSensorObjects(const TXMLNode* top) {
    if (!top)
        return 0;
    int n = 0;
    for (int i = 0; i < top->Count(); ++i)
        n += IsSensorObject(*top->GetNode(i));
    return n;
}
