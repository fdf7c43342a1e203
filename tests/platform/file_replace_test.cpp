#include "platform/FileReplace.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileReplace : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::path(::testing::TempDir()) /
              ("kervola_replace_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Path = (Dir / "file").string();
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Read() const {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    unsigned Mode() const {
        struct stat st {};
        return ::stat(Path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    }
    long Entries() const { return std::distance(fs::directory_iterator(Dir), {}); }
    fs::path Dir;
    std::string Path;
};

struct ModeRow {
    const char* Name;
    TFileMode Mode;
    mode_t Umask;
    int Existing; // the mode of the file replaced, -1 for none
    unsigned Expected;
};

TEST_F(FileReplace, ModeOfEachKindOfFile) {
    const ModeRow rows[] = {
        {"private under a loose umask", PrivateFile, 0, -1, 0600},
        {"private under a umask that takes the owner's bits", PrivateFile, 0277, -1, 0600},
        {"private replaces an open file", PrivateFile, 022, 0644, 0600},
        {"ordinary new", OrdinaryFile, 022, -1, 0644},
        {"ordinary new, group writable", OrdinaryFile, 002, -1, 0664},
        {"ordinary does not keep", OrdinaryFile, 022, 0600, 0644},
        {"document keeps", DocumentFile, 022, 0640, 0640},
        {"document new", DocumentFile, 077, -1, 0600},
        {"settings new, whatever the umask", SettingsFile, 077, -1, 0644},
        {"settings keeps", SettingsFile, 022, 0600, 0600},
    };
    for (const ModeRow& r : rows) {
        fs::remove(Path);
        if (r.Existing >= 0) {
            std::ofstream(Path) << "old";
            ASSERT_EQ(::chmod(Path.c_str(), static_cast<mode_t>(r.Existing)), 0);
        }
        const mode_t before = ::umask(r.Umask);
        std::string reason;
        const bool ok = ReplaceFileContents(Path, "new", r.Mode, reason);
        ::umask(before);
        ASSERT_TRUE(ok) << r.Name << ": " << reason;
        EXPECT_EQ(Read(), "new") << r.Name;
        EXPECT_EQ(Mode(), r.Expected) << r.Name;
        EXPECT_EQ(Entries(), 1) << r.Name;
    }
}

TEST_F(FileReplace, FailureLeavesTheOldFileAndNoTemporary) {
    std::ofstream(Path) << "old";
    std::string reason;
    EXPECT_FALSE(ReplaceFileContents((Dir / "no" / "file").string(), "x", OrdinaryFile, reason));
    EXPECT_FALSE(reason.empty());

    // A folder in the way: the write succeeds, the rename does not.
    fs::create_directory(Dir / "folder");
    reason.clear();
    EXPECT_FALSE(ReplaceFileContents((Dir / "folder").string(), "x", DocumentFile, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(fs::is_directory(Dir / "folder"));

    reason.clear();
    EXPECT_FALSE(ReplaceFileContents("", "x", OrdinaryFile, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Read(), "old");
    EXPECT_EQ(Entries(), 2);
}

// A file size limit makes write() stop short and then fail, as a disk that fills up does.
TEST_F(FileReplace, ShortWriteThenFullDiskKeepsTheOldFile) {
    std::ofstream(Path) << "old";
    const std::string big(256 * 1024, 'x');
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 100 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    const bool ok = ReplaceFileContents(Path, big, SettingsFile, reason);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Read(), "old");
    EXPECT_EQ(Entries(), 1);

    // Without the limit the same bytes go through whole.
    ASSERT_TRUE(ReplaceFileContents(Path, big, SettingsFile, reason)) << reason;
    EXPECT_EQ(Read(), big);
}

TEST_F(FileReplace, FoldersMadeForPrivateFilesArePrivate) {
    struct Row {
        const char* Name;
        std::string Path; // below Dir
        bool Ok;
    };
    std::ofstream(Path) << "a file";
    fs::create_directories(Dir / "open");
    fs::permissions(Dir / "open", fs::perms(0755));
    const Row rows[] = {
        {"one level", "a", true},
        {"nested, with a trailing slash", "b/c/d/", true},
        {"doubled slashes", "e//f", true},
        {"below a folder of the user's", "open/g", true},
        {"a file in the way", "file/h", false},
        {"the file itself", "file", false},
    };
    const mode_t before = ::umask(022);
    for (const Row& r : rows) {
        std::string reason;
        const bool ok = MakePrivateFolders((Dir / r.Path).string(), reason);
        EXPECT_EQ(ok, r.Ok) << r.Name << ": " << reason;
        EXPECT_EQ(reason.empty(), r.Ok) << r.Name;
    }
    // A relative name is taken from the current folder.
    const fs::path here = fs::current_path();
    fs::current_path(Dir);
    std::string reason;
    const bool relative = MakePrivateFolders("rel/x", reason);
    fs::current_path(here);
    ::umask(before);
    EXPECT_TRUE(relative) << reason;
    auto mode = [this](const char* sub) {
        struct stat st {};
        return ::stat((Dir / sub).c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    for (const char* made : {"a", "b", "b/c", "b/c/d", "e", "e/f", "open/g", "rel", "rel/x"})
        EXPECT_EQ(mode(made), 0700u) << made;
    EXPECT_EQ(mode("open"), 0755u);
    EXPECT_EQ(Read(), "a file");
}

} // namespace
