#include "zones/ZoneOverlay.h"

#include "zones/QuadDrawing.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// Two backgrounds that differ in every channel: a pixel that comes out the same over both was set
// by the drawing alone.
constexpr std::uint32_t Black = 0xff000000u;
constexpr std::uint32_t White = 0xffffffffu;

void DrawOver(const TQuadList& zones, QImage& image, std::uint32_t background, bool labelsOnly) {
    image.fill(background);
    QPainter painter(&image);
    if (labelsOnly)
        DrawQuadLabels(zones, painter, image.width(), image.height());
    else
        DrawQuads(zones, painter, image.width(), image.height());
}

} // namespace

void TZoneOverlay::Draw(const TQuadList& zones, QImage& target) {
    Key.clear();
    AppendDrawingKey(zones, target.width(), target.height(), Key);
    // The painter's default font is the application's, which decides the texts' pixels.
    Key += QFont().key().toStdString();
    Key += static_cast<char>(target.format());

    LastKept = false;
    if (Key != LastKey) {
        // Changing zones (a drag, a vehicle) are drawn as they come; keeping pays only for zones
        // that stay.
        LastKey.swap(Key);
        Kept = false;
        Unkeepable = false;
    } else if (!Kept && !Unkeepable && target.format() == QImage::Format_RGB32) {
        Kept = Build(zones, target.width(), target.height());
        Unkeepable = !Kept;
    }
    if (!Kept) {
        QPainter painter(&target);
        DrawQuads(zones, painter, target.width(), target.height());
        return;
    }
    Lay(zones, target);
    LastKept = true;
}

// Labels blend with the picture, so they are drawn afresh under the kept pixels. That gives the
// same result as drawing everything: a kept pixel is one whose final value does not depend on what
// lies beneath, and every other pixel that the zones change is changed by labels alone, in the
// same order.
bool TZoneOverlay::Build(const TQuadList& zones, int width, int height) {
    for (int i = 0; i < 2; ++i) {
        if (Over[i].size() != QSize(width, height))
            Over[i] = QImage(width, height, QImage::Format_RGB32);
        if (Labels[i].size() != QSize(width, height))
            Labels[i] = QImage(width, height, QImage::Format_RGB32);
    }
    DrawOver(zones, Over[0], Black, false);
    DrawOver(zones, Over[1], White, false);
    DrawOver(zones, Labels[0], Black, true);
    DrawOver(zones, Labels[1], White, true);

    Spans.clear();
    Values.clear();
    HasLabels = false;
    for (int y = 0; y < height; ++y) {
        const auto* a = reinterpret_cast<const std::uint32_t*>(Over[0].constScanLine(y));
        const auto* b = reinterpret_cast<const std::uint32_t*>(Over[1].constScanLine(y));
        const auto* la = reinterpret_cast<const std::uint32_t*>(Labels[0].constScanLine(y));
        const auto* lb = reinterpret_cast<const std::uint32_t*>(Labels[1].constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool byLabel = la[x] != Black || lb[x] != White;
            HasLabels = HasLabels || byLabel;
            if (a[x] == b[x]) {
                const auto offset = static_cast<std::uint32_t>(y * width + x);
                if (!Spans.empty() && Spans.back().Offset + Spans.back().Length == offset)
                    ++Spans.back().Length;
                else
                    Spans.push_back({offset, 1, static_cast<std::uint32_t>(Values.size())});
                Values.push_back(a[x]);
            } else if ((a[x] != Black || b[x] != White) && !byLabel) {
                return false; // something other than a label blends: draw it each time
            }
        }
    }
    return true;
}

void TZoneOverlay::Lay(const TQuadList& zones, QImage& target) const {
    if (HasLabels) {
        QPainter painter(&target);
        DrawQuadLabels(zones, painter, target.width(), target.height());
    }
    auto* pixels = reinterpret_cast<std::uint32_t*>(target.bits());
    const int pitch = static_cast<int>(target.bytesPerLine() / 4);
    const int width = target.width();
    for (const TSpan& span : Spans) {
        // Spans run along rows and may go on into the next one.
        std::uint32_t done = 0;
        while (done < span.Length) {
            const std::uint32_t at = span.Offset + done;
            const int y = static_cast<int>(at / width);
            const int x = static_cast<int>(at % width);
            const std::uint32_t run = std::min<std::uint32_t>(span.Length - done, width - x);
            std::memcpy(pixels + static_cast<std::ptrdiff_t>(y) * pitch + x,
                        Values.data() + span.First + done, run * 4);
            done += run;
        }
    }
}
