// The toolkit-free parts of the address-book import and of fleet runs: table reading, the
// reading of replies, file names from labels, the bounded pool and the report.

#include "addressbook/HostsImport.h"
#include "fleet/FleetPool.h"
#include "fleet/FleetReport.h"
#include "fleet/FleetTasks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

THostRec Entry(const std::string& label, const std::string& address, int port) {
    return {label, address, port, "root", "kvtp", 1};
}

// --- CSV import ---------------------------------------------------------------------------------

TEST(HostsImport, GoodTableTakesRowsWithDefaultsAndQuotedFields) {
    std::vector<THostRec> records{Entry("A", "10.0.0.1", 8080)};
    const std::string csv = "\xEF\xBB\xBFPort,Label,Address,Password,Login\r\n"
                            "9000,North,10.0.0.2,s3,op\r\n"
                            "\r\n"
                            ",\"South, gate \"\"2\"\"\",10.0.0.3,,\r\n"
                            " 8081 , East , 10.0.0.4 ,pw,\n";
    const TImportResult r = ImportHostsCsv(csv, records, 42);
    ASSERT_TRUE(r.Problem.empty()) << r.Problem;
    ASSERT_EQ(r.Rows.size(), 3u);
    EXPECT_EQ(r.Rows[0].Line, 2);
    EXPECT_EQ(r.Rows[1].Line, 4); // the blank line 3 gives no row but keeps its number
    EXPECT_EQ(r.Rows[2].Line, 5);
    EXPECT_EQ(r.Count(TImportOutcome::Taken), 3);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1], (THostRec{"North", "10.0.0.2", 9000, "op", "s3", 42}));
    EXPECT_EQ(records[2], (THostRec{"South, gate \"2\"", "10.0.0.3", 8080, "root", "kvtp", 42}));
    EXPECT_EQ(records[3], (THostRec{"East", "10.0.0.4", 8081, "root", "pw", 42}));
}

struct TRefusedCase {
    const char* Name;
    const char* Row;
    const char* Reason; // part of the reason text
};

