#include "config/XMLConfig.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace {

const std::string DefaultDocument =
    "<message from=\"Kervola 5.01\" to=\"ZELMONT_SF\" type=\"config\">\r\n"
    " <object id=\"0\" descr=\"SYSTEM SETTINGS\" type=\"system\">\r\n"
    "  <param name=\"tcpport\" type=\"int\" val=\"8080\"/>\r\n"
    "  <param name=\"datainterval\" type=\"int\" val=\"300\"/>\r\n"
    "  <param name=\"jpegquality\" type=\"int\" val=\"70\"/>\r\n"
    "  <param name=\"miles\" type=\"int\" val=\"0\"/>\r\n"
    "  <param name=\"login\" type=\"string\" val=\"root\"/>\r\n"
    "  <param name=\"pass\" type=\"string\" val=\"kvtp\"/>\r\n"
    "  <param name=\"backup\" type=\"int\" val=\"3600\"/>\r\n"
    "  <param name=\"classes\" type=\"set\" val=\"2,0 3,0 5,5 8,0 12,5 18,75\"/>\r\n"
    " </object>\r\n"
    " <object id=\"1\" descr=\"SERIAL PORT\" type=\"serial\">\r\n"
    "  <param name=\"proto\" type=\"string\" val=\"edge\"/>\r\n"
    "  <param name=\"address\" type=\"string\" val=\"0000\"/>\r\n"
    "  <param name=\"baudrate\" type=\"int\" val=\"38400\"/>\r\n"
    "  <param name=\"port\" type=\"string\" val=\"/dev/ttyS0\"/>\r\n"
    " </object>\r\n"
    " <object id=\"2\" descr=\"CAMERA\" type=\"source\">\r\n"
    "  <param name=\"resolution\" type=\"string\" val=\"full\"/>\r\n"
    "  <param name=\"jpegrate\" type=\"string\" val=\"high\"/>\r\n"
    "  <param name=\"device\" type=\"string\" val=\"/dev/video0\"/>\r\n"
    " </object>\r\n"
    "</message>\r\n";

std::string SensorLines(const std::string& id, const std::string& val) {
    return " <object id=\"" + id + "\" descr=\"Sensor " + id + "\" type=\"detector\">\r\n" +
           "  <param name=\"quadrangle\" type=\"set\" val=\"" + val + "\"/>\r\n" + " </object>\r\n";
}

std::string WithSensors(const std::string& sensors) {
    std::string doc = DefaultDocument;
    doc.insert(doc.size() - std::string("</message>\r\n").size(), sensors);
    return doc;
}

class ConfigTest : public ::testing::Test {
protected:
    void TearDown() override { SetDecimalSeparator(0); }
};

TEST_F(ConfigTest, DefaultDocumentIsByteExact) {
    TXMLConfig c;
    EXPECT_EQ(c.AsText(), DefaultDocument); // no document yet: the default one
    int lines = 0;
    for (char ch : DefaultDocument)
        lines += ch == '\n';
    EXPECT_EQ(lines, 23);
    c.CreateDefault("", "");
    EXPECT_EQ(c.TopNode->Params.ParamsText(), "from=\"\" to=\"\" type=\"config\"");
}

TEST_F(ConfigTest, SensorsWrittenWithTheLocaleSeparator) {
    for (char sep : {'.', ','}) {
        SetDecimalSeparator(sep);
        TXMLConfig c;
        TQuadList zones;
        c.AddSensor(zones, "1", DefaultQuad(0));
        c.AddSensor(zones, "7", {{{0.1, 0.2}, {0.1, 0.6}, {0.5, 0.6}, {0.5, 0.2}}});
        std::string v1 = "0.200 0.450 0.200 0.300 0.600 0.300 0.600 0.450";
        std::string v2 = "0.100 0.200 0.100 0.600 0.500 0.600 0.500 0.200";
        if (sep == ',') {
            std::replace(v1.begin(), v1.end(), '.', ',');
            std::replace(v2.begin(), v2.end(), '.', ',');
        }
        std::string expected = WithSensors(SensorLines("1", v1) + SensorLines("7", v2));
        // AddSensor on an empty document makes the default with its own sender name.
        expected.replace(expected.find("Kervola 5.01"), 12, "KERVOLA");
        EXPECT_EQ(c.AsText(), expected) << sep;
        ASSERT_EQ(zones.Count(), 2);
        EXPECT_EQ(zones.Quad(1)->Id, "7");
        EXPECT_EQ(zones.Quad(1)->NodeIndex, 4);
    }
}

