// The simulator over TCP, read the way the program and the transport library read a detector.

#include "sim_harness.h"

#include "config/XMLConfig.h"
#include "detector.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

std::pair<int, int> jpeg_size(const std::string& jpeg) {
    tjhandle h = tjInitDecompress();
    int w = 0, ht = 0, sub = 0, colour = 0;
    const int r =
        tjDecompressHeader3(h, reinterpret_cast<const unsigned char*>(jpeg.data()),
                            static_cast<unsigned long>(jpeg.size()), &w, &ht, &sub, &colour);
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * ht * 3 + 1);
    const int d = r == 0 ? tjDecompress2(h, reinterpret_cast<const unsigned char*>(jpeg.data()),
                                         static_cast<unsigned long>(jpeg.size()), pixels.data(), w,
                                         0, ht, TJPF_BGR, TJFLAG_BOTTOMUP)
                         : -1;
    tjDestroy(h);
    return d == 0 ? std::make_pair(w, ht) : std::make_pair(-1, -1);
}

std::uint32_t u32(const std::string& b, size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

std::int64_t now_s() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::unique_ptr<SimClient> logged_in(const SimProcess& sim) {
    auto c = std::make_unique<SimClient>(sim.port());
    EXPECT_TRUE(c->login());
    return c;
}

} // namespace

// --- login --------------------------------------------------------------------------------------

struct LoginCase {
    const char* name;
    std::vector<std::string> args;
    const char* login;
    const char* password;
    bool accepted;
};

class SimLogin : public testing::TestWithParam<LoginCase> {};

