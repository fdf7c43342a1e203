// The settings dialog's document mapping, its class check and the administration texts, without
// widgets.
#include "channel/AdminText.h"
#include "settings/SettingsValues.h"

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

std::unique_ptr<TXMLNode> Parse(const std::string& text) {
    auto top = std::make_unique<TXMLNode>();
    top->LoadFromXML(text);
    return top;
}

std::string Store(const TSettingsValues& v, const std::string& document) {
    auto top = Parse(document);
    StoreToDocument(v, top.get());
    return top->AsXML();
}

const char* const FullDocument =
    "<config from=\"x\" to=\"DET\">\r\n"
    " <object id=\"0\" descr=\"SYSTEM SETTINGS\" type=\"system\">\r\n"
    "  <param name=\"datainterval\" type=\"int\" val=\"300\"/>\r\n"
    "  <param name=\"jpegquality\" type=\"int\" val=\"70\"/>\r\n"
    "  <param name=\"miles\" type=\"int\" val=\"1\"/>\r\n"
    "  <param name=\"classes\" type=\"set\" val=\"1,0 2,0 3,0 4,0 5,0 6,0\"/>\r\n"
    " </object>\r\n"
    " <object id=\"2\" descr=\"CAMERA\" type=\"source\">\r\n"
    "  <param name=\"resolution\" type=\"string\" val=\"mid\"/>\r\n"
    "  <param name=\"jpegrate\" type=\"string\" val=\"low\"/>\r\n"
    " </object>\r\n"
    " <object id=\"1\" descr=\"SERIAL PORT\" type=\"serial\">\r\n"
    "  <param name=\"port\" type=\"string\" val=\"/dev/ttyUSB0\"/>\r\n"
    "  <param name=\"baudrate\" type=\"int\" val=\"9600\"/>\r\n"
    " </object>\r\n"
    " <object id=\"0\" descr=\"LOGIC TRIGGERS\" type=\"triggers\">\r\n"
    "  <param name=\"trigger\" type=\"string\" val=\"1 &amp; 2\"/>\r\n"
    "  <param name=\"other\" type=\"string\" val=\"skipped\"/>\r\n"
    "  <param name=\"trigger\" type=\"string\" val=\"3\"/>\r\n"
    " </object>\r\n"
    "</config>\r\n";

TEST(SettingsMapping, LoadReadsEveryObjectByType) {
    TSettingsValues v;
    auto top = Parse(FullDocument);
    LoadFromDocument(v, top.get());
    EXPECT_EQ(v.Label, "DET");
    EXPECT_EQ(v.DataInterval, "300");
    EXPECT_EQ(v.JpegQuality, 70);
    EXPECT_EQ(v.QualityDisplay, "70");
    EXPECT_TRUE(v.Miles);
    EXPECT_EQ(v.Classes, "1,0 2,0 3,0 4,0 5,0 6,0");
    EXPECT_EQ(v.ResolutionIndex, 1);
    EXPECT_EQ(v.JpegRateIndex, 0);
    EXPECT_EQ(v.SerialPortIndex, -1);
    EXPECT_EQ(v.SerialPortText, "/dev/ttyUSB0");
    EXPECT_EQ(v.SerialBaudrate, "9600");
    EXPECT_EQ(v.Triggers, (std::vector<std::string>{"1 &amp; 2", "3"}));
}

TEST(SettingsMapping, MissingParamsKeepWhatWasShown) {
    TSettingsValues v;
    v.DataInterval = "before";
    v.Login = "kept";
    v.Triggers = {"old"};
    auto top = Parse("<config to=\"T\">\r\n <object type=\"system\"/>\r\n</config>\r\n");
    LoadFromDocument(v, top.get());
    EXPECT_EQ(v.DataInterval, "before");
    EXPECT_EQ(v.Login, "kept");
    EXPECT_EQ(v.Classes, DefaultClasses); // a system object without classes loads the default
    EXPECT_TRUE(v.Triggers.empty());      // the list is cleared on every load
    LoadFromDocument(v, nullptr);         // nothing happens without a document
    EXPECT_EQ(v.Label, "T");
}

