#include "recording/FrameGrab.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

bool IsBgrx32(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

QFont StampFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

} // namespace

TBitmapView BitmapOf(const QImage& image) {
    TBitmapView view;
    if (image.isNull() || !IsBgrx32(image.format()))
        return view;
    view.Bits = image.constBits();
    view.Width = image.width();
    view.Height = image.height();
    view.Stride = static_cast<std::size_t>(image.bytesPerLine());
    view.Layout = TPixelLayout::Bgrx32TopDown;
    return view;
}

QImage RecordableImage(const QImage& image) {
    if (IsBgrx32(image.format()))
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

QString TTimeStamp::Text(const QDateTime& when, const QString& label) {
    const QString time = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return label.isEmpty() ? time : time + QStringLiteral("  ") + label;
}

void TTimeStamp::Draw(QImage& frame, const QDateTime& when, const QString& label) {
    Prepare(frame.size(), when, label);
    Draw(frame);
}

QRect TTimeStamp::Prepare(const QSize& frame, const QDateTime& when, const QString& label) {
    const QString text = Text(when, label);
    if (text != Shown || Picture.isNull()) {
        const QFont font = StampFont();
        const QFontMetrics metrics(font);
        Picture =
            QImage(metrics.horizontalAdvance(text) + 8, metrics.height() + 6, QImage::Format_RGB32);
        Picture.fill(Qt::black);
        QPainter painter(&Picture);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(4, 3 + metrics.ascent(), text);
        Shown = text;
    }
    // In a frame narrower than the box the time stays in view and the label is cut.
    const int x = std::max(0, frame.width() - Margin - Picture.width());
    const int y = std::max(0, frame.height() - Margin - Picture.height());
    Box = QRect(QPoint(x, y), Picture.size()).intersected(QRect(QPoint(0, 0), frame));
    return Box;
}

void TTimeStamp::Draw(QImage& frame) const {
    QPainter painter(&frame);
    painter.drawImage(Box.topLeft(), Picture);
}
