#pragma once
// The XML-like document tree, its attribute list and the forgiving scanner. Bytes in, bytes out:
// no entities, no escaping, no encoding conversion. Errors go to the per-thread XMLErrorCode and
// XMLErrorPos, never to exceptions.

#include "platform/FileRead.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// 0 none, 1 no tag (plain text), 2 malformed tag, missing terminator or nesting deeper than the
// tree allows, 3 malformed attribute, 4 closing tag not found. Positions are 1-based.
extern thread_local int XMLErrorCode;
extern thread_local int XMLErrorPos;

// Attribute values must be quoted; there is no switch to turn this off.
inline constexpr bool XMLStrictParams = true;

inline constexpr int XMLMaxLevel = 256;

// Raw attribute entries (name="value" or name='value'), kept exactly as read or built.
class TXMLParams {
public:
    int Count() const { return static_cast<int>(Items.size()); }
    const std::string& operator[](int index) const { return Items[static_cast<size_t>(index)]; }
    void Add(std::string entry) { Items.push_back(std::move(entry)); }
    void Delete(int index);
    void Clear() { Items.clear(); }

    std::string GetParam(const std::string& name) const;
    int SetParam(const std::string& name, const std::string& value);
    int IndexOfParam(const std::string& name) const;
    std::string ParamsText() const;

    static std::string NameOf(const std::string& entry);
    static std::string ValueOf(const std::string& entry);

private:
    std::vector<std::string> Items;
};

int ParseParams(const std::string& s, TXMLParams& list);

class TXMLNode {
public:
    explicit TXMLNode(std::string name = {});
    TXMLNode(const TXMLNode&) = delete;
    TXMLNode& operator=(const TXMLNode&) = delete;

    // Unique among all nodes ever made: tells a document apart from a later one that happens to
    // live at the same address.
    const std::uint64_t Serial;
    std::string LineEnd = "\r\n";
    std::string Name; // empty: text node; "!--", "[CDATA[", "?xml": comment, CDATA, declaration
    std::string Text;
    std::string Data;
    TXMLParams Params;
    int Level = 0;

    // Takes the node and returns its index; -1 (node left with the caller) at the depth limit.
    int AddNode(std::unique_ptr<TXMLNode>&& node);
    TXMLNode* AddChild(const std::string& name); // nullptr when refused
    TXMLNode* GetNode(int index) const { return Children[static_cast<size_t>(index)].get(); }
    int Count() const { return static_cast<int>(Children.size()); }
    void Delete(int index);
    int FindChildByParam(const std::string& name, const std::string& value) const;
    void SetText(const std::string& s);
    std::string AsXML() const;
    void LoadFromXML(const std::string& s);
    void ClearAll();
    void SetLevel(int n);

private:
    void WriteTo(std::string& out) const;
    std::vector<std::unique_ptr<TXMLNode>> Children;
};

// The text as lines (CR, LF or CR LF end a line), each followed by CR LF: how documents are read
// from and written to files.
std::string NormalizeLineEnds(const std::string& text);

// nullptr when the file is missing or does not parse; a file that cannot be read leaves the error
// state clear.
std::unique_ptr<TXMLNode> LoadXMLFile(const std::string& fileName);
