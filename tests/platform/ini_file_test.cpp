#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Tests run in parallel processes: each gets a folder of its own.
        Dir = std::filesystem::path(::testing::TempDir()) /
              ("kervola_ini_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        Path = (Dir / "kervola.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    void Write(const std::string& text) { std::ofstream(Path, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::filesystem::path Dir;
    std::string Path;
};

TEST_F(IniFileTest, MissingFileAndKeysReadAsDefaults) {
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadInteger("AUTOSTART", "CONNECTION", -1), -1);
    EXPECT_EQ(ini.ReadString("AUTOSTART", "CONTROLS", "ON"), "ON");
    Write("[AUTOSTART]\nLEFT=12\nTOP=abc\nWIDTH= 800 \ncontrols=on\n[OTHER]\nHEIGHT=5\n");
    EXPECT_EQ(ini.ReadInteger("autostart", "left", 1), 12); // names compare without case
    EXPECT_EQ(ini.ReadInteger("AUTOSTART", "TOP", 1), 1);   // not a number
    EXPECT_EQ(ini.ReadInteger("AUTOSTART", "WIDTH", 720), 800);
    EXPECT_EQ(ini.ReadInteger("AUTOSTART", "HEIGHT", 576), 576);    // other section
    EXPECT_EQ(ini.ReadString("AUTOSTART", "CONTROLS", "ON"), "on"); // value keeps its case
}

TEST_F(IniFileTest, WritesKeepEveryOtherLine) {
    Write("; kept comment\r\n[AUTOSTART]\r\nCONNECTION=2\r\nCONTROLS=OFF\r\n\r\n[Mine]\r\nx=1\r\n");
    TIniFile ini(Path);
    ASSERT_TRUE(ini.WriteInteger("AUTOSTART", "CONNECTION", -1));
    ASSERT_TRUE(ini.WriteInteger("AUTOSTART", "LEFT", 30));
    ASSERT_TRUE(ini.WriteString("NEW", "K", "v"));
    EXPECT_EQ(Read(),
              "; kept comment\r\n[AUTOSTART]\r\nCONNECTION=-1\r\nCONTROLS=OFF\r\nLEFT=30\r\n"
              "\r\n[Mine]\r\nx=1\r\n\r\n[NEW]\r\nK=v\r\n");
}

TEST_F(IniFileTest, CreatesTheFileWhenMissing) {
    TIniFile ini(Path);
    ASSERT_TRUE(ini.WriteInteger("AUTOSTART", "WIDTH", 720));
    EXPECT_EQ(Read(), "[AUTOSTART]\nWIDTH=720\n");
    EXPECT_FALSE(TIniFile((Dir / "no" / "x.ini").string()).WriteInteger("A", "B", 1));
}

} // namespace