class HostsImportRefused : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(HostsImportRefused, RowIsRefusedAndChangesNothing) {
    std::vector<THostRec> records{Entry("A", "10.0.0.1", 8080)};
    const auto before = records;
    const TImportResult r =
        ImportHostsCsv(std::string("label,address,port\n") + GetParam().Row + "\n", records, 42);
    ASSERT_EQ(r.Rows.size(), 1u);
    EXPECT_EQ(r.Rows[0].Outcome, TImportOutcome::Refused);
    EXPECT_EQ(r.Rows[0].Line, 2);
    EXPECT_NE(r.Rows[0].Reason.find(GetParam().Reason), std::string::npos) << r.Rows[0].Reason;
    EXPECT_EQ(records, before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HostsImportRefused,
    ::testing::Values(TRefusedCase{"ThreeGroups", "B,10.0.1,8080", "bad address"},
                      TRefusedCase{"GroupOver255", "B,10.0.0.256,8080", "bad address"},
                      TRefusedCase{"Name", "B,detector.example,8080", "bad address"},
                      TRefusedCase{"PortZero", "B,10.0.0.2,0", "outside 1-65535"},
                      TRefusedCase{"PortTooHigh", "B,10.0.0.2,65536", "outside 1-65535"},
                      TRefusedCase{"PortText", "B,10.0.0.2,80a", "outside 1-65535"},
                      TRefusedCase{"PortNegative", "B,10.0.0.2,-1", "outside 1-65535"},
                      TRefusedCase{"EmptyLabel", ",10.0.0.2,8080", "empty label"},
                      TRefusedCase{"OpenQuote", "\"B,10.0.0.2,8080", "not closed"},
                      TRefusedCase{"BothQuoteKinds", "\"B'\"\"x\",10.0.0.2,8080",
                                   "label cannot hold both"},
                      // A quoted field may span lines, but the address book's file would give
                      // a bare line end back as CR LF.
                      TRefusedCase{"LabelWithLineFeed", "\"B\nx\",10.0.0.2,8080",
                                   "label cannot hold a line break"},
                      TRefusedCase{"LabelWithCrLf", "\"B\r\nx\",10.0.0.2,8080",
                                   "label cannot hold a line break"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(HostsImport, LoginOrPasswordWithBothQuoteKindsIsRefusedNeverChanged) {
    std::vector<THostRec> records;
    const TImportResult r = ImportHostsCsv("label,address,login,password\n"
                                           "A,10.0.0.1,\"o'\"\"p\",pw\n"
                                           "B,10.0.0.2,op,\"p'\"\"w\"\n"
                                           "C,10.0.0.3,o'p,p\"\"w\n"
                                           "D,10.0.0.4,op,\"p\rw\"\n",
                                           records, 42);
    ASSERT_EQ(r.Rows.size(), 4u);
    EXPECT_NE(r.Rows[0].Reason.find("login cannot hold both"), std::string::npos);
    EXPECT_NE(r.Rows[1].Reason.find("password cannot hold both"), std::string::npos);
    EXPECT_EQ(r.Rows[2].Outcome, TImportOutcome::Taken); // one kind each is fine
    EXPECT_NE(r.Rows[3].Reason.find("password cannot hold a line break"), std::string::npos);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Login, "o'p");
}

TEST(HostsImport, SameLabelUpdatesInPlaceAlsoWithinTheTable) {
    std::vector<THostRec> records{Entry("A", "10.0.0.1", 8080), Entry("B", "10.0.0.2", 8080)};
    const TImportResult r = ImportHostsCsv("label,address,port\n"
                                           "A,10.0.0.9,9001\n"
                                           "C,10.0.0.3,\n"
                                           "C,10.0.0.4,9004\n",
                                           records, 42);
    ASSERT_EQ(r.Rows.size(), 3u);
    EXPECT_EQ(r.Rows[0].Outcome, TImportOutcome::Updated);
    EXPECT_EQ(r.Rows[1].Outcome, TImportOutcome::Taken);
    EXPECT_EQ(r.Rows[2].Outcome, TImportOutcome::Updated);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], (THostRec{"A", "10.0.0.9", 9001, "root", "kvtp", 42}));
    EXPECT_EQ(records[1].Caption, "B");
    EXPECT_EQ(records[2], (THostRec{"C", "10.0.0.4", 9004, "root", "kvtp", 42}));
}

TEST(HostsImport, MultiLineFieldNumbersRowsByTheirFirstLine) {
    std::vector<THostRec> records;
    const TImportResult r = ImportHostsCsv("label,address\n"
                                           "\"two\nlines\",10.0.0.1\n"
                                           "bad,1.2.3\n",
                                           records, 42);
    ASSERT_EQ(r.Rows.size(), 2u);
    EXPECT_EQ(r.Rows[0].Line, 2);
    EXPECT_EQ(r.Rows[1].Line, 4);
    // Read whole, but refused: the address book could not store the label's line end as it is.
    EXPECT_NE(r.Rows[0].Reason.find("label cannot hold a line break"), std::string::npos);
    EXPECT_TRUE(records.empty());
}

TEST(HostsImport, HeaderWithoutLabelOrAddressIsAProblem) {
    for (const char* csv : {"", "\nlabel,address\n", "name,ip\nA,10.0.0.1\n", "label\nA\n"}) {
        std::vector<THostRec> records;
        EXPECT_FALSE(ImportHostsCsv(csv, records, 42).Problem.empty()) << csv;
        EXPECT_TRUE(records.empty());
    }
}

// --- replies, drift, file names ---------------------------------------------------------------

TEST(FleetReplies, FirmwareLevelAndClock) {
    std::string firmware;
    EXPECT_TRUE(FirmwareFromReply("gv=\"Zelmont SF 5.2 38\"", firmware));
    EXPECT_EQ(firmware, "Zelmont SF 5.2 38");
    EXPECT_TRUE(FirmwareFromReply("gv=5.2 38", firmware));
    EXPECT_EQ(firmware, "5.2 38");
    EXPECT_FALSE(FirmwareFromReply("gv", firmware));

    EXPECT_EQ(LevelFromReply("gg=0"), "high");
    EXPECT_EQ(LevelFromReply("gg=1"), "low");
    EXPECT_EQ(LevelFromReply("gg=7"), "unknown");
    EXPECT_EQ(LevelFromReply("gg"), "unknown");

    std::time_t t = 0;
    ASSERT_TRUE(DetectorClockFromReply("gt t=\"2026-03-01 12:34:56\"", t));
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(local.tm_mday, 1);
    EXPECT_EQ(local.tm_hour, 12);
    EXPECT_EQ(local.tm_sec, 56);
    EXPECT_FALSE(DetectorClockFromReply("gt t=\"2026-02-30 12:34:56\"", t));
    EXPECT_FALSE(DetectorClockFromReply("gt", t));
    EXPECT_FALSE(DetectorClockFromReply("gt t=soon", t));
}

// A detector on loopback that puts stray lines before every answer, in the same write as the
// answer, so that they reach the reader together.
class TStrayPeer {
public:
    TStrayPeer() {
        Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(Listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(Listener, 1);
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&a), &len);
        Port = ntohs(a.sin_port);
        Thread = std::thread([this] { Serve(); });
    }
    ~TStrayPeer() {
        ::shutdown(Listener, SHUT_RDWR);
        Thread.join();
        ::close(Listener);
    }
    int Port = 0;

private:
    void Serve() {
        pollfd p{Listener, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            return;
        const int c = ::accept(Listener, nullptr, nullptr);
        if (c < 0)
            return;
        std::string in;
        int lines = 0;
        char buf[512];
        for (pollfd q{c, POLLIN, 0}; ::poll(&q, 1, 10000) > 0;) {
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            in.append(buf, static_cast<size_t>(n));
            for (size_t end; (end = in.find("\r\n")) != std::string::npos;) {
                const std::string line = in.substr(0, end);
                in.erase(0, end + 2);
                std::string out = ++lines == 2 ? "OK\r\n" : lines < 2 ? "" : "zq stray\r\n";
                if (line == "gv")
                    out += "gv=\"Zelmont SF 5.2 38\"\r\n";
                else if (line == "gt")
                    out += "gp=12ab\r\ngt t=\"2026-03-01 12:34:56\"\r\n";
                else if (line == "gg")
                    out += "gg=0\r\n";
                ::send(c, out.data(), out.size(), MSG_NOSIGNAL);
            }
        }
        ::close(c);
    }
    int Listener = -1;
    std::thread Thread;
};

TEST(FleetTasks, StrayLinesThatComeWithAnAnswerAreNeitherTakenForItNorLoseIt) {
    TStrayPeer peer;
    const TFleetResult r = FleetStatus({"127.0.0.1", peer.Port, "root", "kvtp"});
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Find("firmware")->TextValue, "Zelmont SF 5.2 38");
    EXPECT_EQ(r.Find("level")->TextValue, "high");
    ASSERT_EQ(r.Find("drift_s")->Kind, TFleetItem::Number);
}

