// A streaming detector sends a line per event, so showing one must cost the same whether the
// output is nearly empty or nearly full: the ratio of the two medians should stay near 1.
#include "terminal/TerminalPage.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

// Appends through the page's own notice handling (no library bound, so each notice stands for
// its event alone) while the output holds between `held` and `held` + 50 lines.
void AppendWhileHolding(benchmark::State& state, int held) {
    std::string host, login, password, last;
    int port = 0, handle = 0;
    TTerminalPage page({&host, &port, &login, &password, &last, &handle});
    page.resize(800, 560);
    page.show();
    auto refill = [&] {
        page.Output()->clear();
        for (int i = 0; i < held; ++i)
            page.HandleNotice(0, EV_STREAM_BEGIN);
    };
    refill();
    for (auto _ : state) {
        if (page.Output()->blockCount() >= held + 50) {
            state.PauseTiming();
            refill();
            state.ResumeTiming();
        }
        page.HandleNotice(0, EV_STREAM_BEGIN);
        page.HandleNotice(0, EV_STREAM_PROGRESS);
    }
}

void BM_AppendShortOutput(benchmark::State& state) {
    AppendWhileHolding(state, 10);
}
BENCHMARK(BM_AppendShortOutput)->Unit(benchmark::kMicrosecond);

void BM_AppendLongOutput(benchmark::State& state) {
    AppendWhileHolding(state, MaxTerminalLines - 60);
}
BENCHMARK(BM_AppendLongOutput)->Unit(benchmark::kMicrosecond);

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1)
                continue;
            Times[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                 run.GetAdjustedCPUTime()};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto shortRun = Times.find("BM_AppendShortOutput");
        const auto longRun = Times.find("BM_AppendLongOutput");
        if (shortRun == Times.end() || longRun == Times.end() || shortRun->second.first <= 0 ||
            shortRun->second.second <= 0)
            return;
        const auto [shortReal, shortCpu] = shortRun->second;
        const auto [longReal, longCpu] = longRun->second;
        std::printf("BM_AppendShortOutput %.1f us, BM_AppendLongOutput %.1f us: ratio %.2f "
                    "(goal <= 1.50); on CPU time %.1f / %.1f us: ratio %.2f\n",
                    shortReal, longReal, longReal / shortReal, shortCpu, longCpu,
                    longCpu / shortCpu);
    }

private:
    std::map<std::string, std::pair<double, double>> Times; // real, CPU
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
