#include "config/GXmlUtils.h"

#include <atomic>

#include <cstddef>
#include <optional>

thread_local int XMLErrorCode = 0;
thread_local int XMLErrorPos = 0;

namespace {

// Positions inside the scanner are 0-based; the error position handed out is 1-based.
using Pos = std::ptrdiff_t;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool IsNameEnd(char c) {
    return c == '>' || c == ' ' || c == '\r' || c == '\n';
}
bool IsSeparator(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

void SetError(int code, Pos pos0) {
    XMLErrorCode = code;
    XMLErrorPos = static_cast<int>(pos0 + 1);
}

std::string Trim(const std::string& s, Pos from, Pos to) {
    while (from <= to && IsBlank(s[static_cast<size_t>(from)]))
        ++from;
    while (to >= from && IsBlank(s[static_cast<size_t>(to)]))
        --to;
    return from <= to ? s.substr(static_cast<size_t>(from), static_cast<size_t>(to - from + 1))
                      : std::string();
}

// Where a refused text starts, for the error position.
Pos FirstNonBlank(const std::string& s, Pos from, Pos to) {
    while (from < to && IsBlank(s[static_cast<size_t>(from)]))
        ++from;
    return from;
}

Pos TrimRight(const std::string& s, Pos from, Pos to) {
    while (to >= from && IsBlank(s[static_cast<size_t>(to)]))
        --to;
    return to;
}

// True when `what` starts at `at` and ends no later than `last`.
bool At(const std::string& s, Pos at, Pos last, std::string_view what) {
    if (at < 0 || at + static_cast<Pos>(what.size()) - 1 > last)
        return false;
    return std::string_view(s).substr(static_cast<size_t>(at), what.size()) == what;
}

// First occurrence of `what` lying wholly within [from, last], or -1.
Pos FindIn(const std::string& s, std::string_view what, Pos from, Pos last) {
    if (from > last)
        return -1;
    const size_t p = s.find(what, static_cast<size_t>(from));
    if (p == std::string::npos || static_cast<Pos>(p + what.size()) - 1 > last)
        return -1;
    return static_cast<Pos>(p);
}

enum class ItemKind { Element, Comment, CData, Declaration };

struct TagItem {
    ItemKind Kind = ItemKind::Element;
    Pos Lt = 0;  // the "<"
    Pos End = 0; // the last ">" of the item (closing tag included)
    std::string Name;
    std::string Attributes; // trimmed attribute text of an element
    std::string Data;       // raw content of a comment, CDATA section or declaration
    Pos ContentFrom = 0;    // content range of an element; empty when ContentFrom > ContentTo
    Pos ContentTo = -1;
};

// The attribute part of a start tag, from `p` to `last`. Returns the position of the tag's ">"
// or nullopt; a failure sets code 3 only where the syntax is plainly an attribute error.
std::optional<Pos> ScanAttributes(const std::string& s, Pos p, Pos last) {
    for (;;) {
        while (p <= last && IsBlank(s[static_cast<size_t>(p)]))
            ++p;
        if (p > last)
            return std::nullopt;
        if (At(s, p, last, "/>"))
            return p + 1;
        if (s[static_cast<size_t>(p)] == '>')
            return p;
        Pos eq = p + 1;
        while (eq <= last && s[static_cast<size_t>(eq)] != '=' &&
               !IsSeparator(s[static_cast<size_t>(eq)]))
            ++eq;
        if (eq > last || s[static_cast<size_t>(eq)] != '=' || eq == last ||
            IsBlank(s[static_cast<size_t>(eq + 1)])) {
            XMLErrorCode = 3;
            return std::nullopt;
        }
        const char quote = s[static_cast<size_t>(eq + 1)];
        if (quote != '"' && quote != '\'') {
            XMLErrorCode = 3;
            return std::nullopt;
        }
        Pos close = eq + 2;
        for (;;) {
            while (close <= last && s[static_cast<size_t>(close)] != quote)
                ++close;
            if (close > last) {
                XMLErrorCode = 3;
                return std::nullopt;
            }
            if (close < last && s[static_cast<size_t>(close + 1)] == quote) {
                close += 2; // a doubled quote belongs to the value
                continue;
            }
            break;
        }
        if (close == last)
            return std::nullopt;
        const Pos next = close + 1;
        if (At(s, next, last, "/>"))
            return next + 1;
        if (s[static_cast<size_t>(next)] == '>')
            return next;
        if (!IsBlank(s[static_cast<size_t>(next)]))
            return std::nullopt;
        p = next + 1;
    }
}

// The first `closing` tag from `from` on that is no part of another tag: the quoted attribute
// values of the tags in between may hold any text, a closing tag's own included, since nothing
// is escaped when a value is written.
Pos FindClosing(const std::string& s, const std::string& closing, Pos from, Pos last) {
    bool inTag = false;
    char quote = 0;
    for (Pos i = from; i <= last; ++i) {
        const char c = s[static_cast<size_t>(i)];
        if (quote) {
            if (c != quote)
                continue;
            if (i < last && s[static_cast<size_t>(i + 1)] == quote)
                ++i; // a doubled quote belongs to the value
            else
                quote = 0;
            continue;
        }
        if (inTag) {
            if (c == '>')
                inTag = false;
            else if ((c == '"' || c == '\'') && s[static_cast<size_t>(i - 1)] == '=')
                quote = c;
            continue;
        }
        if (c != '<')
            continue;
        if (At(s, i, last, closing))
            return i;
        // A start tag, by the rule LocateTag reads one with; comments and the like are not.
        const char next = i < last ? s[static_cast<size_t>(i + 1)] : ' ';
        inTag = !IsBlank(next) && next != '/' && next != '<' && next != '>' && next != '!' &&
                next != '?' && next != '[';
    }
    return -1;
}

enum class Found { Tag, NoTag, Error };

Found LocateTag(const std::string& s, Pos from, Pos last, TagItem& item) {
    XMLErrorCode = 0;
    XMLErrorPos = 0;
    const Pos lt = FindIn(s, "<", from, last);
    if (lt < 0 || lt >= last - 1)
        return Found::NoTag;
    item = TagItem{};
    item.Lt = lt;

    struct Special {
        std::string_view Open, Close;
        ItemKind Kind;
        const char* Name;
    };
    static constexpr Special specials[] = {
        {"[CDATA[", "]]>", ItemKind::CData, "[CDATA["},
        {"!--", "-->", ItemKind::Comment, "!--"},
        {"?xml", "?>", ItemKind::Declaration, "?xml"},
    };
    for (const Special& sp : specials) {
        if (!At(s, lt + 1, last, sp.Open))
            continue;
        const Pos dataFrom = lt + 1 + static_cast<Pos>(sp.Open.size());
        const Pos close = FindIn(s, sp.Close, dataFrom, last);
        if (close < 0) {
            SetError(2, lt);
            return Found::Error;
        }
        item.Kind = sp.Kind;
        item.Name = sp.Name;
        item.Data = s.substr(static_cast<size_t>(dataFrom), static_cast<size_t>(close - dataFrom));
        item.End = close + static_cast<Pos>(sp.Close.size()) - 1;
        return Found::Tag;
    }

    const char first = s[static_cast<size_t>(lt + 1)];
    if (IsBlank(first) || first == '/' || first == '<' || first == '>') {
        SetError(2, lt);
        return Found::Error;
    }
    Pos nameEnd = lt + 2;
    while (nameEnd <= last && !IsNameEnd(s[static_cast<size_t>(nameEnd)]))
        ++nameEnd;
    if (nameEnd > last) {
        SetError(2, lt);
        return Found::Error;
    }

    Pos gt;
    Pos attrFrom = nameEnd;
    if (s[static_cast<size_t>(nameEnd)] == '>') {
        gt = nameEnd;
        const bool selfClosing = s[static_cast<size_t>(gt - 1)] == '/' && gt - 1 > lt + 1;
        item.Name = s.substr(static_cast<size_t>(lt + 1),
                             static_cast<size_t>((selfClosing ? gt - 1 : gt) - lt - 1));
        attrFrom = gt; // no attribute text
    } else {
        item.Name = s.substr(static_cast<size_t>(lt + 1), static_cast<size_t>(nameEnd - lt - 1));
        const std::optional<Pos> end = ScanAttributes(s, nameEnd, last);
        if (!end) {
            if (XMLErrorCode != 3)
                SetError(2, lt);
            return Found::Error;
        }
        gt = *end;
    }

    if (s[static_cast<size_t>(gt - 1)] == '/' && gt - 1 >= attrFrom) {
        item.Attributes = Trim(s, attrFrom, gt - 2);
        item.End = gt;
        return Found::Tag;
    }
    if (s[static_cast<size_t>(gt - 1)] == '/' && attrFrom == gt) {
        item.End = gt; // "<name/>"
        return Found::Tag;
    }
    const std::string closing = "</" + item.Name + ">";
    // A document with a quote left open finds no closing tag that way; the first one then
    // stands, so that the fault is told where it is, in the element inside.
    Pos close = FindClosing(s, closing, gt + 1, last);
    if (close < 0)
        close = FindIn(s, closing, gt + 1, last);
    if (close < 0) {
        SetError(4, lt);
        return Found::Error;
    }
    if (attrFrom < gt)
        item.Attributes = Trim(s, attrFrom, gt - 1);
    item.ContentFrom = gt + 1;
    item.ContentTo = TrimRight(s, gt + 1, close - 1);
    item.End = close + static_cast<Pos>(closing.size()) - 1;
    return Found::Tag;
}

void FillItem(TXMLNode& node, const TagItem& item) {
    if (item.Kind != ItemKind::Element)
        node.Data = item.Data;
    if (!item.Attributes.empty())
        ParseParams(item.Attributes, node.Params);
}

bool ParseChildren(TXMLNode& node, const std::string& s, Pos from, Pos last) {
    for (;;) {
        TagItem item;
        const Found found = LocateTag(s, from, last, item);
        if (found == Found::Error)
            return false;
        if (found == Found::NoTag) {
            // The rest is text after the last tag.
            const std::string text = Trim(s, from, last);
            if (!text.empty()) {
                TXMLNode* child = node.AddChild("");
                if (!child) {
                    SetError(2, FirstNonBlank(s, from, last));
                    return false;
                }
                child->Text = text;
            }
            XMLErrorCode = 0;
            XMLErrorPos = 0;
            return true;
        }
        const std::string before = Trim(s, from, item.Lt - 1);
        if (!before.empty()) {
            TXMLNode* text = node.AddChild("");
            if (!text) {
                SetError(2, FirstNonBlank(s, from, item.Lt - 1));
                return false;
            }
            text->Text = before;
        }
        TXMLNode* child = node.AddChild(item.Name);
        if (!child) {
            // Deeper than the tree may go: a parse failure, never a use of the refused child.
            SetError(2, item.Lt);
            return false;
        }
        FillItem(*child, item);
        // A nested level that ends on a malformed attribute list still fails the document: the
        // next tag search here would clear the code and the entries would be lost on saving.
        if (item.Kind == ItemKind::Element && item.ContentFrom <= item.ContentTo &&
            (!ParseChildren(*child, s, item.ContentFrom, item.ContentTo) || XMLErrorCode != 0))
            return false;
        const Pos restTo = TrimRight(s, item.End + 1, last);
        if (restTo < item.End + 1)
            return true;
        from = item.End + 1;
        last = restTo;
    }
}

} // namespace

// ---- TXMLParams ----

void TXMLParams::Delete(int index) {
    if (index >= 0 && index < Count())
        Items.erase(Items.begin() + index);
}

std::string TXMLParams::NameOf(const std::string& entry) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0)
        return {};
    return entry.substr(0, eq);
}

