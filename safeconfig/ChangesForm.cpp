#include "safeconfig/ChangesForm.h"

#include "lang/lang_res.h"
#include "safeconfig/LineDiff.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

QTextCharFormat LineFormat(char kind) {
    QTextCharFormat format;
    switch (kind) {
    case '-':
        format.setBackground(QColor(255, 220, 220));
        format.setForeground(QColor(160, 0, 0));
        break;
    case '+':
        format.setBackground(QColor(215, 250, 215));
        format.setForeground(QColor(0, 110, 0));
        break;
    case '@':
        format.setForeground(QColor(0, 80, 160));
        break;
    default:
        break;
    }
    return format;
}

} // namespace

TChangesForm::TChangesForm(QWidget* parent)
    : QDialog(parent), Header(new QLabel(this)), Memo(new QPlainTextEdit(this)) {
    resize(760, 560);
    Header->setWordWrap(true);
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* close = new QPushButton(Lang(ltClose), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Header);
    layout->addWidget(Memo);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

void TChangesForm::ShowDifference(const QString& caption, const QString& heading,
                                  const std::string& before, const std::string& after) {
    setWindowTitle(caption);
    Header->setText(heading);
    Memo->clear();
    const auto hunks = DiffHunks(DiffLines(TextLines(before), TextLines(after)));
    if (hunks.empty()) {
        Memo->setPlainText(Lang(ltNoChanges));
        return;
    }
    QTextCursor cursor(Memo->document());
    bool first = true;
    auto put = [&](char kind, const QString& text) {
        if (!first)
            cursor.insertBlock();
        first = false;
        cursor.insertText(text, LineFormat(kind));
    };
    for (const TDiffHunk& hunk : hunks) {
        put('@', QString::fromStdString(HunkHeader(hunk)));
        for (const TDiffLine& line : hunk.Lines)
            put(line.Kind, QChar(line.Kind) + QString::fromUtf8(line.Text));
    }
    Memo->moveCursor(QTextCursor::Start);
}

void TChangesForm::ShowMessage(const QString& caption, const QString& heading) {
    setWindowTitle(caption);
    Header->setText(heading);
    Memo->clear();
}

void TChangesForm::ShowPlainText(const QString& caption, const QString& heading,
                                 const std::string& text) {
    setWindowTitle(caption);
    Header->setText(heading);
    Memo->setPlainText(QString::fromUtf8(text));
}

QString TChangesForm::Heading() const {
    return Header->text();
}

QString TChangesForm::Text() const {
    return Memo->toPlainText();
}