TEST(SettingsMapping, ComboWordsAndQuality) {
    struct Row {
        const char* Resolution;
        int ResolutionIndex;
        const char* Rate;
        int RateIndex;
        const char* Quality;
        int Position;
    } rows[] = {
        {"low", 0, "low", 0, "10", 10},      {"mid", 1, "mid", 1, "90", 90},
        {"high", 2, "high", 2, "x", 50},     {"full", 3, "fast", 2, "5", 10},
        {"FULL", 0, "", 2, "95", 90},        {"", 0, "Mid", 2, " 40", 40},
    };
    for (const Row& r : rows) {
        TSettingsValues v;
        v.SetQuality(33);
        const std::string doc = std::string("<c>\r\n <object type=\"source\">\r\n") +
                                "  <param name=\"resolution\" val=\"" + r.Resolution + "\"/>\r\n" +
                                "  <param name=\"jpegrate\" val=\"" + r.Rate + "\"/>\r\n" +
                                " </object>\r\n <object type=\"system\">\r\n" +
                                "  <param name=\"jpegquality\" val=\"" + r.Quality + "\"/>\r\n" +
                                " </object>\r\n</c>\r\n";
        auto top = Parse(doc);
        LoadFromDocument(v, top.get());
        EXPECT_EQ(v.ResolutionIndex, r.ResolutionIndex) << r.Resolution;
        EXPECT_EQ(v.JpegRateIndex, r.RateIndex) << r.Rate;
        EXPECT_EQ(v.JpegQuality, r.Position) << r.Quality;
    }
}

TEST(SettingsMapping, QualityDisplayFollowsOnlyChanges) {
    TSettingsValues v; // the slider starts at 10 with the display at "0"
    auto top = Parse("<c>\r\n <object type=\"system\">\r\n"
                     "  <param name=\"jpegquality\" val=\"10\"/>\r\n </object>\r\n</c>\r\n");
    LoadFromDocument(v, top.get());
    EXPECT_EQ(v.QualityDisplay, "0");
    v.SetQuality(45);
    EXPECT_EQ(v.QualityDisplay, "45");
}

TEST(SettingsMapping, StoreCreatesObjectsInOrderWithTheirIds) {
    TSettingsValues v;
    v.Label = "Кольцевая";
    v.Login = "admin";
    v.Triggers = {"1 | 2", "", "3"};
    const std::string out = Store(v, "<config>\r\n</config>\r\n");
    EXPECT_EQ(out,
              "<config to=\"Кольцевая\" from=\"Kervola 5.01\">\r\n"
              " <object id=\"0\" descr=\"SYSTEM SETTINGS\" type=\"system\">\r\n"
              "  <param name=\"datainterval\" type=\"int\" val=\"\"/>\r\n"
              "  <param name=\"jpegquality\" type=\"int\" val=\"10\"/>\r\n"
              "  <param name=\"miles\" type=\"int\" val=\"0\"/>\r\n"
              "  <param name=\"tcpport\" type=\"int\" val=\"\"/>\r\n"
              "  <param name=\"login\" type=\"string\" val=\"admin\"/>\r\n"
              "  <param name=\"pass\" type=\"string\" val=\"\"/>\r\n"
              "  <param name=\"backup\" type=\"int\" val=\"\"/>\r\n"
              "  <param name=\"classes\" type=\"set\" val=\"2,0 3,0 5,5 8,0 12,5 18,75\"/>\r\n"
              " </object>\r\n"
              " <object id=\"1\" descr=\"CAMERA\" type=\"source\">\r\n"
              "  <param name=\"device\" type=\"string\" val=\"\"/>\r\n"
              "  <param name=\"resolution\" type=\"string\" val=\"high\"/>\r\n"
              "  <param name=\"jpegrate\" type=\"string\" val=\"high\"/>\r\n"
              " </object>\r\n"
              " <object id=\"2\" descr=\"SERIAL PORT\" type=\"serial\"/>\r\n"
              " <object id=\"0\" descr=\"LOGIC TRIGGERS\" type=\"triggers\">\r\n"
              "  <param name=\"trigger\" type=\"string\" val=\"1 | 2\"/>\r\n"
              "  <param name=\"trigger\" type=\"string\" val=\"3\"/>\r\n"
              " </object>\r\n"
              "</config>\r\n");
    // The label comes back unchanged, and a second store leaves one triggers object.
    auto top = Parse(out);
    TSettingsValues again;
    LoadFromDocument(again, top.get());
    EXPECT_EQ(again.Label, "Кольцевая");
    StoreToDocument(again, top.get());
    StoreToDocument(again, top.get());
    EXPECT_EQ(top->AsXML(), out);
}