TEST_F(ConfigTest, NumberFormatting) {
    SetDecimalSeparator('.');
    struct Row {
        double V;
        const char* Text;
    } rows[] = {{0.2, "0.200"},        {0.12345, "0.123"},    {0.1235, "0.123"},
                {0.0625, "0.063"},     {0.9996, "1.000"},     {0, "0.000"},
                {-0.0001, "0.000"},    {-0.25, "-0.250"},     {12.3456, "12.350"},
                {1234.56, "1235.000"}, {123456, "123500.000"}};
    for (const Row& r : rows) {
        TQuadPoints q{};
        q[0].X = r.V;
        EXPECT_EQ(QuadToText(q).substr(0, QuadToText(q).find(' ')), r.Text) << r.V;
    }
}

// The user's locale as the program and kervola-cli take it at start, restored afterwards.
class RussianLocale {
public:
    RussianLocale() : Saved(std::setlocale(LC_ALL, nullptr)) {
        Ok = std::setlocale(LC_ALL, "ru_RU.UTF-8") != nullptr;
    }
    ~RussianLocale() { std::setlocale(LC_ALL, Saved.c_str()); }
    bool Ok = false;

private:
    std::string Saved;
};

TEST_F(ConfigTest, RussianLocaleWritesDecimalCommasAndReadsBoth) {
    RussianLocale ru;
    ASSERT_TRUE(ru.Ok) << "the ru_RU.UTF-8 locale is missing: run scripts/install-deps.sh";
    EXPECT_EQ(DecimalSeparator(), ',');
    TQuadPoints q = {{{0.1, 0.6}, {0.0625, 1}, {12.3456, -0.25}, {1234.56, 0}}};
    EXPECT_EQ(QuadToText(q), "0,100 0,600 0,063 1,000 12,350 -0,250 1235,000 0,000");
    TQuadPoints back{};
    ASSERT_TRUE(TextToQuad(QuadToText(q), back));
    EXPECT_DOUBLE_EQ(back[0].X, 0.1);
    EXPECT_DOUBLE_EQ(back[2].Y, -0.25);
    ASSERT_TRUE(TextToQuad("0.5 0,5 1 1 1 1 1 1", back));
    EXPECT_DOUBLE_EQ(back[0].X, 0.5);
    EXPECT_DOUBLE_EQ(back[0].Y, 0.5);

    // A separator chosen by the caller is the only one written, whatever LC_NUMERIC holds.
    SetDecimalSeparator('.');
    EXPECT_EQ(QuadToText(q), "0.100 0.600 0.063 1.000 12.350 -0.250 1235.000 0.000");

    // A whole document saved and read back under the locale keeps its zones.
    SetDecimalSeparator(0);
    TXMLConfig c;
    TQuadList zones;
    c.AddSensor(zones, "1", {{{0.1, 0.2}, {0.1, 0.6}, {0.5, 0.6}, {0.5, 0.2}}});
    EXPECT_NE(c.AsText().find("val=\"0,100 0,200 0,100 0,600 0,500 0,600 0,500 0,200\""),
              std::string::npos);
    TXMLConfig read;
    ASSERT_TRUE(read.LoadFromText(c.AsText()));
    TQuadList readZones;
    read.ReadSensors(readZones);
    ASSERT_EQ(readZones.Count(), 1);
    EXPECT_DOUBLE_EQ(readZones.Quad(0)->Points[2].X, 0.5);
    EXPECT_DOUBLE_EQ(readZones.Quad(0)->Points[0].Y, 0.2);
}

