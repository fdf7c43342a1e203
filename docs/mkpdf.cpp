// Build tool: renders one Markdown help text into an A4 PDF for the program's document folder.
//
//     mkpdf <source.md> <output.pdf>
//
// Exit codes: 0 written, 1 usage, 2 source unreadable or empty, 3 output not written. The output
// appears only when it is complete, so a failed run never leaves a half-written document behind
// for the install step to pick up.

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstdio>
#include <optional>

namespace {

const QColor kHeadingColor(0, 96, 96);
const QColor kRuleColor(160, 160, 160);
const QColor kHeaderCellColor(228, 236, 236);
const QColor kCodeColor(242, 242, 242);

std::optional<QString> readSource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString text = QString::fromUtf8(file.readAll());
    if (text.trimmed().isEmpty())
        return std::nullopt;
    return text;
}

void styleHeadingsAndCode(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        QTextCursor cursor(block);
        if (const int level = format.headingLevel(); level > 0) {
            format.setTopMargin(level == 1 ? 4 : 14);
            format.setBottomMargin(6);
            cursor.setBlockFormat(format);
            cursor.select(QTextCursor::BlockUnderCursor);
            QTextCharFormat chars;
            chars.setForeground(kHeadingColor);
            cursor.mergeCharFormat(chars);
        } else if (format.hasProperty(QTextFormat::BlockCodeFence)) {
            format.setBackground(kCodeColor);
            format.setLeftMargin(12);
            cursor.setBlockFormat(format);
        }
    }
}

void styleTable(QTextTable& table) {
    QTextTableFormat format = table.format();
    format.setBorder(1);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setBorderBrush(kRuleColor);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(4);
    format.setTopMargin(4);
    format.setBottomMargin(8);
    // A key table split over a page break keeps its column headings on the next page.
    format.setHeaderRowCount(1);
    table.setFormat(format);
    for (int column = 0; column < table.columns(); ++column) {
        QTextTableCell cell = table.cellAt(0, column);
        QTextCharFormat cellFormat = cell.format();
        cellFormat.setBackground(kHeaderCellColor);
        cell.setFormat(cellFormat);
    }
}

void styleTables(QTextFrame* frame) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            styleTable(*table);
        styleTables(child);
    }
}

// The first top-level heading names the document in the PDF's metadata and in the page footer.
QString documentTitle(const QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 1)
            return block.text().trimmed();
    }
    return {};
}

void drawFooter(QPainter& painter, const QRectF& area, const QString& title, int page, int pages) {
    painter.save();
    painter.setPen(QPen(kRuleColor, 0));
    painter.drawLine(area.topLeft(), area.topRight());
    painter.setPen(Qt::darkGray);
    QFont font = painter.font();
    font.setPointSizeF(8);
    painter.setFont(font);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignBottom, title);
    painter.drawText(area, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("%1 / %2").arg(page).arg(pages));
    painter.restore();
}

bool render(QTextDocument& doc, const QString& outputPath) {
    QSaveFile out(outputPath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QString title = documentTitle(doc);
    {
        QPdfWriter writer(&out);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 16, 18, 14), QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Kervola"));

        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        // Layout in the writer's own units, so fonts and margins come out at their point sizes.
        doc.documentLayout()->setPaintDevice(&writer);
        const qreal footerHeight = writer.resolution() * 0.35;
        const QSizeF body(writer.width(), writer.height() - footerHeight);
        doc.setPageSize(body);
        const int pages = doc.pageCount();
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                writer.newPage();
            painter.save();
            painter.translate(0, -page * body.height());
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = QRectF(0, page * body.height(), body.width(), body.height());
            painter.setClipRect(context.clip);
            doc.documentLayout()->draw(&painter, context);
            painter.restore();
            drawFooter(painter, QRectF(0, body.height(), body.width(), footerHeight), title,
                       page + 1, pages);
        }
        if (!painter.end())
            return false;
    }
    return out.commit();
}

} // namespace

int main(int argc, char** argv) {
    // A build step never has a display; the document is drawn off screen whatever the caller set.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: mkpdf <source.md> <output.pdf>\n");
        return 1;
    }
    const std::optional<QString> source = readSource(args[1]);
    if (!source) {
        std::fprintf(stderr, "mkpdf: cannot read any text from %s\n", qPrintable(args[1]));
        return 2;
    }

    QTextDocument doc;
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                      QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(10);
    // Qt shapes "fi" and "fl" as ligature glyphs unless letter spacing is in use, and a reader's
    // search for "config" then misses every "config" in the text; a spacing far below one device
    // pixel turns them off without changing the look.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    // The sources quote program texts such as "<Right click for main menu access>", which as raw
    // HTML would swallow everything after them.
    doc.setMarkdown(*source, QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                             QTextDocument::MarkdownNoHTML));
    styleHeadingsAndCode(doc);
    styleTables(doc.rootFrame());

    if (!render(doc, args[2])) {
        std::fprintf(stderr, "mkpdf: cannot write %s\n", qPrintable(args[2]));
        return 3;
    }
    return 0;
}