std::string TXMLParams::ValueOf(const std::string& entry) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == entry.size())
        return {};
    const char open = entry[eq + 1];
    const char close = entry.back();
    if ((open == '"' || open == '\'') && open == close && eq + 2 < entry.size())
        return entry.substr(eq + 2, entry.size() - eq - 3);
    if ((open == '"' || open == '\'') && eq + 2 == entry.size())
        return {}; // a lone quote: nothing between it and itself
    return entry.substr(eq + 1);
}

int TXMLParams::IndexOfParam(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (NameOf(Items[static_cast<size_t>(i)]) == name)
            return i;
    return -1;
}

std::string TXMLParams::GetParam(const std::string& name) const {
    const int i = IndexOfParam(name);
    return i < 0 ? std::string() : ValueOf(Items[static_cast<size_t>(i)]);
}

int TXMLParams::SetParam(const std::string& name, const std::string& value) {
    // Nothing is escaped, so a value must not contain its enclosing quote or the document would
    // no longer read back: single quotes around a value with double quotes, and where it holds
    // both kinds its double quotes become single ones.
    std::string entry;
    const bool hasDouble = value.find('"') != std::string::npos;
    const bool hasSingle = value.find('\'') != std::string::npos;
    if (hasDouble && !hasSingle) {
        entry = name + "='" + value + "'";
    } else if (hasDouble) {
        std::string v = value;
        for (char& c : v)
            if (c == '"')
                c = '\'';
        entry = name + "=\"" + v + "\"";
    } else {
        entry = name + "=\"" + value + "\"";
    }
    const int i = IndexOfParam(name);
    if (i >= 0) {
        Items[static_cast<size_t>(i)] = std::move(entry);
        return i;
    }
    Items.push_back(std::move(entry));
    return Count() - 1;
}

