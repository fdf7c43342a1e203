// Build tool: renders the program's SVG icon into the PNG sizes of the hicolor icon theme, for
// menus and software centres that do not draw SVG.
//
//     mkicons <icon.svg> <output-folder> <size>...
//
// Writes <output-folder>/<size>x<size>/apps/<icon name>.png for every size. Exit codes: 0 written,
// 1 usage, 2 the icon cannot be read, 3 a picture not written. Each picture appears only when it
// is complete, so a failed run never leaves a half-written file for the install step.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <cstdio>

namespace {

// Icon themes list nothing larger; a bigger figure is a mistyped argument.
constexpr int kLargestSize = 1024;

bool writeIcon(QSvgRenderer& svg, int size, const QString& path) {
    // Transparent where the icon draws nothing, with the corners smoothed at every size.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        svg.render(&painter, QRectF(0, 0, size, size));
    }
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: mkicons <icon.svg> <output-folder> <size>...\n");
        return 1;
    }
    QList<int> sizes;
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size < 1 || size > kLargestSize) {
            std::fprintf(stderr, "mkicons: not an icon size: %s\n", qPrintable(args[i]));
            return 1;
        }
        sizes.append(size);
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "mkicons: cannot read %s\n", qPrintable(args[1]));
        return 2;
    }
    const QString name = QFileInfo(args[1]).completeBaseName();
    for (int size : sizes) {
        const QString path =
            QStringLiteral("%1/%2x%2/apps/%3.png").arg(args[2]).arg(size).arg(name);
        if (!writeIcon(svg, size, path)) {
            std::fprintf(stderr, "mkicons: cannot write %s\n", qPrintable(path));
            return 3;
        }
    }
    return 0;
}
