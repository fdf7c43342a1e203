#include "addressbook/HostRecords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct TIpCase {
    const char* Name;
    const char* Text;
    bool Valid;
};

class IpAddressCheck : public ::testing::TestWithParam<TIpCase> {};

TEST_P(IpAddressCheck, Table) {
    EXPECT_EQ(IsValidIpAddress(GetParam().Text), GetParam().Valid) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IpAddressCheck,
    ::testing::Values(
        TIpCase{"GroupOver255", "256.1.1.1", false}, TIpCase{"TwoDots", "1.2.3", false},
        TIpCase{"DoubleDot", "1..2.3", false}, TIpCase{"FinalDot", "1.2.3.", false},
        TIpCase{"LeadingDot", ".1.2.3", false}, TIpCase{"Plain", "1.2.3.4", true},
        TIpCase{"LeadingZeros", "01.002.3.4", true}, TIpCase{"FourDots", "1.2.3.4.5", true},
        TIpCase{"FourDigitGroup", "1.2.3.1000", false},
        TIpCase{"ZeroPaddedFourDigits", "1.2.3.0255", false},
        TIpCase{"Highest", "255.255.255.255", true}, TIpCase{"Empty", "", false},
        TIpCase{"SixteenChars", "100.100.100.1000", false}, TIpCase{"Blank", "1.2.3.4 ", false},
        TIpCase{"Letter", "1.2.c.4", false}, TIpCase{"Negative", "-1.2.3.4", false}),
    [](const auto& info) { return info.param.Name; });

struct TCreatedCase {
    const char* Name;
    const char* Text;
    bool Readable;
};

class CreatedText : public ::testing::TestWithParam<TCreatedCase> {};

TEST_P(CreatedText, ReadableOrZero) {
    EXPECT_EQ(ParseCreated(GetParam().Text) != 0, GetParam().Readable) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CreatedText,
    ::testing::Values(TCreatedCase{"Full", "08.12.2026 14:05:09", true},
                      TCreatedCase{"DateOnly", "08.12.2026", true},
                      TCreatedCase{"ShortFields", "8.1.2026 7:05", true},
                      TCreatedCase{"LeapDay", "29.02.2024 00:00:00", true},
                      TCreatedCase{"NoLeapDay", "29.02.2026 00:00:00", false},
                      TCreatedCase{"MonthOver12", "01.13.2026 00:00:00", false},
                      TCreatedCase{"HourOver23", "01.01.2026 24:00:00", false},
                      TCreatedCase{"IsoOrder", "2026-12-08 10:00:00", false},
                      TCreatedCase{"SlashSeparator", "08/12/2026", false},
                      TCreatedCase{"TrailingJunk", "08.12.2026 10:00:00x", false},
                      TCreatedCase{"Empty", "", false}, TCreatedCase{"Words", "yesterday", false},
                      TCreatedCase{"ZeroDate", "30.12.1899 00:00:00", false}),
    [](const auto& info) { return info.param.Name; });

TEST(Created, ReadsBackToTheSecond) {
    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(ParseCreated(FormatCreated(now)), now);
    const std::time_t day = ParseCreated("08.12.2026");
    EXPECT_EQ(FormatCreated(day), "08.12.2026 00:00:00");
    EXPECT_EQ(FormatCreated(ParseCreated("1.2.2026 3:04")), "01.02.2026 03:04:00");
    EXPECT_EQ(FormatCreated(0), "30.12.1899 00:00:00");
}

class HostsFile : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("hosts_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Path = (Dir / "hosts.ini").string();
    }
    void TearDown() override { fs::remove_all(Dir); }

    void Write(const std::string& text) const { std::ofstream(Path, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static THostRec Rec(const char* caption, const char* address, int port, const char* created) {
        THostRec r;
        r.Caption = caption;
        r.Address = address;
        r.Port = port;
        r.Login = "admin";
        r.Password = "secret";
        r.Created = ParseCreated(created);
        return r;
    }

    fs::path Dir;
    std::string Path;
};

TEST_F(HostsFile, WrittenBytesAndModeAndNoLeftovers) {
    const std::vector<THostRec> recs = {Rec("North", "10.0.0.7", 8080, "08.12.2026 14:05:09"),
                                        Rec("South", "10.0.0.8", 9001, "01.01.2025 00:00:00")};
    std::string error;
    ASSERT_TRUE(SaveHostsFile(Path, recs, &error)) << error;
    EXPECT_EQ(Read(), "<kervola>\r\n"
                      " <rec caption=\"North\" ip=\"10.0.0.7\" port=\"8080\" login=\"admin\" "
                      "pass=\"secret\" created=\"08.12.2026 14:05:09\"/>\r\n"
                      " <rec caption=\"South\" ip=\"10.0.0.8\" port=\"9001\" login=\"admin\" "
                      "pass=\"secret\" created=\"01.01.2025 00:00:00\"/>\r\n"
                      "</kervola>\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(Path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST_F(HostsFile, RoundTripKeepsEveryFieldAndOrder) {
    std::vector<THostRec> recs = {Rec("A", "1.2.3.4", 1, "08.12.2026 14:05:09"),
                                  Rec("with \"quotes\" > and <", "h", 65535, ""),
                                  Rec("</kervola>", "</rec>", 2, ""),
                                  Rec("", "", 0, "29.02.2024 23:59:59")};
    recs[0].Created = std::time(nullptr);
    recs[1].Password = "p'w";
    ASSERT_TRUE(SaveHostsFile(Path, recs));
    std::vector<THostRec> back;
    ASSERT_EQ(LoadHostsFile(Path, back), THostsLoad::Loaded);
    EXPECT_EQ(back, recs);
}

TEST_F(HostsFile, MissingAttributesAndAnyElementName) {
    Write("<hosts>\r\n<!-- a note -->\r\n<rec caption=\"NoPort\" ip=\"1.1.1.1\"/>\r\n"
          "<detector caption=\"Odd\" port=\"12x\"/>\r\n<rec port=\"-7\"></rec>\r\n</hosts>\r\n");
    std::vector<THostRec> recs;
    ASSERT_EQ(LoadHostsFile(Path, recs), THostsLoad::Loaded);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0].Caption, "NoPort");
    EXPECT_EQ(recs[0].Port, 8080);
    EXPECT_EQ(recs[0].Login, "");
    EXPECT_EQ(recs[0].Created, 0);
    EXPECT_EQ(recs[1].Caption, "Odd");
    EXPECT_EQ(recs[1].Port, 8080);
    EXPECT_EQ(recs[2].Port, -7);
}