TEST_F(ConfigTest, TextToQuadAcceptsBothSeparators) {
    for (char sep : {'.', ','}) {
        SetDecimalSeparator(sep);
        TQuadPoints q{};
        ASSERT_TRUE(TextToQuad("0,5 0.5  1\r\n2 x 1e-1 -0.25 +3", q));
        EXPECT_DOUBLE_EQ(q[0].X, 0.5);
        EXPECT_DOUBLE_EQ(q[0].Y, 0.5);
        EXPECT_DOUBLE_EQ(q[1].X, 1);
        EXPECT_DOUBLE_EQ(q[1].Y, 2);
        EXPECT_DOUBLE_EQ(q[2].X, 0); // does not convert
        EXPECT_DOUBLE_EQ(q[2].Y, 0.1);
        EXPECT_DOUBLE_EQ(q[3].X, -0.25);
        EXPECT_DOUBLE_EQ(q[3].Y, 3);
    }
    TQuadPoints q{};
    q[0].X = 42;
    for (const char* bad : {"1 2 3 4 5 6 7", "1 2 3 4 5 6 7 8 9", "", "1\t2 3 4 5 6 7 8"}) {
        EXPECT_FALSE(TextToQuad(bad, q)) << bad;
        EXPECT_EQ(q[0].X, 42); // left unchanged
    }
    ASSERT_TRUE(TextToQuad("nan inf 1e999 0x10 1,2,3 . - 0", q));
    for (const TFloatPoint& p : q) {
        EXPECT_EQ(p.X, 0);
        EXPECT_EQ(p.Y, 0);
    }
}

TEST_F(ConfigTest, ReadSensorsRules) {
    SetDecimalSeparator('.');
    const std::string doc =
        "<message from=\"a\" to=\"b\" type=\"config\">"
        "<object id=\"0\" type=\"system\"><param name=\"quadrangle\" val=\"0 0 0 0 0 0 0 "
        "0\"/></object>"
        "<object id=\"5\" type=\"detector\"><param name=\"quadrangle\" type=\"set\" val=\"0 0 0 0 "
        "0 0 0 0\"/></object>"
        "<object id=\"6\" type=\"Detector\"><param name=\"quadrangle\" val=\"0 0 0 0 0 0 0 "
        "0\"/></object>"
        "<object id=\"7\" type=\"detector\"><param name=\"quadrangle\" val=\"1 2 3 4 5 6 7\"/>"
        "<param name=\"quadrangle\" val=\"0,1 0,1 0,1 0,5 0,5 0,5 0,5 0,1\"/>"
        "<param name=\"other\" val=\"x\"/>"
        "<param name=\"quadrangle\" val=\"0.2 0.2 0.2 0.4 0.4 0.4 0.4 0.2\"/></object>"
        "</message>";
    TXMLConfig c;
    ASSERT_TRUE(c.LoadFromText(doc));
    TQuadList zones;
    zones.SelectedIndex = 2;
    c.ReadSensors(zones);
    ASSERT_EQ(zones.Count(), 3);
    EXPECT_EQ(zones.Quad(0)->Id, "5");
    EXPECT_EQ(zones.Quad(0)->NodeIndex, 1);
    EXPECT_EQ(zones.Quad(1)->Id, "7");
    EXPECT_EQ(zones.Quad(2)->NodeIndex, 3);
    EXPECT_EQ(zones.SelectedIndex, 2); // kept while zones exist
    const TXMLNode* s5 = c.TopNode->GetNode(1)->GetNode(0);
    EXPECT_EQ(s5->Params.GetParam("val"), "0.200 0.450 0.200 0.300 0.600 0.300 0.600 0.450");
    const TXMLNode* s7 = c.TopNode->GetNode(3);
    EXPECT_EQ(s7->GetNode(0)->Params.GetParam("val"), "1 2 3 4 5 6 7"); // untouched
    EXPECT_EQ(s7->GetNode(1)->Params.GetParam("val"),
              "0.100 0.100 0.100 0.500 0.500 0.500 0.500 0.100");
    EXPECT_EQ(c.TopNode->GetNode(0)->GetNode(0)->Params.GetParam("val"), "0 0 0 0 0 0 0 0");

    TXMLConfig none;
    TQuadList empty;
    none.ReadSensors(empty);
    EXPECT_EQ(empty.SelectedIndex, -1);
}