TEST(FleetReplies, DriftComparesTheMiddleOfTheDetectorsSecondWithTheExchange) {
    // The detector read 100 somewhere in [100, 101); the exchange took 100.2..100.4.
    EXPECT_EQ(DriftSeconds(100, 100.2, 100.4), 0);
    EXPECT_EQ(DriftSeconds(105, 100.2, 100.4), 5);
    EXPECT_EQ(DriftSeconds(95, 100.7, 100.9), -5);
    // A slow answer: the clock could have been read anywhere in it.
    EXPECT_EQ(DriftSeconds(101, 100.4, 102.0), 0);
}

TEST(FleetReplies, LabelsNeverLeaveTheFolder) {
    EXPECT_EQ(FileNameForLabel("SIM-0001"), "SIM-0001");
    EXPECT_EQ(FileNameForLabel("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(FileNameForLabel(".."), "_..");
    EXPECT_EQ(FileNameForLabel("."), "_.");
    EXPECT_EQ(FileNameForLabel(""), "_");
    EXPECT_EQ(FileNameForLabel("a\nb"), "a_b");
    EXPECT_EQ(FileNameForLabel("Север 1"), "Север 1");
}

// --- the pool -----------------------------------------------------------------------------------

TEST(FleetPool, EachIndexOnceAndNeverMoreThanTheLimitAtOnce) {
    for (int jobs : {1, 3, 64}) {
        constexpr size_t Count = 20;
        std::vector<std::atomic<int>> runs(Count);
        std::atomic<int> inFlight{0}, peak{0};
        std::vector<size_t> reports;
        RunBounded(
            Count, jobs,
            [&](size_t i) {
                const int now = ++inFlight;
                for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);)
                    ;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --inFlight;
                ++runs[i];
            },
            [&](size_t done) { reports.push_back(done); });
        for (size_t i = 0; i < Count; ++i)
            EXPECT_EQ(runs[i].load(), 1) << "jobs " << jobs << " index " << i;
        EXPECT_LE(peak.load(), std::min<int>(jobs, Count)) << "jobs " << jobs;
        ASSERT_EQ(reports.size(), Count);
        for (size_t i = 0; i < Count; ++i)
            EXPECT_EQ(reports[i], i + 1);
    }
    RunBounded(0, 4, [](size_t) { ADD_FAILURE(); });
}