TEST(SettingsMapping, StoreKeepsExistingObjectsAndSerialParams) {
    auto top = Parse(FullDocument);
    TSettingsValues v;
    LoadFromDocument(v, top.get());
    v.Classes.clear(); // an existing classes param takes even an empty edit
    StoreToDocument(v, top.get());
    const std::string out = top->AsXML();
    EXPECT_NE(out.find("<object id=\"2\" descr=\"CAMERA\" type=\"source\">"), std::string::npos);
    EXPECT_NE(out.find("name=\"classes\" type=\"set\" val=\"\""), std::string::npos);
    EXPECT_NE(out.find("val=\"/dev/ttyUSB0\""), std::string::npos); // unknown port as typed
    EXPECT_EQ(out.find("name=\"address\""), std::string::npos); // missing serial params stay out
    EXPECT_EQ(out.find("other"), std::string::npos); // the triggers object is rebuilt whole
    EXPECT_NE(out.find("<object id=\"0\" descr=\"LOGIC TRIGGERS\" type=\"triggers\">"),
              std::string::npos);
}

TEST(SettingsMapping, SerialDeviceNamesMapToTheFourItems) {
    for (int i = 0; i < 4; ++i) {
        auto top = Parse(std::string("<c>\r\n <object type=\"serial\">\r\n  <param name=\"port\" val=\"") +
                         SerialDevices[i] + "\"/>\r\n </object>\r\n</c>\r\n");
        TSettingsValues v;
        LoadFromDocument(v, top.get());
        EXPECT_EQ(v.SerialPortIndex, i);
        EXPECT_EQ(v.SerialPortText, "com" + std::to_string(i + 1));
        StoreToDocument(v, top.get());
        EXPECT_NE(top->AsXML().find(SerialDevices[i]), std::string::npos);
    }
}

TEST(ClassCheck, Table) {
    struct Row {
        const char* Text;
        const char* Error;
    } rows[] = {
        {"2,0 3,0 5,5 8,0 12,5 18,75", ""},
        {"2,0  3,0 5,5 8,0 12,5 18,75", ""},
        {"2,0\r\n3,0 5,5\t8,0 12,5 18,75", ""},
        {"2.0 3,0 5,5 8,0 12,5 18,75", "Wrong classes element format: Not a number"},
        {"2,0 3,0 5,5 8,0 12,5", "Wrong classes quantity"},
        {"2,0 3,0 5,5 8,0 12,5 18,75 20", "Wrong classes quantity"},
        {",,, 3,0 5,5 8,0 12,5 18,75", ""},
        {"\"2,0 3,0\" 5,5 8,0 12,5 18,75 1", "Wrong classes element format: Not a number"},
        {"'2,0' 3,0 5,5 8,0 12,5 18,75", ""},
        {"", "Wrong classes quantity"},
        {"-1 3,0 5,5 8,0 12,5 18,75", "Wrong classes element format: Not a number"},
    };
    for (const Row& r : rows) {
        std::string text = r.Text;
        EXPECT_EQ(CheckClasses(text), r.Error) << r.Text;
        EXPECT_EQ(text, *r.Error ? std::string(DefaultClasses) : std::string(r.Text)) << r.Text;
    }
}

TEST(NetworkText, LinesForTheDialogsCases) {
    EXPECT_EQ(NetworkApplyText("192.168.1.10", "255.255.255.0", "192.168.1.1", "", false, {},
                               "8080"),
              "sn 192.168.1.10,255.255.255.0,192.168.1.1\r\nsn port 8080\r\n");
    EXPECT_EQ(NetworkApplyText("192.168.1.10", "255.255.255.0", "192.168.1.1", "8.8.8.8", true,
                               {"a", "b"}, "8080"),
              "sn 192.168.1.10,255.255.255.0,192.168.1.1,8.8.8.8\r\nsn ntp [a,b]\r\n"
              "sn port 8080\r\n");
    EXPECT_EQ(NetworkApplyText("192.168.1.10", "255.255.255.0", "192.168.1.1", "dns?", true, {},
                               "80"),
              "sn 192.168.1.10,255.255.255.0,192.168.1.1\r\nsn ntp []\r\nsn port 80\r\n");
    EXPECT_EQ(NetworkApplyText("192.168.1.300", "255.255.255.0", "192.168.1.1", "", false, {}, "1"),
              "");
    EXPECT_EQ(NetworkApplyText("192.168.1.3", "", "192.168.1.1", "", false, {}, "1"), "");
}

TEST(NetworkReplies, TokensAndServerLists) {
    TNetworkFields f = ParseNetworkReply(
        "gn address 10.0.0.5 netmask 255.0.0.0 gateway 10.0.0.1 dns-nameservers 10.0.0.2");
    EXPECT_EQ(f.Address, "10.0.0.5");
    EXPECT_EQ(f.Netmask, "255.0.0.0");
    EXPECT_EQ(f.Gateway, "10.0.0.1");
    EXPECT_EQ(f.Dns, "10.0.0.2");
    // A keyword at the end has no value: the others are still read.
    f = ParseNetworkReply("gn address 10.0.0.5 gateway");
    EXPECT_EQ(f.Address, "10.0.0.5");
    EXPECT_FALSE(f.Gateway);
    EXPECT_FALSE(ParseNetworkReply("").Address);

    EXPECT_EQ(ParseNtpReply("gn ntp [ a, b,,c ]"), (std::vector<std::string>{"a", "b", "c "}));
    EXPECT_TRUE(ParseNtpReply("gn ntp []").empty());
    EXPECT_TRUE(ParseNtpReply("gn ntp [a,b").empty());
    EXPECT_EQ(ParseNtpReply("x ] [s1] [s2]"), (std::vector<std::string>{"s1"}));
}

