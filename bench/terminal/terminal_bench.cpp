// A streaming detector sends a line per event, so showing one must cost the same whether the
// output is nearly empty or nearly full: the ratio of the two medians should stay near 1.
#include "terminal/TerminalPage.h"
#include "../bench_report.h"

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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TBenchReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    const auto* shortRun = report.Find("BM_AppendShortOutput");
    const auto* longRun = report.Find("BM_AppendLongOutput");
    if (shortRun && longRun && shortRun->Real > 0 && shortRun->Cpu > 0)
        std::printf("BM_AppendShortOutput %.1f us, BM_AppendLongOutput %.1f us: ratio %.2f "
                    "(goal <= 1.50); on CPU time %.1f / %.1f us: ratio %.2f\n",
                    shortRun->Real, longRun->Real, longRun->Real / shortRun->Real, shortRun->Cpu,
                    longRun->Cpu, longRun->Cpu / shortRun->Cpu);
    benchmark::Shutdown();
    return 0;
}