TEST_P(SimLogin, AcceptsOnlyTheRightPair) {
    const auto& c = GetParam();
    SimProcess sim(c.args);
    SimClient client(sim.port());
    ASSERT_TRUE(client.connected());
    if (c.accepted) {
        EXPECT_TRUE(client.login(c.login, c.password));
        EXPECT_EQ(client.command("gv"), "gv=\"Zelmont SF 5.2 38\"");
    } else {
        client.send(std::string(c.login) + "\r\n" + c.password + "\r\n");
        EXPECT_TRUE(client.closed_by_peer());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, SimLogin,
    testing::Values(LoginCase{"defaults", {}, "root", "kvtp", true},
                    LoginCase{"wrong_password", {}, "root", "kvtq", false},
                    LoginCase{"wrong_login", {}, "admin", "kvtp", false},
                    LoginCase{"swapped", {}, "kvtp", "root", false},
                    LoginCase{"own_pair", {"--login", "op", "--password", "s3"}, "op", "s3", true},
                    LoginCase{"default_after_own", {"--login", "op"}, "root", "kvtp", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- one-line replies ---------------------------------------------------------------------------

struct FormCase {
    const char* name;
    const char* command;
    const char* reply; // regular expression for the whole line
};

class SimReplyForm : public testing::TestWithParam<FormCase> {
protected:
    static void SetUpTestSuite() { sim = std::make_unique<SimProcess>(); }
    static void TearDownTestSuite() { sim.reset(); }
    static std::unique_ptr<SimProcess> sim;
};
std::unique_ptr<SimProcess> SimReplyForm::sim;

TEST_P(SimReplyForm, MatchesWhatTheReaderTakes) {
    const auto& c = GetParam();
    auto client = logged_in(*sim);
    const auto reply = client->command(c.command);
    ASSERT_TRUE(reply.has_value()) << c.command;
    EXPECT_TRUE(std::regex_match(*reply, std::regex(c.reply))) << c.command << " -> " << *reply;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimReplyForm,
    testing::Values(
        // The last token of the firmware text picks the data download path: 38 = "gb stat".
        FormCase{"gv", "gv", R"(gv="Zelmont SF 5\.2 38")"}, FormCase{"gf", "gf", R"(gf rate=@25)"},
        FormCase{"gt", "gt", R"(gt t="\d{4}-\d\d-\d\d \d\d:\d\d:\d\d")"},
        FormCase{"gn", "gn",
                 R"(gn address [\d.]+ netmask [\d.]+ gateway [\d.]+ dns-nameservers [\d.]+)"},
        FormCase{"gn_ntp", "gn ntp", R"(gn ntp \[[^\]]+\])"},
        FormCase{"gg", "gg", R"(gg=[01])"}, // the 4th character is the state digit
        FormCase{"cl", "cl", "cl ok"}, FormCase{"cl_timed", "cl 0,2,4,6", "cl ok"},
        FormCase{"gb_stat", "gb stat", "gb stat=136,500"},
        FormCase{"gs", "gs", "gs 1 [01] 2 [01] 3 [01] 4 [01]"},
        FormCase{"ge", "ge", R"(ge( [1-4] [01] 0 \d+ 0 0 0){4})"},
        FormCase{"gb_dele_unknown_args", "gb what", R"(\?gb what)"},
        FormCase{"unknown", "zz 12", R"(\?zz 12)"}, FormCase{"st_bad", "st t=yesterday", "st bad"},
        FormCase{"sc_without_count", "sc s=x", "sc s=0"},
        // An unreadable start selects nothing; "0" would select everything.
        FormCase{"gb_ltim_unreadable", "gb ltim=soon,0", "gb ltim=0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sim, ClockFollowsSetTimeAndNetworkLinesAreStored) {
    SimProcess sim;
    auto c = logged_in(sim);
    EXPECT_EQ(c->command("st t=2024-02-29 23:59:58"), "st ok");
    const auto t = c->command("gt");
    ASSERT_TRUE(t);
    EXPECT_TRUE(*t == "gt t=\"2024-02-29 23:59:58\"" || *t == "gt t=\"2024-02-29 23:59:59\"" ||
                *t == "gt t=\"2024-03-01 00:00:00\"")
        << *t;
    // The settings dialog sends a date alone at midnight.
    EXPECT_EQ(c->command("st t=2025-07-01"), "st ok");
    EXPECT_EQ(c->command("st t=2025-02-30 10:00:00"), "st bad");

    // Network lines have no reply; the next question shows they were taken.
    c->send("sn 10.0.0.5,255.0.0.0,10.0.0.1\r\nsn ntp [a.example,b.example]\r\nsn port 9000\r\n");
    EXPECT_EQ(c->command("gn"), "gn address 10.0.0.5 netmask 255.0.0.0 gateway 10.0.0.1");
    EXPECT_EQ(c->command("gn ntp"), "gn ntp [a.example, b.example]");
    c->send("sn ntp []\r\n");
    EXPECT_EQ(c->command("gn ntp"), "gn ntp []");
}

// --- pictures -----------------------------------------------------------------------------------

TEST(Sim, PictureIsA720x576JpegWhoseQualityComesFromTheConfiguration) {
    SimProcess sim;
    auto c = logged_in(sim);
    auto size_at = [&c](const char* quality) {
        auto cfg = c->block("gc");
        EXPECT_TRUE(cfg);
        TXMLConfig doc;
        EXPECT_TRUE(doc.LoadFromText(cfg->second));
        TXMLNode* top = doc.TopNode.get();
        TXMLNode* sys = top->GetNode(top->FindChildByParam("type", "system"));
        sys->GetNode(sys->FindChildByParam("name", "jpegquality"))->Params.SetParam("val", quality);
        const std::string text = doc.AsText();
        c->send("sc s=" + std::to_string(text.size()) + "\r\n" + text);
        EXPECT_EQ(c->line(), "sc s=" + std::to_string(text.size()));
        auto pic = c->block("gp");
        EXPECT_TRUE(pic);
        EXPECT_EQ(jpeg_size(pic->second), std::make_pair(720, 576));
        return pic->second.size();
    };
    EXPECT_LT(size_at("10"), size_at("95"));
}

// --- configuration ------------------------------------------------------------------------------

TEST(Sim, ConfigurationRoundTripThroughUpload) {
    SimProcess sim;
    auto c = logged_in(sim);
    auto first = c->block("gc");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, "gc s=" + std::to_string(first->second.size()));

    TXMLConfig doc;
    ASSERT_TRUE(doc.LoadFromText(first->second));
    TQuadList zones;
    doc.ReadSensors(zones);
    ASSERT_EQ(zones.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(zones.Quad(i)->Id, std::to_string(i + 1));
        // Corners that fail validity would have been swapped for a default rectangle.
        EXPECT_TRUE(IsValidQuad(zones.Quad(i)->Points, 800, 600)) << i;
    }

    // Drop sensor 2 and add a 7: the stored zones follow the upload.
    doc.DeleteSensor(zones, 1);
    doc.AddSensor(zones, "7", DefaultQuad(0));
    const std::string text = doc.AsText();
    // The program may send the line and the document in separate pieces.
    c->send("sc s=" + std::to_string(text.size()) + "\r\n" + text.substr(0, 100));
    std::this_thread::sleep_for(50ms);
    c->send(text.substr(100));
    EXPECT_EQ(c->line(), "sc s=" + std::to_string(text.size()));
    auto second = c->block("gc");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->second, text);
    const auto gs = c->command("gs");
    ASSERT_TRUE(gs);
    EXPECT_TRUE(std::regex_match(*gs, std::regex("gs 1 [01] 3 [01] 4 [01] 7 [01]"))) << *gs;

    // A document that does not parse is answered with another count and changes nothing.
    const std::string broken = "<message from=\"x\"><object id=\"1\"";
    c->send("sc s=" + std::to_string(broken.size()) + "\r\n" + broken);
    const auto refused = c->line();
    ASSERT_TRUE(refused);
    EXPECT_NE(*refused, "sc s=" + std::to_string(broken.size()));
    EXPECT_EQ(c->block("gc")->second, text);
}

// --- data records -------------------------------------------------------------------------------

class SimRecords : public testing::TestWithParam<int> {};

TEST_P(SimRecords, DownloadInTheAnnouncedLayout) {
    const int size = GetParam();
    SimProcess sim({"--record-size", std::to_string(size), "--records", "40"});
    auto c = logged_in(sim);
    EXPECT_EQ(c->command("gb stat"), "gb stat=" + std::to_string(size) + ",40");

    auto all = c->block("gb ltim=0,0");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->first, "gb ltim=" + std::to_string(40 * size));
    ASSERT_EQ(all->second.size(), static_cast<size_t>(40 * size));
    const size_t time_at = size == 144 ? 8 : 4;
    std::uint32_t previous = 0;
    for (size_t r = 0; r < 40; ++r) {
        const std::string rec = all->second.substr(r * static_cast<size_t>(size), size);
        const std::int64_t t = u32(rec, time_at);
        EXPECT_GE(t, now_s() - 10 * 86400 - 60) << r;
        EXPECT_LE(t, now_s() + 1) << r;
        EXPECT_GE(t, previous) << "records come oldest first";
        previous = static_cast<std::uint32_t>(t);
        const auto sensor = static_cast<std::int32_t>(u32(rec, 0));
        EXPECT_TRUE(sensor >= 1 && sensor <= 4) << sensor;
    }

    // The old firmware path gives the same bytes.
    EXPECT_EQ(c->block("gd")->second, all->second);

    // "From" is the PC's local time; only records at or after it come back.
    const std::time_t from = static_cast<std::time_t>(now_s() - 5 * 86400);
    std::tm tm{};
    localtime_r(&from, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    auto recent = c->block(std::string("gb ltim=") + text + ",0");
    ASSERT_TRUE(recent);
    const size_t n = recent->second.size() / static_cast<size_t>(size);
    EXPECT_EQ(recent->second.size() % static_cast<size_t>(size), 0u);
    EXPECT_TRUE(n >= 18 && n <= 22) << n;
    for (size_t r = 0; r < n; ++r)
        EXPECT_GE(u32(recent->second, r * static_cast<size_t>(size) + time_at),
                  static_cast<std::uint32_t>(from));

    EXPECT_EQ(c->command("gb dele"), "gb ok");
    EXPECT_EQ(c->command("gb stat"), "gb stat=" + std::to_string(size) + ",0");
    // Nothing left: the count 0 announces no body, so the next reply is a plain line.
    EXPECT_EQ(c->command("gb ltim=0,0"), "gb ltim=0");
    EXPECT_EQ(c->command("gd"), "gd=0");
    EXPECT_EQ(c->command("gv"), "gv=\"Zelmont SF 5.2 38\"");
}

INSTANTIATE_TEST_SUITE_P(Layouts, SimRecords, testing::Values(136, 144, 288));

// --- firmware update ----------------------------------------------------------------------------

TEST(Sim, FirmwareUpdateChecksTheSixteenBitSum) {
    SimProcess sim;
    auto c = logged_in(sim);
    std::string file(70000, '\0');
    unsigned sum = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<char>(i * 7 + 3);
        sum += static_cast<unsigned char>(file[i]);
    }
    sum &= 0xFFFF; // the sum wraps: 70000 bytes of up to 255 pass 65535
    const std::string head = "ud " + std::to_string(file.size()) + ",";
    c->send(head + std::to_string(sum) + ",./update/fw.bin\r\n" + file);
    EXPECT_EQ(c->line(), "ud ok");
    c->send(head + std::to_string((sum + 1) & 0xFFFF) + ",./update/fw.bin\r\n" + file);
    EXPECT_EQ(c->line(), "ud bad");
    EXPECT_EQ(c->command("gv"), "gv=\"Zelmont SF 5.2 38\"");
    // A line whose size cannot be read leaves no way to find the next command.
    EXPECT_EQ(c->command("ud many,1,./update/x"), "ud bad");
    EXPECT_TRUE(c->closed_by_peer());
}

// --- zone states --------------------------------------------------------------------------------

TEST(Sim, PushesZoneStatesOnlyInDataMode) {
    SimProcess sim;
    auto quiet = logged_in(sim);
    auto c = logged_in(sim);
    c->send("sm data=on\r\n");
    const std::regex gs("gs 1 ([01]) 2 ([01]) 3 ([01]) 4 ([01])");
    const std::regex ge("ge 1 ([01]) 0 \\d+ 0 0 0 2 ([01]) 0 \\d+ 0 0 0 3 ([01]) 0 \\d+ 0 0 0 "
                        "4 ([01]) 0 \\d+ 0 0 0");
    int pushes = 0;
    bool some_active = false;
    const auto deadline = std::chrono::steady_clock::now() + 6s;
    while (pushes < 4 && std::chrono::steady_clock::now() < deadline) {
        const auto states = c->line();
        ASSERT_TRUE(states);
        const auto events = c->line();
        ASSERT_TRUE(events);
        std::smatch s, e;
        ASSERT_TRUE(std::regex_match(*states, s, gs)) << *states;
        ASSERT_TRUE(std::regex_match(*events, e, ge)) << *events;
        for (size_t k = 1; k <= 4; ++k) {
            EXPECT_EQ(s[k], e[k]) << "gs and ge disagree";
            some_active = some_active || s[k] == "1";
        }
        ++pushes;
    }
    EXPECT_EQ(pushes, 4);
    EXPECT_TRUE(some_active) << "vehicles never reached a zone";

    // Off: once the reply to a later command is in, no more state lines arrive.
    c->send("sm data=off\r\ngv\r\n");
    for (;;) {
        const auto l = c->line();
        ASSERT_TRUE(l);
        if (l->rfind("gv=", 0) == 0)
            break;
    }
    EXPECT_FALSE(c->line(700ms).has_value());
    EXPECT_FALSE(quiet->line(100ms).has_value());
}

// --- several clients ----------------------------------------------------------------------------

TEST(Sim, ServesSeveralClientsAtOnce) {
    SimProcess sim;
    constexpr int Clients = 6;
    std::vector<std::unique_ptr<SimClient>> clients;
    for (int i = 0; i < Clients; ++i)
        clients.push_back(logged_in(sim));
    clients[0]->send("sm data=on\r\n");
    // Everyone asks before anyone reads, so the simulator has all of them in flight at once.
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i < Clients; ++i)
            clients[static_cast<size_t>(i)]->send("gp\r\ngv\r\ngc\r\n");
        for (int i = 1; i < Clients; ++i) {
            auto& c = *clients[static_cast<size_t>(i)];
            const auto pic_line = c.line();
            ASSERT_TRUE(pic_line);
            ASSERT_EQ(pic_line->rfind("gp=", 0), 0u) << *pic_line;
            auto pic = c.bytes(std::stoul(pic_line->substr(3)));
            ASSERT_TRUE(pic);
            EXPECT_EQ(jpeg_size(*pic), std::make_pair(720, 576));
            EXPECT_EQ(c.line(), "gv=\"Zelmont SF 5.2 38\"");
            const auto cfg_line = c.line();
            ASSERT_TRUE(cfg_line);
            ASSERT_EQ(cfg_line->rfind("gc s=", 0), 0u);
            ASSERT_TRUE(c.bytes(std::stoul(cfg_line->substr(5))));
        }
    }
    const auto push = clients[0]->line(4s);
    ASSERT_TRUE(push);
    EXPECT_EQ(push->rfind("gs ", 0), 0u);
}

TEST(Sim, AnswersPipelinedCommandsInOrder) {
    SimProcess sim;
    auto c = logged_in(sim);
    std::string burst;
    constexpr int Rounds = 3000;
    for (int i = 0; i < Rounds; ++i)
        burst += i % 2 ? "gg\r\n" : "gb stat\r\n";
    c->send(burst);
    for (int i = 0; i < Rounds; ++i) {
        const auto l = c->line();
        ASSERT_TRUE(l) << i;
        ASSERT_EQ(l->substr(0, 3), i % 2 ? "gg=" : "gb ") << i;
    }
}

// --- reboot, log, shutdown ----------------------------------------------------------------------

TEST(Sim, RebootClosesEveryConnectionAndRefusesNewOnesForAWhile) {
    SimProcess sim;
    auto other = logged_in(sim);
    auto c = logged_in(sim);
    EXPECT_EQ(c->command("rb app"), "rb ok");
    EXPECT_TRUE(c->closed_by_peer(1s));
    EXPECT_TRUE(other->closed_by_peer(1s));
    {
        SimClient early(sim.port());
        EXPECT_FALSE(early.login());
    }
    std::this_thread::sleep_for(2400ms);
    SimClient later(sim.port());
    EXPECT_TRUE(later.login());
}

TEST(Sim, LogsEveryLineWithItsArrivalTime) {
    char path[] = "/tmp/zelmont-sim-logXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        SimProcess sim({"--log", path});
        SimClient c(sim.port());
        c.send("root\r\n");
        std::this_thread::sleep_for(150ms);
        c.send("kvtp\r\n");
        ASSERT_EQ(c.line(), "OK");
        ASSERT_TRUE(c.command("gv"));
        EXPECT_EQ(sim.stop(), 0);
    }
    std::ifstream in(path);
    std::vector<std::pair<long long, std::string>> entries;
    std::string l;
    while (std::getline(in, l)) {
        std::istringstream s(l);
        long long ms = 0;
        int id = 0;
        s >> ms >> id;
        std::string rest;
        std::getline(s, rest);
        entries.emplace_back(ms, rest.substr(1));
    }
    std::remove(path);
    std::vector<std::string> texts;
    for (const auto& e : entries)
        texts.push_back(e.second);
    ASSERT_EQ(texts, (std::vector<std::string>{"<connected>", "root", "kvtp", "gv"}));
    EXPECT_GE(entries[2].first - entries[1].first, 100); // the pause between the login lines
    EXPECT_LT(entries[2].first - entries[1].first, 1000);
}

// --- faults -------------------------------------------------------------------------------------

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
};

class SimFault : public testing::TestWithParam<FaultCase> {};

// A client that keeps asking and tolerates anything; the simulator must survive and still serve.
TEST_P(SimFault, SurvivesAndStillServes) {
    auto args = GetParam().args;
    args.insert(args.end(), {"--records", "20"});
    SimProcess sim(args);
    int answered = 0;
    for (int round = 0; round < 3; ++round) {
        SimClient c(sim.port());
        if (!c.login())
            continue;
        c.send("sm data=on\r\n");
        for (int i = 0; i < 6; ++i)
            c.send("gp\r\ngc\r\ngb ltim=0,0\r\ngv\r\n");
        // Bodies are read as lines here, so a reply line may start with the tail of a body.
        const auto until = std::chrono::steady_clock::now() + 3s;
        for (int seen = 0; seen < 6 && std::chrono::steady_clock::now() < until;) {
            const auto l = c.line(1s);
            if (!l)
                break;
            if (l->find("gv=\"Zelmont") != std::string::npos)
                ++seen, ++answered;
        }
    }
    EXPECT_GT(answered, 0);
    EXPECT_TRUE(sim.alive());
    SimClient fresh(sim.port());
    EXPECT_TRUE(fresh.login());
    EXPECT_EQ(sim.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimFault,
    testing::Values(FaultCase{"drop_gp", {"--drop-gp", "2"}},
                    FaultCase{"slow", {"--slow-ms", "30"}}, FaultCase{"split", {"--split", "1000"}},
                    FaultCase{"garbage", {"--garbage"}},
                    FaultCase{"close_mid_body", {"--close-mid-body"}},
                    FaultCase{"huge_announce", {"--huge-announce"}},
                    FaultCase{"all",
                              {"--drop-gp", "3", "--split", "1000", "--garbage", "--close-mid-body",
                               "--huge-announce", "--slow-ms", "5"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimFaults, EachFaultDoesWhatItSays) {
    {
        SimProcess sim({"--drop-gp", "2"});
        auto c = logged_in(sim);
        c->send("gp\r\ngv\r\ngp\r\ngv\r\ngp\r\ngv\r\ngp\r\ngv\r\n");
        int pictures = 0;
        for (int gv = 0; gv < 4;) {
            auto l = c->line();
            ASSERT_TRUE(l);
            if (l->rfind("gp=", 0) == 0) {
                ++pictures;
                ASSERT_TRUE(c->bytes(std::stoul(l->substr(3))));
            } else {
                ++gv;
            }
        }
        EXPECT_EQ(pictures, 2);
    }
    {
        // Every second upload is stored, but its reply is lost.
        SimProcess sim({"--drop-sc", "2"});
        auto c = logged_in(sim);
        const auto stored = c->block("gc");
        ASSERT_TRUE(stored);
        const std::string upload =
            "sc s=" + std::to_string(stored->second.size()) + "\r\n" + stored->second + "gv\r\n";
        c->send(upload + upload + upload);
        std::vector<std::string> replies;
        for (int gv = 0; gv < 3;) {
            auto l = c->line();
            ASSERT_TRUE(l);
            const bool version = l->rfind("gv", 0) == 0;
            gv += version;
            replies.push_back(version ? "gv" : *l);
        }
        const std::string answered = "sc s=" + std::to_string(stored->second.size());
        EXPECT_EQ(replies, (std::vector<std::string>{answered, "gv", "gv", answered, "gv"}));
    }
    {
        SimProcess sim({"--split", "500", "--slow-ms", "80"});
        auto c = logged_in(sim);
        const auto start = std::chrono::steady_clock::now();
        auto pic = c->block("gp");
        ASSERT_TRUE(pic);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
        EXPECT_EQ(jpeg_size(pic->second), std::make_pair(720, 576));
    }
    {
        SimProcess sim({"--huge-announce"});
        auto c = logged_in(sim);
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(c->block("gc"));
        EXPECT_EQ(c->command("gc"), "gc s=2000000000");
    }
    {
        SimProcess sim({"--close-mid-body"});
        auto c = logged_in(sim);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(c->block("gc"));
        const auto l = c->command("gc");
        ASSERT_TRUE(l);
        const size_t n = std::stoul(l->substr(5));
        EXPECT_FALSE(c->bytes(n, 1s).has_value());
        EXPECT_TRUE(c->closed_by_peer(1s));
    }
    {
        // With a period of one the very first body is cut short.
        SimProcess sim({"--close-mid-body", "--body-fault-every", "1"});
        auto c = logged_in(sim);
        const auto l = c->command("gc");
        ASSERT_TRUE(l);
        EXPECT_FALSE(c->bytes(std::stoul(l->substr(5)), 1s).has_value());
        EXPECT_TRUE(c->closed_by_peer(1s));
    }
    {
        // The login is taken; every line after it goes unanswered on a connection that stays.
        SimProcess sim({"--mute"});
        auto c = logged_in(sim);
        c->send("gv\r\ngc\r\ngt\r\n");
        EXPECT_FALSE(c->line(500ms).has_value());
        EXPECT_FALSE(c->closed_by_peer(200ms));
    }
}

TEST(Sim, RejectsBadCommandLines) {
    EXPECT_EQ(run_sim_to_exit({"--record-size", "100"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--fps", "0"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--level", "full"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--port"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--frobnicate", "1"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--port", "0", "--config", "/nonexistent/cfg.xml"}), 1);
}
