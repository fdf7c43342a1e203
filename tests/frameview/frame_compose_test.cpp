// The live picture's fast paths against the plain way of drawing it: the kept zone pixels laid on
// a picture must give exactly what drawing the zones over that picture gives, at any size and for
// any look of the zones, and the frame must reach the view pixel for pixel.

#include "frameview_fixture.h"

#include "zones/FramePicture.h"
#include "zones/QuadDrawing.h"
#include "zones/ZoneOverlay.h"

#include <QPainter>

#include <functional>
#include <random>
#include <string>

namespace {

QImage Noise(int w, int h, unsigned seed) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xff000000u | (random() & 0xffffffu);
    }
    return image;
}

QImage DrawnPlainly(const TQuadList& zones, QImage picture) {
    QPainter painter(&picture);
    DrawQuads(zones, painter, picture.width(), picture.height());
    return picture;
}

int DifferentPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    int different = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            different += a.pixel(x, y) != b.pixel(x, y);
    return different;
}

struct TLook {
    const char* Name;
    std::function<void(TQuadList&)> Set;
};

// Eight zones with the strip, one selected and one lit, as the live view shows them.
void Busy(TQuadList& zones) {
    for (int i = 0; i < 8; ++i)
        zones.AddQuad(DefaultQuad(i));
    for (int i = 0; i < zones.Count(); ++i) {
        zones.Quad(i)->Id = std::to_string(i + 1);
        zones.Quad(i)->Reading = 7 * i - 20;
    }
    zones.SelectedIndex = 3;
    zones.ShowStrip = true;
    zones.Quad(5)->Active = true;
}

// Zones over one another, so that labels lie under and over other zones' outlines.
void Crossing(TQuadList& zones) {
    const TQuadPoints a{{{0.1, 0.1}, {0.6, 0.12}, {0.62, 0.6}, {0.08, 0.55}}};
    const TQuadPoints b{{{0.05, 0.08}, {0.4, 0.1}, {0.45, 0.4}, {0.1, 0.45}}};
    const TQuadPoints c{{{0.12, 0.11}, {0.3, 0.3}, {0.5, 0.9}, {0.02, 0.7}}};
    for (const auto& corners : {a, b, c})
        zones.AddQuad(corners);
    zones.Quad(0)->Id = "12345678";
    zones.Quad(1)->Id = "W";
    zones.Quad(2)->Id = "-88";
    zones.Quad(1)->Arrows = 2;
    zones.Quad(2)->Arrows = 0;
    zones.SelectedIndex = 0;
}

const TLook Looks[] = {
    {"busy", Busy},
    {"crossing", Crossing},
    {"grey",
     [](TQuadList& z) {
         Busy(z);
         z.GreyMode = true;
     }},
    {"black and white pens",
     [](TQuadList& z) {
         Crossing(z);
         z.ShowStrip = true;
         z.NormalColor = {0, 0, 0};
         z.SelectedColor = {255, 255, 255};
         z.ActiveColor = {0, 0, 0};
         z.Quad(2)->Active = true;
     }},
    {"wide pens",
     [](TQuadList& z) {
         Busy(z);
         z.NormalWidth = 7;
         z.ActiveWidth = 1;
     }},
    {"no selection, no arrows",
     [](TQuadList& z) {
         Busy(z);
         z.SelectedIndex = -1;
         for (int i = 0; i < z.Count(); ++i)
             z.Quad(i)->Arrows = 0;
     }},
    {"none", [](TQuadList&) {}},
};

const QSize ViewSizes[] = {{720, 576}, {641, 480}, {353, 289}, {1024, 768}, {37, 11}, {1, 1}};

} // namespace

TEST(ZoneOverlay, KeptZonesGiveExactlyTheDrawingOverAnyPicture) {
    unsigned seed = 1;
    for (const TLook& look : Looks) {
        for (const QSize size : ViewSizes) {
            SCOPED_TRACE(std::string(look.Name) + " at " + std::to_string(size.width()) + "x" +
                         std::to_string(size.height()));
            TQuadList zones;
            look.Set(zones);
            TZoneOverlay overlay;
            // The first drawing of a look is plain; the same look again is kept and laid on
            // pictures it was not made from.
            for (int round = 0; round < 3; ++round) {
                const QImage picture = Noise(size.width(), size.height(), ++seed);
                QImage shown = picture;
                overlay.Draw(zones, shown);
                EXPECT_EQ(overlay.LastDrawKept(), round > 0) << "round " << round;
                EXPECT_EQ(DifferentPixels(shown, DrawnPlainly(zones, picture)), 0)
                    << "round " << round;
            }
        }
    }
}

