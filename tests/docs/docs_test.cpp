// The help documents as the program finds them after a build, and the tool that renders them.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

// Line breaks of the page layout fall anywhere, so phrases are compared with blanks collapsed.
std::string collapseBlanks(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

struct Document {
    const char* file;
    // Phrases from the start, the middle and the last section: a source construct that swallows
    // the rest of the text (as raw HTML would) loses the later ones.
    std::vector<std::string> phrases;
};

void PrintTo(const Document& doc, std::ostream* os) {
    *os << doc.file;
}

class BuiltDocument : public ::testing::TestWithParam<Document> {};

TEST_P(BuiltDocument, IsACompletePdfOfReasonableSize) {
    const fs::path path = fs::path(KERVOLA_DOC_OUTPUT_DIR) / GetParam().file;
    ASSERT_TRUE(fs::exists(path)) << path;
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    EXPECT_GT(bytes.size(), 10'000u);
    EXPECT_LT(bytes.size(), 5'000'000u);
    // A writer stopped halfway leaves no trailer.
    EXPECT_NE(bytes.find("%%EOF", bytes.size() > 64 ? bytes.size() - 64 : 0), std::string::npos);
}

TEST_P(BuiltDocument, HoldsItsTextFromFirstToLastSection) {
    if (std::string(KERVOLA_PDFTOTEXT).empty())
        GTEST_SKIP() << "pdftotext not found (poppler-utils)";
    const fs::path path = fs::path(KERVOLA_DOC_OUTPUT_DIR) / GetParam().file;
    const std::string text = collapseBlanks(
        commandOutput(std::string("'") + KERVOLA_PDFTOTEXT + "' '" + path.string() + "' -"));
    for (const std::string& phrase : GetParam().phrases)
        EXPECT_NE(text.find(phrase), std::string::npos) << "missing: " << phrase;
}

INSTANTIATE_TEST_SUITE_P(
    Docs, BuiltDocument,
    ::testing::Values(
        Document{"help.pdf",
                 {"User's guide", "Connection", "Load current config", "F7", "Alt+F5",
                  "Shift + wheel", "<Right click for main menu access>",
                  "Config is uploaded successfully", "Кратко по-русски", "Загрузка конфигурации"}},
        Document{"triggers.pdf",
                 {"Logic triggers", "About triggers", "one trigger per", "type=\"triggers\"",
                  "name=\"trigger\"", "Load config", "Логические триггеры"}}),
    [](const ::testing::TestParamInfo<Document>& info) {
        return std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
    });

// A failed run must leave no file the install step could ship as a help document.
struct BadRun {
    const char* name;
    const char* source; // nullptr: no source file at all
    bool outputInMissingFolder;
    int exitCode;
};

void PrintTo(const BadRun& run, std::ostream* os) {
    *os << run.name;
}

class MkpdfFailure : public ::testing::TestWithParam<BadRun> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mkpdf_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_P(MkpdfFailure, ReportsAndWritesNothing) {
    const BadRun& run = GetParam();
    const fs::path source = dir_ / "in.md";
    if (run.source != nullptr)
        std::ofstream(source) << run.source;
    const fs::path output =
        run.outputInMissingFolder ? dir_ / "missing" / "out.pdf" : dir_ / "out.pdf";
    const std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 '") + KERVOLA_MKPDF +
                                "' '" + source.string() + "' '" + output.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), run.exitCode);
    EXPECT_FALSE(fs::exists(output));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MkpdfFailure,
    ::testing::Values(BadRun{"NoSource", nullptr, false, 2},
                      BadRun{"BlankSource", " \n\n\t\n", false, 2},
                      BadRun{"OutputFolderMissing", "# Title\n\nText.\n", true, 3}),
    [](const ::testing::TestParamInfo<BadRun>& info) { return std::string(info.param.name); });

} // namespace
