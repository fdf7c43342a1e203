#include "dialogs/show_text_form.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TShowTextForm::TShowTextForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), Memo(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("XML"));
    resize(724, 574);
    QFont font(QStringLiteral("Lucida Console"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(15);
    Memo->setFont(font);
    Memo->setReadOnly(true);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo);
}

void TShowTextForm::SetText(const QString& text) {
    Memo->setPlainText(text);
}

QString TShowTextForm::Text() const {
    return Memo->toPlainText();
}

void TShowTextForm::showEvent(QShowEvent* event) {
    if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
        QRect frame = geometry();
        frame.moveCenter(main->geometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
