#pragma once
// The console report of a benchmark run, keeping for each benchmark the figures that stand for
// it: the median when repeated, else its one run. Each benchmark program prints its ratio
// against the baseline of the same run from these.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TBenchReport : public benchmark::ConsoleReporter {
public:
    struct TFigures {
        double Real = 0; // in the benchmark's own time unit
        double Cpu = 0;
        double BytesPerSecond = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1)
                continue;
            TFigures f{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), 0};
            if (const auto rate = run.counters.find("bytes_per_second"); rate != run.counters.end())
                f.BytesPerSecond = rate->second;
            Figures[run.run_name.function_name] = f;
        }
    }

    // The figures of the benchmark, or null when it did not run (filtered out, say).
    const TFigures* Find(const std::string& name) const {
        const auto it = Figures.find(name);
        return it == Figures.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, TFigures> Figures;
};
