// kervola-cli's address-book and fleet commands against simulated detectors, run as a user runs
// them: the real binary, a data folder of its own, the simulator on loopback.

#include "../sim/sim_harness.h"

#include "addressbook/HostRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TCliRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

// Runs kervola-cli with the data folder `data`; bounded, so a hang fails the test.
TCliRun Cli(const std::string& data, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        setenv("KERVOLA_DATA_DIR", data.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(KERVOLA_CLI_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KERVOLA_CLI_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    TCliRun run;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? run.Out : run.Err).append(buf, static_cast<size_t>(n));
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) {
            kill(pid, SIGKILL);
            close(f.fd);
        }
    int status = 0;
    waitpid(pid, &status, 0);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

// A loopback port nobody listens on (taken from the system, then let go).
int ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

QJsonArray JsonOf(const TCliRun& run) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(run.Out.data(), static_cast<int>(run.Out.size())), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.Out;
    EXPECT_TRUE(doc.isArray());
    return doc.array();
}

std::map<QString, QJsonObject> ByLabel(const QJsonArray& array) {
    std::map<QString, QJsonObject> rows;
    for (const auto& v : array)
        rows[v.toObject()["label"].toString()] = v.toObject();
    return rows;
}

class FleetCli : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        Dir = fs::temp_directory_path() /
              ("kervola-fleet-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override {
        Sim.reset();
        fs::remove_all(Dir);
    }
    // `detectors` simulated detectors in hosts.ini, then an entry nobody answers.
    void StartFleet(int detectors, bool withDead = true) {
        Sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--detectors", std::to_string(detectors), "--write-hosts",
                                     Hosts(), "--log", (Dir / "sim.log").string()});
        if (withDead) {
            const TCliRun add =
                Run({"hosts", "add", "DEAD", "127.0.0.1", "--port", std::to_string(ClosedPort())});
            ASSERT_EQ(add.Exit, 0) << add.Err;
        }
    }
    TCliRun Run(const std::vector<std::string>& args) { return Cli(Dir.string(), args); }
    std::string Hosts() const { return (Dir / "hosts.ini").string(); }

    fs::path Dir;
    std::unique_ptr<SimProcess> Sim;
};

// --- fleet commands -----------------------------------------------------------------------------