TEST(DetectorTime, FormatAndFixedColumns) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 0;
    t.tm_mday = 5;
    EXPECT_EQ(FormatDetectorTime(t), "2026-01-05");
    t.tm_sec = 1;
    EXPECT_EQ(FormatDetectorTime(t), "2026-01-05 00:00:01");
    t.tm_hour = 23;
    t.tm_min = 59;
    EXPECT_EQ(FormatDetectorTime(t), "2026-01-05 23:59:01");

    struct Row {
        const char* Text;
        bool Valid;
    } rows[] = {
        {"2026-12-08 10:11:12", true}, {"2026/12/08T10.11.12", true}, {"2024-02-29 00:00:00", true},
        {"2026-02-29 00:00:00", false}, {"2026-13-01 00:00:00", false}, {"2026-12-08 24:00:00", false},
        {"2026-12-08", false},          {"", false},                     {"2026-1a-08 10:11:12", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ParseDetectorTime(r.Text).has_value(), r.Valid) << r.Text;
}

TEST(DetectorTime, DriftIsDetectorMinusPc) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    std::tm pc = *ParseDetectorTime("2026-07-01 12:00:00");
    const std::time_t now = std::mktime(&pc);
    EXPECT_EQ(ClockDriftSeconds("2026-07-01 11:59:48", now), -12);
    EXPECT_EQ(ClockDriftSeconds("2026-07-01 12:05:00", now), 300);
    EXPECT_FALSE(ClockDriftSeconds("garbage", now));
    ::unsetenv("TZ");
    ::tzset();
}

TEST(SettingsListing, ValuesAsStoredAndChangedThroughSet) {
    TXMLConfig config;
    config.CreateDefault("Kervola 5.01", "ZELMONT_SF");
    TSettingsValues v;
    LoadFromDocument(v, config.TopNode.get());
    StoreToDocument(v, config.TopNode.get());
    const std::string listing = SettingsListing(config.TopNode.get());
    EXPECT_EQ(listing.substr(0, listing.find('\n')), "label=ZELMONT_SF");
    EXPECT_NE(listing.find("\nresolution="), std::string::npos);
    EXPECT_NE(listing.find("\nserial.proto="), std::string::npos);

    struct Row {
        const char* Key;
        const char* Value;
        bool Accepted;
    } rows[] = {
        {"resolution", "full", true},
        {"resolution", "huge", false},
        {"jpegrate", "mid", true},
        {"jpegrate", "full", false},
        {"miles", "1", true},
        {"miles", "2", false},
        {"classes", "1 2 3 4 5 6", true},
        {"classes", "1 2", false},
        {"jpegquality", "5", false},
        {"jpegquality", "55", true},
        {"nosuch", "1", false},
        {"serial.port", "/dev/ttyS2", true},
        // A value holding both kinds of quote could only be stored changed.
        {"pass", "a'b\"c", false},
        {"pass", "a\"b", true},
        {"login", "it's", true},
        {"label", "\"x'", false},
        {"serial.address", "'\"", false},
        // The file's line ends are read as CR LF: a value with one would come back changed.
        {"label", "North\nramp", false},
        {"serial.proto", "x\r", false},
        {"pass", "a\r\nb", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ApplySetting(v, r.Key, r.Value).empty(), r.Accepted) << r.Key << "=" << r.Value;
    StoreToDocument(v, config.TopNode.get());
    const std::string changed = SettingsListing(config.TopNode.get());
    EXPECT_NE(changed.find("\nresolution=full\n"), std::string::npos);
    EXPECT_NE(changed.find("\njpegrate=mid\n"), std::string::npos);
    EXPECT_NE(changed.find("\nmiles=1\n"), std::string::npos);
    EXPECT_NE(changed.find("\njpegquality=55\n"), std::string::npos);
    EXPECT_NE(changed.find("\npass=a\"b\n"), std::string::npos);
    EXPECT_EQ(ApplySetting(v, "pass", "a'b\"c"),
              "pass cannot hold both ' and \" quotes: it could not be stored as given");
}

} // namespace
