// Recording must not cost the live view. A live tick with a new picture (decode, stretch, zones,
// copy to the panel) is the baseline; the same tick with the capture dialog recording the view
// in Microsoft Video 1 (about 20 ms a frame to compress at 720 x 576) adds only the copy of the
// view on the GUI thread. Ticks come every 40 ms, as the frame timer gives them, so the encoder
// thread runs beside the GUI thread as it does in the program. Goal: at most 5 ms a tick.

#include "recording/videocontrol.h"
#include "../bench_report.h"
#include "zones/FramePicture.h"
#include "zones/TFImageHelper2.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <thread>

namespace {

constexpr int W = 720;
constexpr int H = 576;
constexpr auto TickPeriod = std::chrono::milliseconds(40);
constexpr int Ticks = 50;

const std::vector<std::uint8_t>& CameraJpeg() {
    static const std::vector<std::uint8_t> jpeg = [] {
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(W) * H * 3);
        unsigned noise = 99;
        for (std::size_t i = 0; i < frame.size(); ++i) {
            noise = noise * 1103515245u + 12345u;
            const int x = static_cast<int>(i / 3 % W);
            frame[i] =
                static_cast<std::uint8_t>(90 + 40 * std::sin(x * 0.03) + ((noise >> 16) & 15));
        }
        return EncodeJpeg(frame.data(), W, H, 70, false);
    }();
    return jpeg;
}

// A live view of eight zones with the info strip, as after the automatic start.
struct TLiveView {
    TLiveView() {
        Form.resize(W, H);
        Imager.Attach(&Form, &Form);
        Form.show();
        for (int i = 1; i <= TQuadImager::MaxZones; ++i)
            Imager.AddSensorById(std::to_string(i));
        Imager.SetEditing(false);
        Imager.ShowStrip = true;
    }
    QWidget Form;
    TQuadImager Imager;
};

// Runs `tick` every 40 ms and reports the time it took on this (the GUI) thread.
template <typename Tick> void PacedTicks(benchmark::State& state, Tick tick) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        tick();
        const auto spent = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(spent).count());
        std::this_thread::sleep_until(start + TickPeriod);
    }
}

void BM_LiveTick(benchmark::State& state) {
    TLiveView view;
    const auto& jpeg = CameraJpeg();
    PacedTicks(state, [&] { view.Imager.SetFrameJPEG(jpeg.data(), jpeg.size()); });
}
BENCHMARK(BM_LiveTick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(Ticks);

void RecordTicks(benchmark::State& state, bool stamped) {
    TLiveView view;
    QTemporaryDir dir;
    TVideoControlForm dialog(&view.Form);
    dialog.SetView(&view.Imager);
    dialog.SetOutputFolder(dir.path() + "/");
    dialog.StampLabel = [] { return QStringLiteral("ZELMONT_SF"); };
    dialog.StampBox()->setChecked(stamped);
    dialog.show();
    dialog.CodecBox()->setCurrentIndex(0); // Microsoft Video 1, the slowest to compress
    dialog.StartButton()->click();
    const auto& jpeg = CameraJpeg();
    PacedTicks(state, [&] {
        view.Imager.SetFrameJPEG(jpeg.data(), jpeg.size());
        dialog.FrameTick();
    });
    if (const TAviFromBitmaps* recorder = dialog.Recorder())
        state.counters["repeated"] = static_cast<double>(recorder->RepeatedFrames());
    else
        state.SkipWithError("the recording stopped");
    dialog.StopButton()->click();
}

void BM_RecordTick(benchmark::State& state) {
    RecordTicks(state, false);
}
BENCHMARK(BM_RecordTick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(Ticks);

void BM_RecordTickStamped(benchmark::State& state) {
    RecordTicks(state, true);
}
BENCHMARK(BM_RecordTickStamped)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(Ticks);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TBenchReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    // Each recording tick against the live tick of the same run, in ms a tick. The CPU time is
    // the GUI thread's own; the wall time also holds the waits for a core while the encoder
    // thread and everything else on the machine run.
    const auto* live = report.Find("BM_LiveTick");
    for (const char* name : {"BM_RecordTick", "BM_RecordTickStamped"}) {
        const auto* rec = report.Find(name);
        if (!live || !rec || live->Real <= 0 || live->Cpu <= 0)
            continue;
        std::printf("%s %.2f ms against BM_LiveTick %.2f ms: ratio %.2f (goal: at most "
                    "5 ms a tick); GUI thread CPU %.2f / %.2f ms: ratio %.2f\n",
                    name, rec->Real, live->Real, rec->Real / live->Real, rec->Cpu, live->Cpu,
                    rec->Cpu / live->Cpu);
    }
    benchmark::Shutdown();
    return 0;
}
