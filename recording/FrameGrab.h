#pragma once
// Pictures of Qt's 32-bit formats handed to the recorder as they lie in memory, and the time
// stamp burned into recorded frames. Needs Qt Gui only, no widgets and no display.

#include "recording/AviFromBitmaps.h"

#include <QDateTime>
#include <QImage>
#include <QString>

// The image as the recorder reads it; an image of another format must be converted first
// (RecordableImage).
TBitmapView BitmapOf(const QImage& image);
// The image itself when the recorder can read it, else a 32-bit copy.
QImage RecordableImage(const QImage& image);

// The PC's date and time to the second and the detector's label, white on a black box in the
// bottom-right corner, as the detector marks its own pictures. The box is drawn once a second.
class TTimeStamp {
public:
    static constexpr int Margin = 8;

    static QString Text(const QDateTime& when, const QString& label);
    // Prepare, then Draw.
    void Draw(QImage& frame, const QDateTime& when, const QString& label);
    // The box for this moment and a frame of this size: where Draw will put it.
    QRect Prepare(const QSize& frame, const QDateTime& when, const QString& label);
    // The prepared box into the frame.
    void Draw(QImage& frame) const;
    QRect LastBox() const { return Box; }

private:
    QString Shown;
    QImage Picture;
    QRect Box;
};
