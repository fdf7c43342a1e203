// The live picture path must stay cheap next to the JPEG decode it cannot avoid: decoding a frame
// is the baseline, and decoding plus stretching plus drawing the zones plus the copy to the panel
// should cost at most 1.3 times that.

#include "zones/FramePicture.h"
#include "../bench_report.h"
#include "zones/TFImageHelper2.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int W = 720;
constexpr int H = 576;

// A road-like scene: sky and asphalt gradients, lane marks, a few car-sized blocks and sensor
// noise, so the encoder sees the detail a camera picture has.
const std::vector<std::uint8_t>& CameraJpeg() {
    static const std::vector<std::uint8_t> jpeg = [] {
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(W) * H * 3);
        unsigned noise = 12345;
        for (int row = 0; row < H; ++row) {
            const int y = H - 1 - row;
            for (int x = 0; x < W; ++x) {
                noise = noise * 1103515245u + 12345u;
                const int n = static_cast<int>((noise >> 16) % 17) - 8;
                int r, g, b;
                if (y < H / 3) {
                    r = 120 + y / 3;
                    g = 150 + y / 4;
                    b = 200 + y / 8;
                } else {
                    const int v = 70 + (y - H / 3) / 6 + static_cast<int>(8 * std::sin(x * 0.05));
                    r = g = b = v;
                    if ((x + y) % 180 < 8 && (y / 20) % 2 == 0)
                        r = g = b = 230; // lane marks
                    if ((x / 120) % 2 == 0 && y > 300 && y < 380 && x % 120 > 20)
                        r = 160 + (x % 40), g = 30, b = 40; // cars
                }
                std::uint8_t* p = &frame[(static_cast<std::size_t>(row) * W + x) * 3];
                p[0] = static_cast<std::uint8_t>(std::clamp(b + n, 0, 255));
                p[1] = static_cast<std::uint8_t>(std::clamp(g + n, 0, 255));
                p[2] = static_cast<std::uint8_t>(std::clamp(r + n, 0, 255));
            }
        }
        return EncodeJpeg(frame.data(), W, H, 70, false);
    }();
    return jpeg;
}

void BM_DecodeOnly(benchmark::State& state) {
    const auto& jpeg = CameraJpeg();
    TJpegDecoder decoder;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(W) * H * 3);
    for (auto _ : state) {
        int w = 0, h = 0;
        decoder.ReadSize(jpeg.data(), jpeg.size(), w, h);
        if (!decoder.DecodeBGRBottomUp(jpeg.data(), jpeg.size(), buffer.data(), w, h))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMicrosecond);

// SetFrameJPEG decodes and repaints: stretch into the view-sized back buffer, eight zones with
// one selected and the info strip, then the copy onto the shown panel.
void BM_FramePath(benchmark::State& state) {
    const auto& jpeg = CameraJpeg();
    QWidget form;
    form.resize(W, H);
    TQuadImager imager;
    imager.Attach(&form, &form);
    form.show();
    for (int i = 1; i <= TQuadImager::MaxZones; ++i)
        imager.AddSensorById(std::to_string(i));
    imager.SelectedIndex = 3;
    imager.ShowStrip = true;
    for (int i = 0; i < imager.Count(); ++i)
        imager.Quad(i)->Reading = 7 * i - 20;
    imager.Quad(5)->Active = true;
    for (auto _ : state) {
        if (!imager.SetFrameJPEG(jpeg.data(), jpeg.size()))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(imager.BackBuffer.constBits());
    }
}
BENCHMARK(BM_FramePath)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TBenchReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    const auto* decode = report.Find("BM_DecodeOnly");
    const auto* path = report.Find("BM_FramePath");
    if (decode && path && decode->Real > 0 && decode->Cpu > 0)
        std::printf("BM_DecodeOnly %.1f us, BM_FramePath %.1f us: ratio %.2f (goal <= 1.30); "
                    "on CPU time %.1f / %.1f us: ratio %.2f\n",
                    decode->Real, path->Real, path->Real / decode->Real, decode->Cpu, path->Cpu,
                    path->Cpu / decode->Cpu);
    benchmark::Shutdown();
    return 0;
}