// A faulty quadrangle is replaced by a default one whose corners (0.47 and such) have no exact
// three-decimal form: the zone must hold what the document says, or it changes once saved.
TEST_F(ConfigTest, ReplacedQuadrangleIsHeldAsTheDocumentHoldsIt) {
    SetDecimalSeparator('.');
    TXMLConfig c;
    c.CreateDefault("a", "b");
    TQuadList zones;
    c.AddSensor(zones, "1", DefaultQuad(0));
    c.AddEmptySensor(zones, "2");
    c.AddEmptySensor(zones, "3");
    ASSERT_EQ(zones.Count(), 3);
    TXMLConfig back;
    ASSERT_TRUE(back.LoadFromText(c.AsText()));
    TQuadList again;
    back.ReadSensors(again);
    ASSERT_EQ(again.Count(), 3);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(zones.Quad(i)->Points[k].X, again.Quad(i)->Points[k].X) << i << " " << k;
            EXPECT_EQ(zones.Quad(i)->Points[k].Y, again.Quad(i)->Points[k].Y) << i << " " << k;
        }
}

TEST_F(ConfigTest, SensorEditingThroughTheDocument) {
    SetDecimalSeparator('.');
    TXMLConfig c;
    TQuadList zones;
    c.AddEmptySensor(zones, "1");
    c.AddEmptySensor(zones, "2");
    c.AddEmptySensor(zones, "3");
    ASSERT_EQ(zones.Count(), 3);
    EXPECT_EQ(c.TopNode->Params.GetParam("from"), "Kervola 5.01");
    // An empty sensor becomes the default zone for its index.
    EXPECT_DOUBLE_EQ(zones.Quad(2)->Points[0].X, 0.24);
    EXPECT_DOUBLE_EQ(zones.Quad(2)->Points[0].Y, 0.49);

    zones.Quad(0)->Points = {{{0.1, 0.1}, {0.1, 0.3}, {0.3, 0.3}, {0.3, 0.1}}};
    c.UpdateSensorGeometry(zones, 0);
    c.UpdateSensorGeometry(zones, -1);
    c.UpdateSensorGeometry(zones, 99);
    EXPECT_EQ(c.TopNode->GetNode(3)->GetNode(0)->Params.GetParam("val"),
              "0.100 0.100 0.100 0.300 0.300 0.300 0.300 0.100");

    c.ChangeSensorId(zones, 0, zones.Quad(0)->Points, "9");
    ASSERT_EQ(zones.Count(), 3);
    EXPECT_EQ(zones.Quad(2)->Id, "9");
    EXPECT_DOUBLE_EQ(zones.Quad(2)->Points[2].X, 0.3);
    EXPECT_EQ(zones.Quad(0)->Id, "2");

    c.DeleteSensor(zones, 1);
    ASSERT_EQ(zones.Count(), 2);
    EXPECT_EQ(zones.Quad(0)->Id, "2");
    EXPECT_EQ(zones.Quad(1)->Id, "9");
    EXPECT_EQ(zones.IndexOfId("3"), -1);
    c.DeleteSensor(zones, 5); // out of range: nothing
    EXPECT_EQ(zones.Count(), 2);
}

TEST_F(ConfigTest, LoadFromTextFailureAndTarget) {
    TXMLConfig c;
    EXPECT_EQ(c.GetTarget(), "");
    EXPECT_FALSE(c.LoadFromText("not xml"));
    EXPECT_TRUE(c.LoadFromText("<message to=\"Пост 7\"/>"));
    EXPECT_EQ(c.GetTarget(), "Пост 7");
}

TEST_F(ConfigTest, FilesSaveAtomicallyAndLoadBack) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("kervola_config_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "det.xml").string();

    TXMLConfig empty;
    EXPECT_FALSE(empty.SaveToFile(file));
    EXPECT_FALSE(empty.LoadFromFile(file));
    EXPECT_EQ(empty.TopNode, nullptr);

    TXMLConfig c;
    TQuadList zones;
    c.AddSensor(zones, "1", DefaultQuad(1));
    // Text with a bare LF inside is written with CR LF, as any line of the file.
    c.TopNode->AddChild("")->Text = "a\nb";
    ASSERT_TRUE(c.SaveToFile(file));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, NormalizeLineEnds(c.AsText()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    TXMLConfig back;
    ASSERT_TRUE(back.LoadFromFile(file));
    EXPECT_EQ(back.AsText(), bytes);

    EXPECT_FALSE(c.SaveToFile((dir / "missing" / "x.xml").string()));
    { std::ofstream(file, std::ios::binary) << "<broken>"; }
    EXPECT_FALSE(back.LoadFromFile(file));
    EXPECT_EQ(back.TopNode, nullptr);
    fs::remove_all(dir);
}

} // namespace
