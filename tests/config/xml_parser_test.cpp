#include "config/GXmlUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A compact picture of a tree: name[params]{children} and "text" for text nodes.
std::string Shape(const TXMLNode& n) {
    std::string s;
    if (n.Name.empty())
        return '"' + n.Text + '"';
    s = n.Name;
    if (n.Params.Count())
        s += "[" + n.Params.ParamsText() + "]";
    if (!n.Data.empty())
        s += "(" + n.Data + ")";
    if (n.Count()) {
        s += "{";
        for (int i = 0; i < n.Count(); ++i)
            s += (i ? "," : "") + Shape(*n.GetNode(i));
        s += "}";
    }
    return s;
}

struct ParseCase {
    const char* Label;
    std::string Input;
    int Code;
    int Pos;
    std::string Tree; // expected Shape when Code is 0
};

class XmlParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(XmlParse, GivesTreeOrError) {
    const ParseCase& c = GetParam();
    TXMLNode node;
    node.LoadFromXML(c.Input);
    EXPECT_EQ(XMLErrorCode, c.Code);
    EXPECT_EQ(XMLErrorPos, c.Pos);
    if (c.Code == 0) {
        EXPECT_EQ(Shape(node), c.Tree);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, XmlParse,
    ::testing::Values(
        ParseCase{"selfclosing", "<a/>", 0, 0, "a"}, ParseCase{"emptypair", "<a></a>", 0, 0, "a"},
        ParseCase{"spacebeforeslash", "<a />", 0, 0, "a"},
        ParseCase{"text", "<a>hello</a>", 0, 0, "a{\"hello\"}"},
        ParseCase{"mixedquotes", "<a x=\"1\"  y='2'/>", 0, 0, "a[x=\"1\" y='2']"},
        ParseCase{"unquoted", "<a x=1/>", 3, 0, ""},
        ParseCase{"glued", "<a x=\"1\"y=\"2\"/>", 2, 1, ""},
        ParseCase{"blankafterequals", "<a x= \"1\"/>", 3, 0, ""},
        ParseCase{"doubledquote", "<a x=\"p\"\"q\"/>", 0, 0, "a[x=\"p\"\"q\"]"},
        ParseCase{"unclosed", "<a><b>", 4, 1, ""},
        ParseCase{"unclosedinner", "<r><a><b></a></r>", 4, 7, ""},
        ParseCase{"commentfirst", "<!-- c --><a/>", 0, 0, "!--( c )"},
        ParseCase{"declfirst", "<?xml version=\"1.0\"?><a/>", 0, 0, "?xml( version=\"1.0\")"},
        ParseCase{"cdata", "<a><[CDATA[x<y]]></a>", 0, 0, "a{[CDATA[(x<y)}"},
        ParseCase{"unterminatedcomment", "<a><!-- x</a>", 2, 4, ""},
        ParseCase{"samenamenested", "<a><a></a></a>", 4, 4, ""},
        ParseCase{"blanktextdropped", "<a> <b/>  \r\n <c/> </a>", 0, 0, "a{b,c}"},
        ParseCase{"textsaround", "<a> t1 <b/> t2 <c/> t3 </a>", 0, 0,
                  "a{\"t1\",b,\"t2\",c,\"t3\"}"},
        ParseCase{"lessthanintext", "<a>a < b</a>", 2, 6, ""},
        ParseCase{"ampersandkept", "<a>x &amp; y</a>", 0, 0, "a{\"x &amp; y\"}"},
        ParseCase{"plaintext", "just text", 1, 1, ""}, ParseCase{"empty", "", 1, 1, ""},
        ParseCase{"ltnearend", "ab<c", 1, 1, ""}, ParseCase{"blankaftertlt", "< a/>", 2, 1, ""},
        ParseCase{"slashfirst", "</a>", 2, 1, ""}, ParseCase{"nameendmissing", "<abc", 2, 1, ""},
        ParseCase{"tabinname", "<a\tb>x</a\tb>", 0, 0, "a\tb{\"x\"}"},
        ParseCase{"crlfattrs", "<a\r\n x=\"1\"\r\n/>", 0, 0, "a[x=\"1\"]"},
        ParseCase{"trailingignored", "<a/><b/>garbage<", 0, 0, "a"},
        ParseCase{"lasttagbadattr", "<r><p x=\"1\" y=\"2/></r>", 3, 0, ""},
        ParseCase{"noquoteclose", "<a x=\"1/>", 3, 0, ""},
        // A level ending on a malformed list fails the whole document, however deep it is.
        ParseCase{"nestedbadlist",
                  "<m><o id=\"1\"><p n=\"q\"\tv='x'/></o><o id=\"2\"/></m>", 3, 0, ""},
        ParseCase{"deepbadlist", "<m><o><g><p n=\"q\"\tv='x'/></g></o></m>", 3, 0, ""},
        ParseCase{"badlistthensibling", "<m><p n=\"q\"\tv='x'/><p n=\"r\"/></m>", 0, 0,
                  "m{p,p[n=\"r\"]}"},
        ParseCase{"nested", "<m><o id=\"1\"><p n=\"q\"/></o></m>", 0, 0,
                  "m{o[id=\"1\"]{p[n=\"q\"]}}"}),
    [](const ::testing::TestParamInfo<ParseCase>& i) { return std::string(i.param.Label); });

TEST(XmlParams, EntryPartsAndLookups) {
    struct Row {
        std::string Entry, Name, Value;
    } rows[] = {
        {"x=\"1\"", "x", "1"},     {"x='1'", "x", "1"},
        {"x=1", "x", "1"},         {"=\"1\"", "", ""},
        {"x=", "x", ""},           {"x", "", ""},
        {"x=\"1'", "x", "\"1'"},   {"x=\"\"", "x", ""},
        {"x=\"a=b\"", "x", "a=b"}, {"x=\"p\"\"q\"", "x", "p\"\"q"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TXMLParams::NameOf(r.Entry), r.Name) << r.Entry;
        EXPECT_EQ(TXMLParams::ValueOf(r.Entry), r.Value) << r.Entry;
    }
    TXMLParams p;
    EXPECT_EQ(ParseParams("a=\"1\" b='x y'  a=\"2\" bad c=\"3", p), 3);
    EXPECT_EQ(XMLErrorCode, 3);
    EXPECT_EQ(p.GetParam("a"), "1"); // first match wins
    EXPECT_EQ(p.GetParam("b"), "x y");
    EXPECT_EQ(p.GetParam("A"), ""); // names are case-sensitive
    EXPECT_EQ(p.SetParam("a", "9"), 0);
    EXPECT_EQ(p[0], "a=\"9\"");
    EXPECT_EQ(p.SetParam("z", "new"), 3);
    EXPECT_EQ(p.ParamsText(), "a=\"9\" b='x y' a=\"2\" z=\"new\"");
}

TEST(XmlParams, TabsAreNotSeparators) {
    TXMLParams p;
    EXPECT_EQ(ParseParams("a=\"1\"\tb=\"2\"", p), 1);
    EXPECT_EQ(p[0], "a=\"1\"\tb=\"2\"");
}

TEST(XmlParams, QuotesInValuesStillReadBack) {
    const std::string values[] = {"say \"hi\"", "it's", "both ' and \"", "plain"};
    for (const std::string& v : values) {
        TXMLNode n("a");
        n.Params.SetParam("v", v);
        TXMLNode back;
        back.LoadFromXML(n.AsXML());
        ASSERT_EQ(XMLErrorCode, 0) << v;
        std::string expected = v;
        if (v.find('\'') != std::string::npos && v.find('"') != std::string::npos)
            for (char& c : expected)
                if (c == '"')
                    c = '\'';
        EXPECT_EQ(back.Params.GetParam("v"), expected) << v;
    }
}

// Nothing is escaped, so a value may hold the very closing tag that ends its element or an
// element around it; the closing tag is the one outside every tag.
TEST(XmlNode, ValuesHoldingClosingTagsReadBack) {
    const std::string values[] = {"</top>", "</rec>", "a</top>b", "x\"</top>", "<rec v='1'>"};
    for (const std::string& v : values) {
        TXMLNode top("top");
        TXMLNode* mid = top.AddChild("rec");
        mid->Params.SetParam("v", v);
        mid->AddChild("p")->Params.SetParam("v", v);
        top.AddChild("last");
        TXMLNode back;
        back.LoadFromXML(NormalizeLineEnds(top.AsXML()));
        ASSERT_EQ(XMLErrorCode, 0) << v;
        ASSERT_EQ(back.Count(), 2) << v;
        EXPECT_EQ(back.GetNode(0)->Params.GetParam("v"), v);
        ASSERT_EQ(back.GetNode(0)->Count(), 1) << v;
        EXPECT_EQ(back.GetNode(0)->GetNode(0)->Params.GetParam("v"), v);
        EXPECT_EQ(back.GetNode(1)->Name, "last");
    }
    // Outside a tag's quoted values the first closing tag still ends the element.
    TXMLNode text;
    text.LoadFromXML("<top>it's <b/> done</top>");
    EXPECT_EQ(XMLErrorCode, 0);
    EXPECT_EQ(text.Count(), 3);
}

TEST(XmlNode, DepthLimit) {
    TXMLNode root("r");
    TXMLNode* n = &root;
    for (int i = 0; i < XMLMaxLevel; ++i)
        n = n->AddChild("n");
    EXPECT_EQ(n->Level, 256);
    EXPECT_EQ(n->AddChild("deeper"), nullptr);
    auto orphan = std::make_unique<TXMLNode>("o");
    EXPECT_EQ(n->AddNode(std::move(orphan)), -1);
    EXPECT_NE(orphan, nullptr); // refused nodes stay with the caller
}

TEST(XmlNode, DocumentDeeperThanTheTreeFailsCleanly) {
    // Distinct names, since an element cannot contain a descendant of its own name.
    auto nested = [](int depth, const std::string& inner) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "<d" + std::to_string(i) + ">";
        s += inner;
        for (int i = depth - 1; i >= 0; --i)
            s += "</d" + std::to_string(i) + ">";
        return s;
    };
    struct Row {
        int Depth;
        std::string Inner;
        int Code;
    } rows[] = {{257, "", 0}, {256, "x", 0}, {257, "  x", 2}, {258, "", 2}, {3000, "", 2}};
    for (const Row& r : rows) {
        TXMLNode node;
        const std::string text = nested(r.Depth, r.Inner);
        node.LoadFromXML(text);
        EXPECT_EQ(XMLErrorCode, r.Code) << r.Depth << r.Inner;
        if (r.Code == 0)
            continue;
        // The position names what was refused: the tag's "<", or the text's first character.
        const size_t refused = r.Inner.empty() ? text.find("<d257>") : text.find('x');
        EXPECT_EQ(XMLErrorPos, static_cast<int>(refused) + 1) << r.Depth;
    }
}