// --- the report ---------------------------------------------------------------------------------

TEST(FleetReport, JsonStringsStayValidForAnyBytes) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("\r\n\t\x01"), "\"\\r\\n\\t\\u0001\"");
    EXPECT_EQ(JsonString("Север"), "\"Север\"");
    // Windows-1251 "Се" is not UTF-8: each byte is shown as the replacement character.
    EXPECT_EQ(JsonString("\xD1\xE5"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xE2\x82"), "\"\\ufffd\\ufffd\""); // a cut-off sequence
}

TEST(FleetReport, TableAndJsonListTheDetectorsInOrderWithTheirFigures) {
    const std::vector<THostRec> hosts{Entry("Север-1", "10.0.0.1", 8080),
                                      Entry("B", "10.0.0.2", 9000)};
    std::vector<TFleetResult> results(2);
    results[0].Ok = true;
    results[0].AddText("firmware", "5.2 38");
    results[0].AddNumber("drift_s", -3);
    results[0].AddFlag("synced", true);
    results[1].Fail("cannot connect or log in and a long error text that must not widen");
    const std::vector<std::string> keys{"firmware", "drift_s", "synced"};

    EXPECT_EQ(FleetTable(hosts, results, keys),
              "LABEL    ADDRESS        OUTCOME  FIRMWARE  DRIFT_S  SYNCED\n"
              "Север-1  10.0.0.1:8080  ok       5.2 38    -3       yes\n"
              "B        10.0.0.2:9000  failed   cannot connect or log in and a long error text "
              "that must not widen\n");

    const std::string json = FleetJson(hosts, results);
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<int>(json.size())), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonArray array = doc.array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first["label"].toString(), QString::fromUtf8("Север-1"));
    EXPECT_EQ(first["port"].toInt(), 8080);
    EXPECT_TRUE(first["ok"].toBool());
    EXPECT_FALSE(first.contains("error"));
    EXPECT_EQ(first["drift_s"].toInt(), -3);
    EXPECT_TRUE(first["synced"].toBool());
    const QJsonObject second = array[1].toObject();
    EXPECT_FALSE(second["ok"].toBool());
    EXPECT_TRUE(second["error"].toString().startsWith("cannot connect"));
    EXPECT_EQ(FleetJson({}, {}), "[]\n");
}

} // namespace