TEST(ZoneOverlay, AnyChangeOfTheZonesIsDrawnAtOnce) {
    const std::function<void(TQuadList&)> changes[] = {
        [](TQuadList& z) { z.Quad(2)->Active = !z.Quad(2)->Active; },
        [](TQuadList& z) { z.Quad(1)->Reading += 1; },
        [](TQuadList& z) { z.Quad(0)->Points[2].X += 0.01; },
        [](TQuadList& z) { z.Quad(4)->Id = "44"; },
        [](TQuadList& z) { z.Quad(6)->Arrows = 2; },
        [](TQuadList& z) { z.SelectedIndex = 6; },
        [](TQuadList& z) { z.ShowStrip = false; },
        [](TQuadList& z) { z.GreyMode = true; },
        [](TQuadList& z) {
            z.NormalColor = {1, 2, 3};
        },
        [](TQuadList& z) { z.ActiveWidth = 5; },
        [](TQuadList& z) { z.Delete(7); },
    };
    TQuadList zones;
    Busy(zones);
    TZoneOverlay overlay;
    unsigned seed = 100;
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE("change " + std::to_string(i));
        for (int round = 0; round < 2; ++round) {
            QImage shown = Noise(720, 576, ++seed);
            overlay.Draw(zones, shown);
        }
        ASSERT_TRUE(overlay.LastDrawKept());
        changes[i](zones);
        const QImage picture = Noise(720, 576, ++seed);
        QImage shown = picture;
        overlay.Draw(zones, shown);
        EXPECT_FALSE(overlay.LastDrawKept());
        EXPECT_EQ(DifferentPixels(shown, DrawnPlainly(zones, picture)), 0);
    }
    // The same zones at another view size are other pixels.
    for (int round = 0; round < 2; ++round) {
        QImage shown = Noise(720, 576, ++seed);
        overlay.Draw(zones, shown);
    }
    const QImage picture = Noise(719, 576, ++seed);
    QImage shown = picture;
    overlay.Draw(zones, shown);
    EXPECT_FALSE(overlay.LastDrawKept());
    EXPECT_EQ(DifferentPixels(shown, DrawnPlainly(zones, picture)), 0);
}

// Through the frame view: decoded pictures of several sizes, shown on views of several sizes,
// with the zones kept from frame to frame, against the nearest-neighbour stretch of the frame
// buffer with the zones drawn plainly.
TEST_F(FrameView, LivePicturesReachTheViewPixelForPixelAtAnySize) {
    const QSize frames[] = {{720, 576}, {352, 288}, {641, 480}, {7, 5}};
    const QSize views[] = {{720, 576}, {352, 288}, {641, 480}, {500, 333}, {1031, 777}};
    Busy(Imager);
    unsigned seed = 7;
    for (const QSize frame : frames) {
        for (const QSize view : views) {
            SCOPED_TRACE(std::to_string(frame.width()) + "x" + std::to_string(frame.height()) +
                         " on " + std::to_string(view.width()) + "x" +
                         std::to_string(view.height()));
            Form.resize(view);
            QApplication::processEvents();
            ASSERT_EQ(Imager.BackBuffer.size(), view);
            for (int round = 0; round < 3; ++round) {
                const QImage noise = Noise(frame.width(), frame.height(), ++seed)
                                         .convertToFormat(QImage::Format_BGR888);
                std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(frame.width()) *
                                                   frame.height() * 3);
                for (int y = 0; y < frame.height(); ++y)
                    std::memcpy(&bottomUp[static_cast<std::size_t>(frame.height() - 1 - y) *
                                          frame.width() * 3],
                                noise.constScanLine(y),
                                static_cast<std::size_t>(frame.width()) * 3);
                const auto jpeg =
                    EncodeJpeg(bottomUp.data(), frame.width(), frame.height(), 80, round == 1);
                ASSERT_TRUE(Imager.SetFrameJPEG(jpeg.data(), jpeg.size()));

                QImage expected(view, QImage::Format_RGB32);
                const std::uint8_t* buffer = Imager.FrameBuffer.data();
                for (int y = 0; y < view.height(); ++y) {
                    const int sy = static_cast<int>(static_cast<long long>(y) * frame.height() /
                                                    view.height());
                    for (int x = 0; x < view.width(); ++x) {
                        const int sx = static_cast<int>(static_cast<long long>(x) * frame.width() /
                                                        view.width());
                        const std::uint8_t* p =
                            buffer +
                            (static_cast<std::size_t>(frame.height() - 1 - sy) * frame.width() +
                             sx) *
                                3;
                        expected.setPixel(x, y, qRgb(p[2], p[1], p[0]));
                    }
                }
                Imager.Editing = false; // the edit marks are drawn afresh and not in question
                Imager.PaintView();
                EXPECT_EQ(DifferentPixels(Imager.BackBuffer, DrawnPlainly(Imager, expected)), 0)
                    << "round " << round;
            }
        }
    }
}
