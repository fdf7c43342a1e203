// `kervola-cli fleet backup` over 500 simulated detectors with --jobs 32, against --jobs 1 over the
// first 20 of them, scaled to 500, in the same run. The closing line gives both times, the
// speed-up and the command's peak resident memory (for 20 and for 500 detectors, which shows
// whether memory grows with the fleet).
#include "addressbook/HostRecords.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Fleet = 500;
constexpr int Sample = 20;

fs::path Root;
std::string Data500, Data20;
double Seconds500 = 0, Seconds20 = 0;
long PeakKb500 = 0, PeakKb20 = 0;

struct TRun {
    int Exit = -1;
    long PeakKb = 0;
};

// The CLI as a user runs it, output dropped; its exit code and peak resident memory.
TRun RunCli(const std::string& data, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        setenv("KERVOLA_DATA_DIR", data.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(KERVOLA_CLI_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KERVOLA_CLI_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// Starts the simulator with the whole fleet; its address book goes to data500.
pid_t StartSimulator() {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        const std::string hosts = Data500 + "/hosts.ini";
        execl(ZELMONT_SIM_PATH, ZELMONT_SIM_PATH, "--port", "0", "--detectors",
              std::to_string(Fleet).c_str(), "--write-hosts", hosts.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    // The port lines come after the address book is written.
    int lines = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (lines < Fleet && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            lines += buf[i] == '\n';
    }
    close(out[0]);
    return lines == Fleet ? pid : -1;
}

void Backup(benchmark::State& state, const std::string& data, const char* jobs, double& seconds,
            long& peakKb) {
    const std::string out = (Root / ("out-" + std::string(jobs))).string();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const TRun run = RunCli(data, {"fleet", "backup", "--jobs", jobs, "-o", out});
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (run.Exit != 0) {
            state.SkipWithError("a detector failed");
            return;
        }
        state.SetIterationTime(s);
        state.counters["peak_rss_kb"] = static_cast<double>(run.PeakKb);
        // The best of the repetitions: the machine is shared, the fastest run is the least
        // disturbed one.
        if (seconds == 0 || s < seconds)
            seconds = s;
        peakKb = std::max(peakKb, run.PeakKb);
    }
}

void BM_BackupJobs1First20(benchmark::State& state) {
    Backup(state, Data20, "1", Seconds20, PeakKb20);
}
void BM_BackupJobs32All500(benchmark::State& state) {
    Backup(state, Data500, "32", Seconds500, PeakKb500);
}

BENCHMARK(BM_BackupJobs1First20)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_BackupJobs32All500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Root = fs::temp_directory_path() / ("kervola-fleet-bench-" + std::to_string(getpid()));
    Data500 = (Root / "all").string();
    Data20 = (Root / "first").string();
    fs::create_directories(Data500);
    fs::create_directories(Data20);
    const pid_t sim = StartSimulator();
    std::vector<THostRec> records;
    if (sim < 0 || LoadHostsFile(Data500 + "/hosts.ini", records) != THostsLoad::Loaded ||
        records.size() != Fleet) {
        std::fprintf(stderr, "fleet_bench: the simulator did not start\n");
        fs::remove_all(Root);
        return 1;
    }
    records.resize(Sample);
    SaveHostsFile(Data20 + "/hosts.ini", records);

    benchmark::RunSpecifiedBenchmarks();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    fs::remove_all(Root);
    if (Seconds500 > 0 && Seconds20 > 0) {
        const double scaled = Seconds20 * Fleet / Sample;
        std::printf("fleet backup: %d detectors --jobs 32 %.2f s; --jobs 1 over %d %.2f s, %.1f s "
                    "scaled to %d; speed-up %.1f (goal: %d in under 5 s); peak RSS %.1f MiB for "
                    "%d, %.1f MiB for %d\n",
                    Fleet, Seconds500, Sample, Seconds20, scaled, Fleet, scaled / Seconds500, Fleet,
                    PeakKb500 / 1024.0, Fleet, PeakKb20 / 1024.0, Sample);
    }
    benchmark::Shutdown();
    return 0;
}