TEST_F(FleetCli, StatusRowsShowTheMixAndTheExitCodeTheFailure) {
    StartFleet(3);
    const TCliRun table = Run({"fleet", "status"});
    EXPECT_EQ(table.Exit, 1) << table.Err;
    const auto lines = Lines(table.Out);
    ASSERT_EQ(lines.size(), 5u) << table.Out;
    EXPECT_EQ(lines[0].substr(0, 5), "LABEL");
    for (size_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(lines[i].rfind("SIM-000" + std::to_string(i), 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" ok "), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find("Zelmont SF 5.2 38"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(lines[4].rfind("DEAD", 0), 0u);
    EXPECT_NE(lines[4].find(" failed "), std::string::npos);
    EXPECT_NE(table.Err.find("fleet status: 4/4 done, 1 failed"), std::string::npos) << table.Err;

    const TCliRun json = Run({"fleet", "status", "--json"});
    EXPECT_EQ(json.Exit, 1);
    const QJsonArray array = JsonOf(json);
    ASSERT_EQ(array.size(), 4);
    EXPECT_EQ(array[3].toObject()["label"].toString(), "DEAD"); // address-book order
    auto rows = ByLabel(array);
    EXPECT_FALSE(rows["DEAD"]["ok"].toBool());
    EXPECT_FALSE(rows["DEAD"]["error"].toString().isEmpty());
    EXPECT_EQ(rows["SIM-0001"]["port"].toInt(), Sim->ports()[0]);
    EXPECT_EQ(rows["SIM-0001"]["address"].toString(), "127.0.0.1");
    EXPECT_EQ(rows["SIM-0001"]["firmware"].toString(), "Zelmont SF 5.2 38");
    // The simulator's clocks: SIM-0001 1 s ahead, SIM-0002 5 s behind.
    EXPECT_NEAR(rows["SIM-0001"]["drift_s"].toInt(), 1, 1);
    EXPECT_NEAR(rows["SIM-0002"]["drift_s"].toInt(), -5, 1);
    for (const char* label : {"SIM-0001", "SIM-0002", "SIM-0003"}) {
        EXPECT_TRUE(rows[label]["ok"].toBool()) << label;
        EXPECT_FALSE(rows[label].contains("error")) << label;
        const QString level = rows[label]["level"].toString();
        EXPECT_TRUE(level == "high" || level == "low") << label;
    }
}

TEST_F(FleetCli, BackupSavesEachConfigurationAndAFailureKeepsTheOlderFile) {
    StartFleet(3);
    const fs::path out = Dir / "new" / "folder";
    fs::create_directories(out);
    WriteFile(out / "DEAD.xml", "older backup");
    const TCliRun run = Run({"fleet", "backup", "-o", out.string(), "--json"});
    EXPECT_EQ(run.Exit, 1) << run.Err;
    auto rows = ByLabel(JsonOf(run));
    EXPECT_EQ(ReadFile(out / "DEAD.xml"), "older backup");
    EXPECT_FALSE(rows["DEAD"]["ok"].toBool());

    const int sensors[] = {4, 3, 2};
    for (int i = 0; i < 3; ++i) {
        const std::string label = "SIM-000" + std::to_string(i + 1);
        const QJsonObject row = rows[QString::fromStdString(label)];
        ASSERT_TRUE(row["ok"].toBool()) << label << " " << run.Err;
        const fs::path file = out / (label + ".xml");
        EXPECT_EQ(row["file"].toString().toStdString(), file.string());
        EXPECT_EQ(row["sensors"].toInt(), sensors[i]);
        // Byte for byte what the detector sends.
        SimClient c(Sim->ports()[static_cast<size_t>(i)]);
        ASSERT_TRUE(c.login());
        const auto gc = c.block("gc");
        ASSERT_TRUE(gc);
        EXPECT_EQ(ReadFile(file), gc->second);
        EXPECT_EQ(row["bytes"].toInt(), static_cast<int>(gc->second.size()));
        struct stat st {};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // Nothing but the backups is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}

TEST_F(FleetCli, BackupWithoutAFolderJoinsTheHistoryOfConfigurations) {
    StartFleet(4, false);
    const TCliRun first = Run({"fleet", "backup", "--jobs", "4", "--json"});
    EXPECT_EQ(first.Exit, 0) << first.Err;
    auto rows = ByLabel(JsonOf(first));
    for (size_t i = 0; i < 4; ++i) {
        const QJsonObject row = rows[QString::fromStdString("SIM-000" + std::to_string(i + 1))];
        const fs::path file = row["file"].toString().toStdString();
        EXPECT_EQ(file.parent_path(),
                  Dir / "history" / ("127.0.0.1_" + std::to_string(Sim->ports()[i])));
        EXPECT_EQ(static_cast<int>(fs::file_size(file)), row["bytes"].toInt());
    }
    // Every label noted although the four were kept at once.
    EXPECT_EQ(Lines(ReadFile(Dir / "history" / "index.txt")).size(), 4u);

    // An unchanged configuration is not kept twice: the same file is named again.
    const TCliRun second = Run({"fleet", "backup", "--only", "SIM-0001", "--json"});
    EXPECT_EQ(second.Exit, 0);
    EXPECT_EQ(ByLabel(JsonOf(second))["SIM-0001"]["file"], rows["SIM-0001"]["file"]);
    const TCliRun history = Run({"history", "list", "--detector", "SIM-0001"});
    EXPECT_EQ(Lines(history.Out).size(), 1u) << history.Out;
}

TEST_F(FleetCli, LabelsThatGiveOneFileNeverOverwriteEachOther) {
    StartFleet(1, false);
    const std::string port = std::to_string(Sim->ports()[0]);
    ASSERT_EQ(Run({"hosts", "add", "../a/b", "127.0.0.1", "--port", port}).Exit, 0);
    ASSERT_EQ(Run({"hosts", "add", ".._a_b", "127.0.0.1", "--port", port}).Exit, 0);
    const TCliRun run = Run({"fleet", "backup", "-o", (Dir / "out").string(), "--json"});
    EXPECT_EQ(run.Exit, 1);
    auto rows = ByLabel(JsonOf(run));
    EXPECT_TRUE(rows["../a/b"]["ok"].toBool());
    EXPECT_EQ(rows["../a/b"]["file"].toString().toStdString(),
              (Dir / "out" / ".._a_b.xml").string());
    EXPECT_FALSE(rows[".._a_b"]["ok"].toBool());
    EXPECT_TRUE(fs::exists(Dir / "out" / ".._a_b.xml"));
    EXPECT_FALSE(fs::exists(Dir / "a")); // nothing outside the folder
}

TEST_F(FleetCli, TimeSyncSetsOnlyTheClocksBeyondTheLimit) {
    StartFleet(3);
    const TCliRun first = Run({"fleet", "time-sync", "--json"});
    EXPECT_EQ(first.Exit, 1);
    auto rows = ByLabel(JsonOf(first));
    EXPECT_FALSE(rows["DEAD"]["ok"].toBool());
    for (const char* label : {"SIM-0001", "SIM-0002", "SIM-0003"}) {
        const QJsonObject row = rows[label];
        ASSERT_TRUE(row["ok"].toBool()) << label;
        EXPECT_EQ(row["synced"].toBool(), std::abs(row["drift_s"].toInt()) > 2) << label;
    }
    EXPECT_NEAR(rows["SIM-0002"]["drift_s"].toInt(), -5, 1);
    EXPECT_TRUE(rows["SIM-0002"]["synced"].toBool());

    // Only the detectors: every clock is now within the limit, nothing is set again.
    const TCliRun second =
        Run({"fleet", "time-sync", "--only", "SIM-*", "--max-drift", "1.5", "--json"});
    EXPECT_EQ(second.Exit, 0) << second.Err;
    rows = ByLabel(JsonOf(second));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_LE(std::abs(rows["SIM-0002"]["drift_s"].toInt()), 1);
    EXPECT_FALSE(rows["SIM-0002"]["synced"].toBool());

    // The log shows no "gt" after an "st" on the same connection: no confirming question.
    const auto log = Lines(ReadFile(Dir / "sim.log"));
    std::map<std::string, std::string> lastOf;
    for (const auto& l : log) {
        std::istringstream in(l);
        std::string ms, id, text;
        in >> ms >> id;
        std::getline(in, text);
        if (lastOf[id].rfind(" st t=", 0) == 0) {
            EXPECT_NE(text, " gt") << "connection " << id;
        }
        lastOf[id] = text;
    }
}

TEST_F(FleetCli, DataDownloadWritesTablesRawBytesAndNeverATableOfOldFirmware) {
    StartFleet(2);
    SimProcess old({"--firmware", "\"Zelmont SF 5.1 37\""});
    ASSERT_EQ(Run({"hosts", "add", "OLD", "127.0.0.1", "--port", std::to_string(old.port())}).Exit,
              0);
    const fs::path out = Dir / "data";
    const TCliRun all = Run({"fleet", "data-download", "-o", out.string(), "--json"});
    EXPECT_EQ(all.Exit, 1) << all.Err;
    auto rows = ByLabel(JsonOf(all));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows["DEAD"]["ok"].toBool());
    for (const char* label : {"SIM-0001", "SIM-0002"}) {
        const QJsonObject row = rows[label];
        ASSERT_TRUE(row["ok"].toBool()) << label;
        EXPECT_EQ(row["records"].toInt(), 500); // the simulator's store
        EXPECT_EQ(row["bytes"].toInt(), 500 * 136);
        const std::string table = ReadFile(out / (std::string(label) + ".csv"));
        EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 500);
    }
    // Firmware 37 sends bytes no table can be made of: kept as they came, under .bin.
    EXPECT_TRUE(rows["OLD"]["ok"].toBool());
    EXPECT_TRUE(rows["OLD"]["records"].isNull());
    EXPECT_EQ(rows["OLD"]["file"].toString().toStdString(), (out / "OLD.bin").string());
    EXPECT_EQ(fs::file_size(out / "OLD.bin"), 500u * 136);
    EXPECT_FALSE(fs::exists(out / "OLD.csv"));

    const TCliRun recent = Run({"fleet", "data-download", "-o", out.string(), "--raw", "--days",
                                "1.5", "--only", "SIM-0001", "--json"});
    EXPECT_EQ(recent.Exit, 0) << recent.Err;
    rows = ByLabel(JsonOf(recent));
    const int records = rows["SIM-0001"]["records"].toInt();
    EXPECT_GT(records, 0);
    EXPECT_LT(records, 500);
    EXPECT_EQ(fs::file_size(out / "SIM-0001.bin"), static_cast<uintmax_t>(records) * 136);
    EXPECT_EQ(Run({"fleet", "data-download", "--days", "1"}).Exit, 2); // no -o
}

TEST_F(FleetCli, OnlySelectsWholeLabelsCaseSensitively) {
    StartFleet(3);
    const TCliRun run = Run({"fleet", "status", "--only", "SIM-000[13]"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind("SIM-0001", 0), 0u);
    EXPECT_EQ(lines[2].rfind("SIM-0003", 0), 0u);
    for (const char* pattern : {"sim-*", "SIM", "IM-0001"}) {
        const TCliRun none = Run({"fleet", "status", "--only", pattern});
        EXPECT_EQ(none.Exit, 1) << pattern;
        EXPECT_TRUE(none.Out.empty()) << pattern;
    }
}

TEST_F(FleetCli, AtMostJobsDetectorsAreLoggedInAtOnce) {
    StartFleet(6, false);
    const TCliRun run = Run({"fleet", "status", "--jobs", "2"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    // From the simulator's log: each connection lasts from its first to its last line.
    std::map<int, std::pair<long long, long long>> spans;
    for (const auto& l : Lines(ReadFile(Dir / "sim.log"))) {
        std::istringstream in(l);
        long long ms = 0;
        int id = 0;
        in >> ms >> id;
        auto [at, fresh] = spans.emplace(id, std::make_pair(ms, ms));
        if (!fresh)
            at->second.second = ms;
    }
    ASSERT_EQ(spans.size(), 6u);
    std::vector<std::pair<long long, int>> events; // ends sort before starts at the same time
    for (const auto& [id, span] : spans) {
        events.emplace_back(span.first, 1);
        events.emplace_back(span.second, 0);
    }
    std::sort(events.begin(), events.end());
    int open = 0, peak = 0;
    for (const auto& [ms, start] : events) {
        open += start ? 1 : -1;
        peak = std::max(peak, open);
    }
    EXPECT_LE(peak, 2);
    EXPECT_EQ(peak, 2); // and the two did overlap: the limit is a bound, not a queue of one
    for (const char* bad : {"0", "1025", "x"})
        EXPECT_EQ(Run({"fleet", "status", "--jobs", bad}).Exit, 2) << bad;
}

// --- faults -------------------------------------------------------------------------------------

struct TFaultRow {
    const char* Label;
    std::vector<std::string> Args;
    enum { Succeeds, Fails, Either } Outcome;
};

// 32 sound detectors and 8 that each misbehave in one way. The sound ones all succeed; a faulty
// one either succeeds with the figures a sound one gives, or fails with one line of its own.
TEST_F(FleetCli, FaultyDetectorsFailAloneWithOneLineAndSoundOnesSucceed) {
    const TFaultRow rows[] = {
        {"DROP", {"--drop-gp", "1", "--drop-sc", "1"}, TFaultRow::Succeeds},
        {"SLOW", {"--slow-ms", "400"}, TFaultRow::Succeeds},
        {"SPLIT", {"--split", "7"}, TFaultRow::Succeeds},
        {"GARBAGE", {"--garbage"}, TFaultRow::Succeeds}, // a stray line is no answer
        // From the first body on: a task asks for one body only.
        {"CLOSE", {"--close-mid-body", "--body-fault-every", "1"}, TFaultRow::Either},
        {"HUGE", {"--huge-announce", "--body-fault-every", "1"}, TFaultRow::Either},
        {"REFUSED", {"--password", "other"}, TFaultRow::Fails},
        {"MUTE", {"--mute"}, TFaultRow::Fails},
    };
    StartFleet(32, false);
    std::vector<std::unique_ptr<SimProcess>> faulty;
    for (const TFaultRow& r : rows) {
        std::vector<std::string> args = r.Args;
        args.insert(args.end(), {"--level", "high"});
        faulty.push_back(std::make_unique<SimProcess>(args));
        ASSERT_EQ(Run({"hosts", "add", r.Label, "127.0.0.1", "--port",
                       std::to_string(faulty.back()->port())})
                      .Exit,
                  0);
    }
    // What a sound lone detector holds: the faulty ones run the same default configuration.
    SimProcess clean;
    SimClient c(clean.port());
    ASSERT_TRUE(c.login());
    const auto gc = c.block("gc");
    ASSERT_TRUE(gc);
    const std::string config = gc->second;

    const TCliRun status = Run({"fleet", "status", "--jobs", "16", "--json"});
    EXPECT_EQ(status.Exit, 1) << status.Err;
    auto rows40 = ByLabel(JsonOf(status));
    ASSERT_EQ(rows40.size(), 40u);
    const fs::path out = Dir / "backups";
    const TCliRun backup = Run({"fleet", "backup", "-o", out.string(), "--jobs", "16", "--json"});
    EXPECT_EQ(backup.Exit, 1) << backup.Err;
    auto saved = ByLabel(JsonOf(backup));
    ASSERT_EQ(saved.size(), 40u);

    auto soundStatus = [](const QJsonObject& row) {
        return row["firmware"].toString() == "Zelmont SF 5.2 38" &&
               (row["level"].toString() == "high" || row["level"].toString() == "low");
    };
    for (int k = 1; k <= 32; ++k) {
        const QString label = QString("SIM-%1").arg(k, 4, 10, QChar('0'));
        const QJsonObject row = rows40[label];
        EXPECT_TRUE(row["ok"].toBool() && soundStatus(row)) << label.toStdString();
        EXPECT_NEAR(row["drift_s"].toInt(), (7 * k) % 13 - 6, 1) << label.toStdString();
        EXPECT_TRUE(saved[label]["ok"].toBool()) << label.toStdString();
    }
    for (const TFaultRow& r : rows) {
        for (const auto& [name, row] :
             {std::pair{"status", rows40[r.Label]}, std::pair{"backup", saved[r.Label]}}) {
            const std::string what = std::string(r.Label) + " " + name;
            const bool ok = row["ok"].toBool();
            if (r.Outcome != TFaultRow::Either)
                EXPECT_EQ(ok, r.Outcome == TFaultRow::Succeeds) << what;
            if (!ok) {
                const std::string error = row["error"].toString().toStdString();
                EXPECT_FALSE(error.empty()) << what;
                EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << what << ": " << error;
                EXPECT_LT(error.size(), 200u) << what << ": " << error;
                continue;
            }
            if (std::string(name) == "status") {
                EXPECT_TRUE(soundStatus(row)) << what;
                EXPECT_EQ(row["level"].toString().toStdString(), "high") << what;
                EXPECT_NEAR(row["drift_s"].toInt(), 0, 1) << what;
            } else {
                EXPECT_EQ(ReadFile(out / (std::string(r.Label) + ".xml")), config) << what;
                EXPECT_EQ(row["sensors"].toInt(), 4) << what;
            }
        }
        if (!saved[r.Label]["ok"].toBool())
            EXPECT_FALSE(fs::exists(out / (std::string(r.Label) + ".xml"))) << r.Label;
    }
    // One file per saved configuration and nothing else: no temporary file survives a failure.
    long files = 0;
    for (const auto& [label, row] : saved)
        files += row["ok"].toBool();
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), files);
    for (const auto& sim : faulty)
        EXPECT_TRUE(sim->alive());
}

// --- the address book ---------------------------------------------------------------------------

TEST_F(FleetCli, ImportTakesUpdatesAndRefusesRowsWithTheirLineNumbers) {
    ASSERT_EQ(Run({"hosts", "add", "A", "10.0.0.1"}).Exit, 0);
    ASSERT_EQ(Run({"hosts", "add", "B", "10.0.0.2", "--port", "9000"}).Exit, 0);
    const std::string before = ReadFile(Hosts());
    WriteFile(Dir / "good.csv", "label,address,port,login,password\n"
                                "C,10.0.0.3,8081,op,s3\n"
                                "A,10.0.0.11,,,\n");
    WriteFile(Dir / "bad.csv", "label,address,port\n"
                               "D,10.0.0.4,8080\n"
                               "E,10.0.0,8080\n"
                               "F,10.0.0.6,70000\n");

    const TCliRun bad = Run({"hosts", "import", (Dir / "bad.csv").string()});
    EXPECT_EQ(bad.Exit, 1);
    EXPECT_EQ(bad.Out, "line 2: taken D\n"
                       "line 3: refused E: bad address \"10.0.0\"\n"
                       "line 4: refused F: port \"70000\" is outside 1-65535\n");
    EXPECT_EQ(ReadFile(Hosts()), before); // nothing written

    const TCliRun good = Run({"hosts", "import", (Dir / "good.csv").string()});
    EXPECT_EQ(good.Exit, 0) << good.Err;
    EXPECT_EQ(good.Out, "line 2: taken C\nline 3: updated A\n");

    const TCliRun skip = Run({"hosts", "import", (Dir / "bad.csv").string(), "--skip-bad"});
    EXPECT_EQ(skip.Exit, 0);

    std::vector<THostRec> records;
    ASSERT_EQ(LoadHostsFile(Hosts(), records), THostsLoad::Loaded);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].Caption, "A"); // updated in its place
    EXPECT_EQ(records[0].Address, "10.0.0.11");
    EXPECT_EQ(records[1].Caption, "B");
    EXPECT_EQ(records[2].Caption, "C");
    EXPECT_EQ(records[2].Login, "op");
    EXPECT_EQ(records[3].Caption, "D");
    struct stat st {};
    ASSERT_EQ(stat(Hosts().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const auto list = Lines(Run({"hosts", "list"}).Out);
    ASSERT_EQ(list.size(), 5u);
    // Aligned: every address starts under the header's ADDRESS, every port under PORT.
    for (size_t i = 1; i < list.size(); ++i) {
        EXPECT_EQ(list[i].find("10.0.0."), list[0].find("ADDRESS")) << list[i];
        EXPECT_EQ(list[i].find_first_of("89", list[0].find("PORT")), list[0].find("PORT"))
            << list[i];
    }
    EXPECT_NE(list[2].find("9000"), std::string::npos);
}

TEST_F(FleetCli, DamagedAddressBookIsKeptBesideTheEntriesRecoveredFromIt) {
    // An entry with a Windows-1251 password, then a cut-off file.
    const std::string damaged =
        "<kervola>\r\n"
        " <rec caption=\"A\" ip=\"10.0.0.1\" port=\"8080\" login=\"root\" "
        "pass=\"\xEF\xE0\xF0\xEE\xEB\xFC\" created=\"01.02.2025 10:00:00\"/>\r\n"
        " <rec caption=\"B\" ip=\"10.0.0.2\" port=\"80";
    WriteFile(Hosts(), damaged);
    const TCliRun add = Run({"hosts", "add", "C", "10.0.0.3"});
    EXPECT_EQ(add.Exit, 0) << add.Err;
    EXPECT_NE(add.Err.find("damaged"), std::string::npos);
    EXPECT_EQ(ReadFile(Hosts() + ".bak"), damaged);
    std::vector<THostRec> records;
    ASSERT_EQ(LoadHostsFile(Hosts(), records), THostsLoad::Loaded);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Password, "\xEF\xE0\xF0\xEE\xEB\xFC"); // untouched bytes stay
    EXPECT_EQ(records[1].Caption, "B");
    EXPECT_EQ(records[2].Caption, "C");
}

TEST_F(FleetCli, AddAndRemoveKeepTheBookSound) {
    EXPECT_EQ(Run({"hosts", "list"}).Exit, 1); // no file yet
    EXPECT_EQ(Run({"hosts", "add", "A", "10.0.0.300"}).Exit, 2);
    EXPECT_EQ(Run({"hosts", "add", "A", "10.0.0.1", "--port", "0"}).Exit, 2);
    ASSERT_EQ(Run({"hosts", "add", "A", "10.0.0.1"}).Exit, 0);
    EXPECT_EQ(Run({"hosts", "add", "A", "10.0.0.2"}).Exit, 1); // the label exists
    // The last entry stays, as in the program; a silent no-op would report a removal.
    EXPECT_EQ(Run({"hosts", "remove", "A"}).Exit, 1);
    ASSERT_EQ(Run({"hosts", "add", "B", "10.0.0.2"}).Exit, 0);
    EXPECT_EQ(Run({"hosts", "remove", "Z"}).Exit, 1);
    EXPECT_EQ(Run({"hosts", "remove", "A"}).Exit, 0);
    std::vector<THostRec> records;
    ASSERT_EQ(LoadHostsFile(Hosts(), records), THostsLoad::Loaded);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Caption, "B");
}

} // namespace