std::string TXMLParams::ParamsText() const {
    std::string out;
    for (size_t i = 0; i < Items.size(); ++i) {
        if (i)
            out += ' ';
        out += Items[i];
    }
    return out;
}

namespace {
bool WellFormedEntry(const std::string& e) {
    const size_t eq = e.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 2 >= e.size())
        return false;
    const char open = e[eq + 1];
    return (open == '"' || open == '\'') && e.back() == open;
}
} // namespace

int ParseParams(const std::string& s, TXMLParams& list) {
    list.Clear();
    std::string part;
    char quote = 0;
    auto flush = [&] {
        if (!part.empty())
            list.Add(std::move(part));
        part.clear();
    };
    for (char c : s) {
        if (quote) {
            part += c;
            if (c == quote)
                quote = 0;
        } else if (IsSeparator(c)) {
            flush();
        } else {
            if (c == '"' || c == '\'')
                quote = c;
            part += c;
        }
    }
    flush();
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (!WellFormedEntry(list[i])) {
            list.Delete(i);
            XMLErrorCode = 3;
        }
    }
    return list.Count();
}

// ---- TXMLNode ----

namespace {
std::atomic<std::uint64_t> NodeSerials{0};
}

TXMLNode::TXMLNode(std::string name) : Serial(++NodeSerials), Name(std::move(name)) {}

