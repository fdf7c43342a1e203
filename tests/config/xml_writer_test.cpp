#include "config/GXmlUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

TEST(XmlWriter, LayoutOfEveryKindOfNode) {
    TXMLNode m("message");
    TXMLNode* o = m.AddChild("object");
    o->AddChild("param");
    EXPECT_EQ(m.AsXML(), "<message>\r\n <object>\r\n  <param/>\r\n </object>\r\n</message>\r\n");

    TXMLNode a;
    a.LoadFromXML("<a x=\"1\"  y='2'><!--c--><[CDATA[ raw ]]>hello<?xml v=\"1\"?><e k='v'/></a>");
    ASSERT_EQ(XMLErrorCode, 0);
    EXPECT_EQ(a.AsXML(), "<a x=\"1\" y='2'>\r\n <!--c-->\r\n <[CDATA[ raw ]]>\r\n hello\r\n"
                         " <?xml/>\r\n <e k='v'/>\r\n</a>\r\n");
}

// Parse, write, parse again: the same tree, and writing it again gives the same bytes.
TEST(XmlWriter, RoundTrips) {
    const std::string docs[] = {
        "<a/>",
        "<a>hello</a>",
        "<m from=\"x\" to='y'><o id=\"1\"><p name=\"q\" val=\"0,5 1\"/></o>tail</m>",
        "<r>\r\n  <!-- keep  this -->\r\n  <c>  spaced   text  </c>\r\n</r>",
        "<r><x a=\"p\"\"q\"/><y>one<z/>two</y></r>",
    };
    for (const std::string& doc : docs) {
        TXMLNode first;
        first.LoadFromXML(doc);
        ASSERT_EQ(XMLErrorCode, 0) << doc;
        const std::string written = first.AsXML();
        TXMLNode second;
        second.LoadFromXML(written);
        ASSERT_EQ(XMLErrorCode, 0) << written;
        EXPECT_EQ(second.AsXML(), written) << doc;
    }
}

TEST(XmlWriter, LineEndsAreNormalisedLikeAFileRead) {
    struct Row {
        std::string In, Out;
    } rows[] = {{"", ""},
                {"a", "a\r\n"},
                {"a\n", "a\r\n"},
                {"a\rb\r\nc\nd", "a\r\nb\r\nc\r\nd\r\n"},
                {"\r\r\n", "\r\n\r\n"},
                {"\n\n", "\r\n\r\n"}};
    for (const Row& r : rows)
        EXPECT_EQ(NormalizeLineEnds(r.In), r.Out);
}

TEST(XmlFile, MissingUnparsableAndGood) {
    XMLErrorCode = 4;
    EXPECT_EQ(LoadXMLFile("/nonexistent/kervola/x.xml"), nullptr);
    EXPECT_EQ(XMLErrorCode, 0);                            // nothing was parsed
    EXPECT_EQ(LoadXMLFile(::testing::TempDir()), nullptr); // a folder reads as no file
    const std::string path =
        ::testing::TempDir() + "kervola_xml_file_test_" + std::to_string(::getpid()) + ".xml";
    { std::ofstream(path, std::ios::binary) << "<a><b>"; }
    EXPECT_EQ(LoadXMLFile(path), nullptr);
    EXPECT_EQ(XMLErrorCode, 4);
    { std::ofstream(path, std::ios::binary) << "<a>\nline1\rline2\n</a>"; }
    auto node = LoadXMLFile(path);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->Count(), 1);
    EXPECT_EQ(node->GetNode(0)->Text, "line1\r\nline2");
    std::remove(path.c_str());
}

} // namespace
