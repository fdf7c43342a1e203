#include "config/GXmlUtils.h"

#include "platform/TextHelpers.h"

void TXMLNode::WriteTo(std::string& out) const {
    const std::string indent(static_cast<size_t>(Level > 0 ? Level : 0), ' ');
    out += indent;
    if (Name == "!--") {
        out += "<!--" + Data + "-->" + LineEnd;
        return;
    }
    if (Name == "[CDATA[") {
        out += "<[CDATA[" + Data + "]]>" + LineEnd;
        return;
    }
    if (Name.empty()) {
        out += Text + LineEnd;
        return;
    }
    out += '<';
    out += Name;
    if (Params.Count() > 0) {
        out += ' ';
        out += Params.ParamsText();
    }
    if (Children.empty()) {
        out += "/>" + LineEnd;
        return;
    }
    out += '>' + LineEnd;
    for (const auto& child : Children)
        child->WriteTo(out);
    out += indent + "</" + Name + ">" + LineEnd;
}

std::string TXMLNode::AsXML() const {
    std::string out;
    WriteTo(out);
    return out;
}

std::string NormalizeLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    ForEachLine(text, TLineEnds::Any, [&out](std::string_view line) {
        out.append(line);
        out += "\r\n";
    });
    return out;
}

std::unique_ptr<TXMLNode> LoadXMLFile(const std::string& fileName) {
    std::string raw;
    if (!ReadFileBytes(fileName, raw)) {
        XMLErrorCode = 0;
        XMLErrorPos = 0;
        return nullptr;
    }
    auto node = std::make_unique<TXMLNode>();
    node->LoadFromXML(NormalizeLineEnds(raw));
    if (XMLErrorCode != 0)
        return nullptr;
    return node;
}
