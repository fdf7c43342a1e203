#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TFolderCase {
    const char* Name;
    const char* DataDir;  // KERVOLA_DATA_DIR, relative to the test's root; nullptr = unset
    const char* XdgHome;  // nullptr = unset; a relative value is used as given
    const char* Expected; // relative to the root
};

class DataFolderRule : public ::testing::TestWithParam<TFolderCase> {};

// Each case runs in a child process: the folders are fixed once per process.
TEST_P(DataFolderRule, ComputedCreatedAndEntered) {
    const TFolderCase& c = GetParam();
    const fs::path root =
        fs::temp_directory_path() / ("folders_test_" + std::to_string(::getpid()) + "_" + c.Name);
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string expected = (root / c.Expected).string();
    auto run = [&] {
        ::unsetenv("KERVOLA_DATA_DIR");
        ::unsetenv("XDG_DATA_HOME");
        ::setenv("HOME", (root / "home").c_str(), 1);
        fs::current_path(root);
        if (c.DataDir) // "./" names stay relative to the starting folder
            ::setenv("KERVOLA_DATA_DIR",
                     c.DataDir[0] == '.' ? c.DataDir : (root / c.DataDir).c_str(), 1);
        if (c.XdgHome)
            ::setenv("XDG_DATA_HOME", c.XdgHome[0] == '/' ? c.XdgHome : (root / c.XdgHome).c_str(),
                     1);
        ::umask(022);
        InitFolders();
        if (DataFolder() != expected)
            std::exit(1);
        if (!fs::is_directory(expected) || fs::current_path() != fs::path(expected).parent_path())
            std::exit(2);
        // Every folder made on the way holds the address book's passwords: its user's alone.
        for (fs::path p = fs::path(expected).parent_path(); p != root; p = p.parent_path())
            if (fs::status(p).permissions() != fs::perms::owner_all)
                std::exit(4);
        ::setenv("KERVOLA_DATA_DIR", "/elsewhere", 1);
        InitFolders();
        std::exit(DataFolder() == expected ? 0 : 3);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFolderRule,
    ::testing::Values(TFolderCase{"Override", "own/data", nullptr, "own/data/"},
                      TFolderCase{"OverrideWithSlash", "own/", "xdg", "own/"},
                      TFolderCase{"RelativeOverride", "./rel//data", nullptr, "rel/data/"},
                      TFolderCase{"Xdg", nullptr, "xdg", "xdg/Dornbeck/Kervola/"},
                      TFolderCase{"Default", nullptr, nullptr,
                                  "home/.local/share/Dornbeck/Kervola/"}),
    [](const auto& info) { return info.param.Name; });

TEST(DocumentFolder, BesideTheExecutableOrFromTheEnvironment) {
    const std::string exe = ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '/');
    EXPECT_TRUE(fs::exists(fs::path(exe) / "host_records_test"));
    auto defaultFolder = [&] {
        ::unsetenv("KERVOLA_DOC_DIR");
        ::setenv("KERVOLA_DATA_DIR", fs::temp_directory_path().c_str(), 1);
        InitFolders();
        const fs::path expected = (fs::path(exe).parent_path().parent_path() / "share/kervola/");
        std::exit(DocumentFolder() == expected.string() ? 0 : 1);
    };
    EXPECT_EXIT(defaultFolder(), ::testing::ExitedWithCode(0), "");
    auto fromEnvironment = [] {
        ::setenv("KERVOLA_DOC_DIR", "/opt/docs", 1);
        ::setenv("KERVOLA_DATA_DIR", fs::temp_directory_path().c_str(), 1);
        InitFolders();
        std::exit(DocumentFolder() == "/opt/docs/" ? 0 : 1);
    };
    EXPECT_EXIT(fromEnvironment(), ::testing::ExitedWithCode(0), "");
}

} // namespace
