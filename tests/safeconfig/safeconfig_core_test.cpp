// The toolkit-free core of safe configuration work: undo steps, line differences, the history
// of configurations per detector and zones files.
#include "safeconfig/ConfigSnapshot.h"
#include "safeconfig/HistoryStore.h"
#include "safeconfig/LineDiff.h"
#include "safeconfig/UndoHistory.h"
#include "safeconfig/ZoneTransfer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Text(const TXMLConfig& config) {
    return DocumentText(config);
}

// A default document with the given sensors (ids "1".."n").
void WithSensors(TXMLConfig& config, TQuadList& zones, int n) {
    config.CreateDefault("KERVOLA", "ZELMONT_SF");
    for (int i = 1; i <= n; ++i)
        config.AddSensor(zones, std::to_string(i), DefaultQuad(i - 1));
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "safeconfig-XXXXXX").string();
        Path = mkdtemp(pattern.data());
        Path += "/";
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    std::string Path;
};

std::string ReadAll(const std::string& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Undo history

TEST(UndoHistory, UndoAndRedoRestoreTheExactBytesOfEveryState) {
    TXMLConfig config;
    TQuadList zones;
    TUndoHistory history;
    history.Reset(config); // no document at all
    std::vector<std::string> states{Text(config)};
    WithSensors(config, zones, 1);
    ASSERT_TRUE(history.Record(config));
    states.push_back(Text(config));
    config.AddSensor(zones, "7", DefaultQuad(1));
    ASSERT_TRUE(history.Record(config));
    states.push_back(Text(config));
    // A document the writer cannot give back as it was read: a comment and a text node.
    config.TopNode->AddChild("!--")->Text = " odd ";
    config.TopNode->AddChild("")->Text = "loose text";
    ASSERT_TRUE(history.Record(config));
    states.push_back(Text(config));

    for (int i = static_cast<int>(states.size()) - 2; i >= 0; --i) {
        ASSERT_TRUE(history.Undo(config, zones)) << i;
        EXPECT_EQ(Text(config), states[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_EQ(config.TopNode, nullptr); // back to no document, not to the default one
    EXPECT_EQ(zones.Count(), 0);
    EXPECT_FALSE(history.Undo(config, zones));
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.Redo(config, zones)) << i;
        EXPECT_EQ(Text(config), states[i]) << i;
    }
    EXPECT_FALSE(history.Redo(config, zones));
    EXPECT_EQ(zones.Count(), 2); // the zones follow the document
}

TEST(UndoHistory, StepsOnlyForChangesAndANewEditDropsRedo) {
    TXMLConfig config;
    TQuadList zones;
    WithSensors(config, zones, 2);
    TUndoHistory history;
    history.Reset(config);
    EXPECT_FALSE(history.Record(config)); // nothing changed: no step
    config.DeleteSensor(zones, 0);
    ASSERT_TRUE(history.Record(config));
    config.AddSensor(zones, "5", DefaultQuad(3));
    ASSERT_TRUE(history.Record(config));
    ASSERT_TRUE(history.Undo(config, zones));
    ASSERT_TRUE(history.Undo(config, zones));
    EXPECT_EQ(history.RedoCount(), 2u);
    config.AddSensor(zones, "9", DefaultQuad(2));
    ASSERT_TRUE(history.Record(config));
    EXPECT_EQ(history.RedoCount(), 0u);
    EXPECT_FALSE(history.Redo(config, zones));
    EXPECT_EQ(history.UndoCount(), 1u);
}

TEST(UndoHistory, ChangesNotRecordedYetAreUndoneFirst) {
    TXMLConfig config;
    TQuadList zones;
    WithSensors(config, zones, 1);
    TUndoHistory history;
    history.Reset(config);
    const std::string before = Text(config);
    // The settings dialog edits the document in place, without a step of its own.
    config.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", "9090");
    ASSERT_TRUE(history.Undo(config, zones));
    EXPECT_EQ(Text(config), before);
    // Rebase takes the present document as it is, without a step.
    config.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", "7070");
    history.Rebase(config);
    const std::size_t steps = history.UndoCount();
    EXPECT_FALSE(history.Record(config));
    EXPECT_EQ(history.UndoCount(), steps);
}

TEST(UndoHistory, KeepsTheLastHundredSteps) {
    TXMLConfig config;
    TQuadList zones;
    WithSensors(config, zones, 1);
    TUndoHistory history;
    ASSERT_EQ(history.Limit(), 100u);
    history.Reset(config);
    std::vector<std::string> states{Text(config)};
    for (int i = 1; i <= 130; ++i) {
        config.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", std::to_string(i));
        ASSERT_TRUE(history.Record(config));
        states.push_back(Text(config));
    }
    EXPECT_EQ(history.UndoCount(), 100u);
    int undone = 0;
    while (history.Undo(config, zones))
        ++undone;
    EXPECT_EQ(undone, 100);
    EXPECT_EQ(Text(config), states[30]); // the 30 oldest steps were dropped
}

// The settings dialog writes its values only into the document it read them from, known by the
// top node's Serial: an undo within one document must keep it, an undo across a replacement of
// the document must not bring back an identity the dialog may hold.
TEST(UndoHistory, RestoresIntoTheSameDocumentOnly) {
    TXMLConfig config;
    TQuadList zones;
    WithSensors(config, zones, 2);
    const std::uint64_t first = config.TopNode->Serial;
    TUndoHistory history;
    history.Reset(config);
    config.DeleteSensor(zones, 0);
    history.Record(config);
    ASSERT_TRUE(history.Undo(config, zones));
    EXPECT_EQ(config.TopNode->Serial, first);
    ASSERT_TRUE(history.Redo(config, zones));
    EXPECT_EQ(config.TopNode->Serial, first);

    config.CreateDefault("KERVOLA2", "ZELMONT_SF"); // "New config"
    const std::uint64_t second = config.TopNode->Serial;
    history.Record(config);
    ASSERT_TRUE(history.Undo(config, zones));
    EXPECT_NE(config.TopNode->Serial, first);
    EXPECT_NE(config.TopNode->Serial, second);
    EXPECT_EQ(zones.Count(), 1);
}

// ---------------------------------------------------------------------------------------------
// Line difference

TEST(LineDiff, SplitsAtEveryKindOfLineEnd) {
    EXPECT_EQ(TextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(TextLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(TextLines("").empty());
}

TEST(LineDiff, UnifiedOutputOfTypicalChanges) {
    struct Row {
        const char* Name;
        std::string A, B, Expected;
        int Context;
    } rows[] = {
        {"same", "a\nb\n", "a\r\nb\r\n", "", 3},
        {"added at the end", "a\nb\n", "a\nb\nc\n", "--- A\n+++ B\n@@ -1,2 +1,3 @@\n a\n b\n+c\n", 3},
        {"removed first", "a\nb\nc\n", "b\nc\n", "--- A\n+++ B\n@@ -1,3 +1,2 @@\n-a\n b\n c\n", 3},
        {"changed middle", "a\nb\nc\n", "a\nX\nc\n",
         "--- A\n+++ B\n@@ -1,3 +1,3 @@\n a\n-b\n+X\n c\n", 3},
        {"from nothing", "", "a\n", "--- A\n+++ B\n@@ -0,0 +1 @@\n+a\n", 3},
        {"insertion without context", "a\nb\n", "a\nN\nb\n", "--- A\n+++ B\n@@ -1,0 +2 @@\n+N\n", 0},
        {"far apart changes make two hunks", "1\n2\n3\n4\n5\n6\n7\n8\n9\n",
         "X\n2\n3\n4\n5\n6\n7\n8\nY\n",
         "--- A\n+++ B\n@@ -1,2 +1,2 @@\n-1\n+X\n 2\n@@ -8,2 +8,2 @@\n 8\n-9\n+Y\n", 1},
        {"an added object is shown whole", "<o>\n</o>\n</m>\n", "<o>\n</o>\n<o>\n</o>\n</m>\n",
         "--- A\n+++ B\n@@ -1,3 +1,5 @@\n <o>\n </o>\n+<o>\n+</o>\n </m>\n", 3},
        {"an added object after an earlier change is shown whole",
         "x\n<o1>\n</o>\n</m>\n", "y\n<o1>\n</o>\n<o2>\n</o>\n</m>\n",
         "--- A\n+++ B\n@@ -1,4 +1,6 @@\n-x\n+y\n <o1>\n </o>\n+<o2>\n+</o>\n </m>\n", 3},
        {"a removed object is shown whole", "<o>\n</o>\n<o>\n</o>\n</m>\n", "<o>\n</o>\n</m>\n",
         "--- A\n+++ B\n@@ -1,5 +1,3 @@\n <o>\n </o>\n-<o>\n-</o>\n </m>\n", 3},
        {"near changes join", "1\n2\n3\n4\n", "X\n2\n3\nY\n",
         "--- A\n+++ B\n@@ -1,4 +1,4 @@\n-1\n+X\n 2\n 3\n-4\n+Y\n", 1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(UnifiedDiff(r.A, r.B, "A", "B", r.Context), r.Expected) << r.Name;
}

TEST(LineDiff, SensorsAddedRemovedAndChanged) {
    TXMLConfig before;
    TQuadList zones;
    WithSensors(before, zones, 2);
    const std::string a = before.AsText();

    TXMLConfig added;
    WithSensors(added, zones, 3);
    const std::string addedDiff = UnifiedDiff(a, added.AsText(), "A", "B");
    EXPECT_NE(addedDiff.find("+ <object id=\"3\" descr=\"Sensor 3\" type=\"detector\">"),
              std::string::npos)
        << addedDiff;
    EXPECT_EQ(addedDiff.find("\n- "), std::string::npos) << addedDiff;

    TXMLConfig removed;
    WithSensors(removed, zones, 1);
    const std::string removedDiff = UnifiedDiff(a, removed.AsText(), "A", "B");
    EXPECT_NE(removedDiff.find("- <object id=\"2\""), std::string::npos) << removedDiff;
    EXPECT_EQ(removedDiff.find("\n+ "), std::string::npos) << removedDiff;

    TXMLConfig changed;
    WithSensors(changed, zones, 2);
    TQuadPoints moved = zones.Quad(1)->Points;
    MoveQuad(moved, 40, 0, 800, 600);
    zones.Quad(1)->Points = moved;
    changed.UpdateSensorGeometry(zones, 1);
    const std::vector<TDiffHunk> hunks =
        DiffHunks(DiffLines(TextLines(a), TextLines(changed.AsText())));
    ASSERT_EQ(hunks.size(), 1u);
    int minus = 0, plus = 0;
    for (const TDiffLine& l : hunks[0].Lines) {
        minus += l.Kind == '-';
        plus += l.Kind == '+';
    }
    EXPECT_EQ(minus, 1); // only the quadrangle line of sensor 2
    EXPECT_EQ(plus, 1);
}

TEST(LineDiff, UnrelatedLargeTextsStayBounded) {
    std::string a, b;
    for (int i = 0; i < 20000; ++i) {
        a += "a" + std::to_string(i) + "\n";
        b += "b" + std::to_string(i) + "\n";
    }
    const std::vector<TDiffLine> lines = DiffLines(TextLines(a), TextLines(b));
    ASSERT_EQ(lines.size(), 40000u);
    EXPECT_EQ(lines.front().Kind, '-');
    EXPECT_EQ(lines.back().Kind, '+');
}

// ---------------------------------------------------------------------------------------------
// History of configurations

TEST(HistoryStore, FileNamesCarryTimeAndKind) {
    const long long t = 1'796'774'415'123LL; // 2026-12-09 00:00:15.123 UTC
    const std::string name = HistoryFileName(t, "sent");
    EXPECT_EQ(name, "20261209-000015-123-sent.xml");
    long long back = 0;
    std::string kind;
    ASSERT_TRUE(ParseHistoryFileName(name, back, kind));
    EXPECT_EQ(back, t);
    EXPECT_EQ(kind, "sent");
    for (const char* other : {"index.txt", "20261209-000015-123-sent.xml.tmp-abc123",
                              "20261209-000015-123-gone.xml", "2026120x-000015-123-read.xml"})
        EXPECT_FALSE(ParseHistoryFileName(other, back, kind)) << other;
}

TEST(HistoryStore, KeepsChangedConfigurationsAndDropsTheOldest) {
    TempDir dir;
    THistoryStore store(dir.Path + "history");
    std::string problem;
    TXMLConfig config;
    TQuadList zones;
    WithSensors(config, zones, 2);
    const std::string first = config.AsText();
    EXPECT_EQ(store.Keep("10.0.0.5", 8080, "North gate", "read", first, problem, 1000),
              TKeepResult::Stored);
    EXPECT_EQ(store.Keep("10.0.0.5", 8080, "North gate", "read", first, problem, 2000),
              TKeepResult::Unchanged);
    EXPECT_EQ(store.Keep("10.0.0.5", 8080, "North gate", "sent", "changed", problem, 2000),
              TKeepResult::Stored);
    // The same millisecond again still sorts after the newest file.
    EXPECT_EQ(store.Keep("10.0.0.5", 8080, "North gate", "read", first, problem, 2000),
              TKeepResult::Stored);
    const auto entries = store.List("10.0.0.5", 8080);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Kind, "read");
    EXPECT_EQ(entries[0].Sensors, 2);
    EXPECT_EQ(entries[0].Size, static_cast<long long>(first.size()));
    EXPECT_EQ(entries[1].Kind, "sent");
    EXPECT_EQ(entries[1].Sensors, 0);
    EXPECT_EQ(entries[2].TimeMs, 2001);
    EXPECT_EQ(ReadAll(entries[2].Path), first);
    EXPECT_EQ(store.LabelOf("10.0.0.5", 8080), "North gate");
    EXPECT_TRUE(store.List("10.0.0.5", 8081).empty()); // another port, another detector

    for (int i = 0; i < THistoryStore::MaxFiles + 5; ++i)
        ASSERT_EQ(store.Keep("10.0.0.5", 8080, "North gate", "read", std::to_string(i), problem,
                             10000 + i),
                  TKeepResult::Stored);
    const auto kept = store.List("10.0.0.5", 8080, false);
    ASSERT_EQ(kept.size(), static_cast<std::size_t>(THistoryStore::MaxFiles));
    EXPECT_EQ(ReadAll(kept.front().Path), "5");
    EXPECT_EQ(ReadAll(kept.back().Path), std::to_string(THistoryStore::MaxFiles + 4));
}

TEST(HistoryStore, FolderNamesStayInsideTheHistory) {
    THistoryStore store("/h");
    EXPECT_EQ(store.FolderOf("192.168.1.100", 8080), "/h/192.168.1.100_8080/");
    EXPECT_EQ(store.FolderOf("../etc", 1), "/h/.._etc_1/");
    EXPECT_EQ(store.FolderOf("..", 1), "/h/_.._1/");
    EXPECT_EQ(store.FolderOf("a/b c", 2), "/h/a_b_c_2/");
}

TEST(HistoryStore, AFailedWriteSaysWhyAndLeavesNoFile) {
    TempDir dir;
    // The history folder cannot be made: a file stands where it should be.
    WriteAll(dir.Path + "history", "not a folder");
    THistoryStore store(dir.Path + "history");
    std::string problem;
    EXPECT_EQ(store.Keep("10.0.0.5", 8080, "", "sent", "text", problem), TKeepResult::Failed);
    EXPECT_FALSE(problem.empty());

    // Writing into a folder we may not write to fails the same way, and leaves nothing behind.
    if (geteuid() != 0) {
        THistoryStore locked(dir.Path + "locked");
        fs::create_directories(locked.FolderOf("h", 1));
        fs::permissions(locked.FolderOf("h", 1), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(locked.Keep("h", 1, "", "sent", "text", problem), TKeepResult::Failed);
        EXPECT_NE(problem.find("cannot"), std::string::npos) << problem;
        fs::permissions(locked.FolderOf("h", 1), fs::perms::owner_all);
        EXPECT_TRUE(fs::is_empty(locked.FolderOf("h", 1)));
    }
}

TEST(HistoryStore, KeptConfigurationsAreReadableByTheirOwnerOnly) {
    TempDir dir;
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const mode_t before = ::umask(022);
    fs::create_directories(dir.Path + "open");
    THistoryStore store(dir.Path + "open/data/history");
    std::string problem;
    const TKeepResult kept =
        store.Keep("127.0.0.1", 37417, "Gate", "read",
                   "<param name=\"pass\" type=\"string\" val=\"kvtp\"/>", problem, 1000);
    // An older version left its history open to all; the next kept file closes it.
    THistoryStore old(dir.Path + "old");
    fs::create_directories(old.FolderOf("h", 1));
    fs::permissions(dir.Path + "old", fs::perms(0755));
    fs::permissions(old.FolderOf("h", 1), fs::perms(0755));
    const TKeepResult keptOld = old.Keep("h", 1, "", "sent", "text", problem, 1000);
    ::umask(before);
    ASSERT_EQ(kept, TKeepResult::Stored) << problem;
    ASSERT_EQ(keptOld, TKeepResult::Stored) << problem;
    const auto entries = store.List("127.0.0.1", 37417, false);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(mode(entries[0].Path), 0600u);
    EXPECT_EQ(mode(dir.Path + "open/data/history/index.txt"), 0600u);
    for (const std::string& folder :
         {dir.Path + "open/data", dir.Path + "open/data/history",
          store.FolderOf("127.0.0.1", 37417), dir.Path + "old", old.FolderOf("h", 1)})
        EXPECT_EQ(mode(folder), 0700u) << folder;
    EXPECT_EQ(mode(dir.Path + "open"), 0755u); // the user's folder above is left as it was
}

// ---------------------------------------------------------------------------------------------
// Zones files

TEST(ZoneTransfer, ImportReplacesOnlyTheSensorObjects) {
    TXMLConfig source;
    TQuadList zones;
    WithSensors(source, zones, 3);
    // A param of its own on sensor 2 travels with it.
    source.TopNode->GetNode(4)->AddChild("param")->Params.SetParam("name", "lanes");
    const std::string exported = ExportZonesText(source);
    TXMLNode zonesTop;
    zonesTop.LoadFromXML(exported);
    ASSERT_EQ(XMLErrorCode, 0);
    EXPECT_EQ(zonesTop.Params.GetParam("type"), "zones");
    ASSERT_EQ(zonesTop.Count(), 3);
    EXPECT_EQ(zonesTop.GetNode(1)->Count(), 2);

    TXMLConfig target;
    TQuadList targetZones;
    WithSensors(target, targetZones, 1);
    // Other settings of the target detector, which must stay.
    target.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", "9000");
    target.TopNode->GetNode(2)->GetNode(2)->Params.SetParam("val", "/dev/video7");
    TXMLConfig expected;
    WithSensors(expected, zones, 0);
    expected.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", "9000");
    expected.TopNode->GetNode(2)->GetNode(2)->Params.SetParam("val", "/dev/video7");
    for (int i = 0; i < zonesTop.Count(); ++i)
        expected.TopNode->AddNode(CloneNode(*zonesTop.GetNode(i)));

    ASSERT_EQ(ImportZones(target, targetZones, &zonesTop), TImportResult::Imported);
    EXPECT_EQ(target.AsText(), expected.AsText());
    EXPECT_EQ(targetZones.Count(), 3);
    EXPECT_EQ(targetZones.Quad(2)->Id, "3");
}

TEST(ZoneTransfer, BadZonesAreCheckedAndBadFilesChangeNothing) {
    TempDir dir;
    TXMLConfig target;
    TQuadList zones;
    WithSensors(target, zones, 2);
    const std::string before = target.AsText();
    std::string problem;

    WriteAll(dir.Path + "broken.xml", "<message><object type=\"detector\"");
    EXPECT_EQ(ImportZonesFile(target, zones, dir.Path + "broken.xml", problem),
              TImportResult::NotParsed);
    EXPECT_NE(problem.find("does not parse"), std::string::npos) << problem;
    WriteAll(dir.Path + "none.xml", "<message type=\"zones\">\r\n</message>\r\n");
    EXPECT_EQ(ImportZonesFile(target, zones, dir.Path + "none.xml", problem),
              TImportResult::NoSensor);
    EXPECT_EQ(ImportZonesFile(target, zones, dir.Path + "missing.xml", problem),
              TImportResult::NotParsed);
    EXPECT_EQ(target.AsText(), before);
    EXPECT_EQ(zones.Count(), 2);

    // Corners that are no valid zone get the default zone for their place, as when reading.
    WriteAll(dir.Path + "zero.xml",
             "<message type=\"zones\">\r\n <object id=\"4\" descr=\"Sensor 4\" type=\"detector\">"
             "\r\n  <param name=\"quadrangle\" type=\"set\" val=\"0 0 0 0 0 0 0 0\"/>\r\n"
             " </object>\r\n</message>\r\n");
    ASSERT_EQ(ImportZonesFile(target, zones, dir.Path + "zero.xml", problem),
              TImportResult::Imported);
    ASSERT_EQ(zones.Count(), 1);
    EXPECT_EQ(QuadToText(zones.Quad(0)->Points), QuadToText(DefaultQuad(0)));
    EXPECT_EQ(target.TopNode->GetNode(3)->GetNode(0)->Params.GetParam("val"),
              QuadToText(DefaultQuad(0)));
}
