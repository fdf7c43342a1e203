// Manual look at the frame view: builds a scene (a road-like frame, zones in every state, the info
// strip, guide lines of a pressed corner) and saves the window as a PNG.
//   xvfb-run -a frameview_harness out.png   (or QT_QPA_PLATFORM=offscreen)

#include "zones/TFImageHelper2.h"
#include "../program/threads_at_exit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("view.png");
    QWidget form;
    form.resize(800, 600);
    TQuadImager imager;
    imager.Attach(&form, &form);
    form.show();

    QImage road(720, 576, QImage::Format_RGB888);
    for (int y = 0; y < road.height(); ++y)
        for (int x = 0; x < road.width(); ++x) {
            const int v = y < 190 ? 150 + y / 4 : 60 + (y - 190) / 5;
            road.setPixelColor(x, y, y < 190 ? QColor(110, v, 210) : QColor(v, v, v));
        }
    imager.SetFrameBitmap(&road);

    for (const char* id : {"1", "2", "3", "4"})
        imager.AddSensorById(id);
    imager.Config->AddSensor(imager, "5", {{{0.65, 0.8}, {0.7, 0.6}, {0.9, 0.6}, {0.95, 0.8}}});
    imager.Quad(2)->Active = true;
    imager.Quad(4)->Arrows = 2;
    imager.ShowStrip = true;
    int reading = -30;
    for (int i = 0; i < imager.Count(); ++i, reading += 17)
        imager.Quad(i)->Reading = reading;
    imager.SelectedIndex = 4;
    imager.PaintView();

    // Press the first corner of the selected zone: guide lines until the next repaint.
    const TPixelQuad px = QuadToPixels(imager.Quad(4)->Points, 799, 599);
    const QPointF corner(px[0].X, px[0].Y);
    QMouseEvent press(QEvent::MouseButtonPress, corner, imager.Panel()->mapToGlobal(corner),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(imager.Panel(), &press);

    const bool saved = form.grab().save(out);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
    return saved ? 0 : 1;
}