TEST_F(HostsFile, UnreadableCreatedBecomesZeroOthersKept) {
    Write("<kervola>\r\n<rec caption=\"A\" created=\"someday\"/>\r\n"
          "<rec caption=\"B\" created=\"02.03.2026 04:05:06\"/>\r\n</kervola>\r\n");
    std::vector<THostRec> recs;
    ASSERT_EQ(LoadHostsFile(Path, recs), THostsLoad::Loaded);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].Created, 0);
    EXPECT_EQ(FormatCreated(recs[1].Created), "02.03.2026 04:05:06");
}

struct TBrokenCase {
    const char* Name;
    const char* Text;
    std::vector<std::string> Captions;
};

class BrokenHostsFile : public ::testing::TestWithParam<TBrokenCase> {};

TEST_P(BrokenHostsFile, EntriesThatCanBeReadAreKept) {
    std::vector<THostRec> recs = {THostRec()};
    EXPECT_FALSE(HostRecordsFromText(GetParam().Text, recs));
    std::vector<std::string> captions;
    for (const THostRec& r : recs)
        captions.push_back(r.Caption);
    EXPECT_EQ(captions, GetParam().Captions);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BrokenHostsFile,
    ::testing::Values(
        TBrokenCase{
            "NoClosingTop",
            "<kervola>\r\n <rec caption=\"A\" ip=\"1.2.3.4\"/>\r\n <rec caption=\"B\"/>\r\n",
            {"A", "B"}},
        // The cut entry keeps the attributes that are complete.
        TBrokenCase{"CutInsideAnEntry",
                    "<kervola>\r\n <rec caption=\"A\"/>\r\n <rec caption=\"B\" ip=\"1.2",
                    {"A", "B"}},
        TBrokenCase{"BrokenAttributeInTheMiddle",
                    "<kervola>\r\n <rec caption=\"A\"/>\r\n <rec caption=B/>\r\n"
                    " <rec caption=\"C\"/>\r\n</kervola>\r\n",
                    {"A", "", "C"}},
        TBrokenCase{"GarbageBeforeTop", "<<>\r\n<kervola>\r\n<rec caption=\"A\"/>", {"A"}},
        TBrokenCase{"NotXmlAtAll", "just some text\r\n", {}}),
    [](const auto& info) { return info.param.Name; });

// A damaged file is recovered from the same text the scanner reads, so that an entry whose value
// holds a bare line end is saved and read back as it was recovered.
TEST(BrokenHostsText, RecoveredEntriesReadBackAsSaved) {
    for (const char* text : {"<kervola>\n<rec caption=\"a\nb\" ip=\"1.2.3.4\"/>\n",
                             "<kervola>\r<rec caption=\"a\rb\" pass=\"c\r\nd\"/>",
                             "<kervola><rec caption=\"x\"/><rec login=\"l\n"}) {
        std::vector<THostRec> recovered;
        EXPECT_FALSE(HostRecordsFromText(text, recovered)) << text;
        ASSERT_FALSE(recovered.empty()) << text;
        std::vector<THostRec> back;
        EXPECT_TRUE(HostRecordsFromText(HostsFileText(recovered), back)) << text;
        EXPECT_EQ(back, recovered) << text;
    }
}

TEST_F(HostsFile, MissingAndUnreadableLeaveTheListAlone) {
    std::vector<THostRec> recs = {Rec("Keep", "1.2.3.4", 1, "")};
    EXPECT_EQ(LoadHostsFile(Path, recs), THostsLoad::Missing);
    fs::create_directory(Path); // a folder where the file should be cannot be read
    std::string error;
    EXPECT_EQ(LoadHostsFile(Path, recs, &error), THostsLoad::Unreadable);
    EXPECT_NE(error.find(Path), std::string::npos);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].Caption, "Keep");
    EXPECT_FALSE(SaveHostsFile(Path, recs, &error));
    EXPECT_TRUE(fs::is_directory(Path));
}

TEST_F(HostsFile, EmptyListNeverReplacesEntries) {
    Write("<kervola>\r\n<rec caption=\"A\"/>\r\n</kervola>\r\n");
    const std::string before = Read();
    EXPECT_TRUE(SaveHostsFile(Path, {}));
    EXPECT_EQ(Read(), before);
    fs::remove(Path);
    ASSERT_TRUE(SaveHostsFile(Path, {}));
    EXPECT_EQ(Read(), "<kervola/>\r\n");
}

TEST_F(HostsFile, FailedWriteNamesPathAndReason) {
    const std::string path = (Dir / "missing" / "hosts.ini").string();
    std::string error;
    EXPECT_FALSE(SaveHostsFile(path, {Rec("A", "1.2.3.4", 1, "")}, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace
