#include "program_fixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// Lines the detector never knows; they answer "?" and change nothing.
const std::string FencePrefix = "zz-fence-";

bool IsFence(const std::string& text) {
    return text.rfind(FencePrefix, 0) == 0;
}

} // namespace

std::vector<TSimLogLine> TSimLog::Lines() const {
    std::vector<TSimLogLine> out;
    std::ifstream in(Path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TSimLogLine l;
        if (!(fields >> l.Ms >> l.Session))
            continue;
        std::getline(fields, l.Text);
        if (!l.Text.empty() && l.Text.front() == ' ')
            l.Text.erase(0, 1);
        out.push_back(std::move(l));
    }
    return out;
}

std::vector<TSimLogLine> TSimLog::CommandLines() const {
    std::vector<TSimLogLine> out;
    for (TSimLogLine& l : Lines())
        if (!l.Text.empty() && l.Text.front() != '<' && !IsFence(l.Text))
            out.push_back(std::move(l));
    return out;
}

std::vector<std::string> TSimLog::Commands() const {
    std::vector<std::string> out;
    for (TSimLogLine& l : CommandLines())
        out.push_back(std::move(l.Text));
    return out;
}

std::vector<std::string> TSimLog::Received() const {
    std::vector<std::string> out;
    for (std::string& c : Commands())
        if (c != "root" && c != "kvtp")
            out.push_back(std::move(c));
    return out;
}

int TSimLog::CountOf(const std::string& command) const {
    const std::vector<std::string> c = Commands();
    return static_cast<int>(std::count(c.begin(), c.end(), command));
}

bool TSimLog::WasSent(const std::string& command) const {
    return CountOf(command) > 0;
}

int TSimLog::EventsOf(const std::string& event) const {
    int n = 0;
    for (const TSimLogLine& l : Lines())
        n += l.Text == event;
    return n;
}

void SimulatorTest::TearDown() {
    if (Sim)
        Sim->stop();
}

void SimulatorTest::StartSim(std::vector<std::string> args) {
    Log.Path = (Dir.path() + "/sim.log").toStdString();
    args.insert(args.end(), {"--log", Log.Path});
    Sim = std::make_unique<SimProcess>(args);
    ASSERT_GT(Sim->port(), 0);
}

std::vector<std::string>
SimulatorTest::CommandsBeforeFence(const std::function<void(const std::string&)>& send) {
    const std::string fence = FencePrefix + std::to_string(++Fences);
    send(fence);
    std::vector<std::string> before;
    const bool logged = WaitUntil([&] {
        before.clear();
        for (TSimLogLine& l : Log.Lines()) {
            if (l.Text == fence)
                return true;
            if (!l.Text.empty() && l.Text.front() != '<' && !IsFence(l.Text))
                before.push_back(std::move(l.Text));
        }
        return false;
    });
    EXPECT_TRUE(logged) << "the fence " << fence << " never reached the simulator";
    return before;
}
