#pragma once
// The console report of a benchmark run, keeping for each benchmark the figures that stand for
// it: the median when repeated, else its one run; and, when repeated, the figures of every
// repetition in the order they ran. Each benchmark program prints its ratio against the baseline
// of the same run from these.

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
        double RawBytesPerSecond = 0; // a baseline measured alongside, when there is one
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            TFigures f{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), 0};
            if (const auto rate = run.counters.find("bytes_per_second"); rate != run.counters.end())
                f.BytesPerSecond = rate->second;
            if (const auto raw = run.counters.find("raw_bytes_per_second");
                raw != run.counters.end())
                f.RawBytesPerSecond = raw->second;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) {
                Repetitions[run.run_name.function_name].push_back(f);
                continue;
            }
            Figures[run.run_name.function_name] = f;
        }
    }

    // The figures of the benchmark, or null when it did not run (filtered out, say).
    const TFigures* Find(const std::string& name) const {
        const auto it = Figures.find(name);
        return it == Figures.end() ? nullptr : &it->second;
    }

    // The figures of each repetition in the order they ran; empty when it was not repeated.
    const std::vector<TFigures>& FindRepetitions(const std::string& name) const {
        static const std::vector<TFigures> none;
        const auto it = Repetitions.find(name);
        return it == Repetitions.end() ? none : it->second;
    }

private:
    std::map<std::string, TFigures> Figures;
    std::map<std::string, std::vector<TFigures>> Repetitions;
};