TEST(XmlNode, AddNodeRenumbersSubtree) {
    auto sub = std::make_unique<TXMLNode>("s");
    sub->AddChild("c")->AddChild("d");
    TXMLNode root("r");
    root.AddChild("x");
    TXMLNode* x = root.GetNode(0);
    ASSERT_EQ(x->AddNode(std::move(sub)), 0);
    EXPECT_EQ(x->GetNode(0)->GetNode(0)->GetNode(0)->Level, 4);
}

TEST(XmlNode, SetTextKeepsElementsAndLeavesOneTextLast) {
    TXMLNode a;
    a.LoadFromXML("<a>one<b/>two<c/>three</a>");
    ASSERT_EQ(XMLErrorCode, 0);
    a.SetText("new");
    ASSERT_EQ(a.Count(), 3);
    EXPECT_EQ(a.GetNode(0)->Name, "b");
    EXPECT_EQ(a.GetNode(1)->Name, "c");
    EXPECT_EQ(a.GetNode(2)->Text, "new");
}

TEST(XmlNode, FindChildByParamIsExact) {
    TXMLNode m;
    m.LoadFromXML("<m><o type=\"System\"/><o type=\"system\"/><o/></m>");
    EXPECT_EQ(m.FindChildByParam("type", "system"), 1);
    EXPECT_EQ(m.FindChildByParam("type", "sys"), -1);
    EXPECT_EQ(m.FindChildByParam("type", ""), -1);
}

TEST(XmlNode, ErrorStateIsPerThread) {
    TXMLNode n;
    n.LoadFromXML("<a><b>");
    ASSERT_EQ(XMLErrorCode, 4);
    int other = -1;
    std::thread([&] {
        TXMLNode t;
        t.LoadFromXML("<ok/>");
        other = XMLErrorCode;
    }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(XMLErrorCode, 4);
}

} // namespace