int TXMLNode::AddNode(std::unique_ptr<TXMLNode>&& node) {
    if (!node || Level >= XMLMaxLevel)
        return -1;
    node->SetLevel(Level + 1);
    Children.push_back(std::move(node));
    return Count() - 1;
}

TXMLNode* TXMLNode::AddChild(const std::string& name) {
    auto node = std::make_unique<TXMLNode>(name);
    TXMLNode* raw = node.get();
    return AddNode(std::move(node)) < 0 ? nullptr : raw;
}

void TXMLNode::Delete(int index) {
    if (index >= 0 && index < Count())
        Children.erase(Children.begin() + index);
}

int TXMLNode::FindChildByParam(const std::string& name, const std::string& value) const {
    for (int i = 0; i < Count(); ++i) {
        const TXMLParams& p = Children[static_cast<size_t>(i)]->Params;
        if (p.IndexOfParam(name) >= 0 && p.GetParam(name) == value)
            return i;
    }
    return -1;
}

void TXMLNode::SetText(const std::string& s) {
    if (Name.empty()) {
        Text = s;
        return;
    }
    for (int i = Count() - 1; i >= 0; --i)
        if (Children[static_cast<size_t>(i)]->Name.empty())
            Delete(i);
    if (TXMLNode* text = AddChild(""))
        text->Text = s;
}

void TXMLNode::ClearAll() {
    Params.Clear();
    Children.clear();
}

void TXMLNode::SetLevel(int n) {
    if (n == Level)
        return;
    Level = n;
    for (auto& child : Children)
        child->SetLevel(n + 1);
}

void TXMLNode::LoadFromXML(const std::string& s) {
    ClearAll();
    Name.clear();
    Text.clear();
    Data.clear();
    TagItem item;
    const Found found = LocateTag(s, 0, static_cast<Pos>(s.size()) - 1, item);
    if (found == Found::NoTag) {
        Text = s;
        SetError(1, 0);
        return;
    }
    if (found == Found::Error)
        return;
    Name = item.Name;
    // A top comment, CDATA section or declaration keeps its content too, or it would be written
    // back empty.
    FillItem(*this, item);
    if (item.Kind == ItemKind::Element && item.ContentFrom <= item.ContentTo)
        ParseChildren(*this, s, item.ContentFrom, item.ContentTo);
}
