#include "safeconfig/HistoryForm.h"

#include "config/GXmlUtils.h"
#include "lang/lang_res.h"
#include "safeconfig/ChangesForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

THistoryForm::THistoryForm(QWidget* parent)
    : QDialog(parent), Note(new QLabel(this)), List(new QTableWidget(0, 4, this)),
      Show(new QPushButton(this)), Diff(new QPushButton(this)), Load(new QPushButton(this)),
      Close(new QPushButton(this)), View(new TChangesForm(this)) {
    resize(620, 420);
    Note->setWordWrap(true);
    Note->setStyleSheet(QStringLiteral("color: rgb(160, 0, 0)"));
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Show);
    buttons->addWidget(Diff);
    buttons->addWidget(Load);
    buttons->addStretch();
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Note);
    layout->addWidget(List);
    layout->addLayout(buttons);
    connect(Show, &QPushButton::clicked, this, &THistoryForm::ShowSelected);
    connect(Diff, &QPushButton::clicked, this, &THistoryForm::DiffSelected);
    connect(Load, &QPushButton::clicked, this, &THistoryForm::LoadSelected);
    connect(Close, &QPushButton::clicked, this, &QDialog::close);
    connect(List, &QTableWidget::itemSelectionChanged, this, &THistoryForm::UpdateButtons);
    connect(List, &QTableWidget::cellDoubleClicked, this, [this] { ShowSelected(); });
}

void THistoryForm::SetEntries(const QString& detector, std::vector<THistoryEntry> entries,
                              const QString& note) {
    setWindowTitle(Lang(ltHistoryCaption) + " [" + detector + "]");
    List->setHorizontalHeaderLabels({Lang(ltHistoryTime), Lang(ltHistoryKind),
                                     Lang(ltHistorySize), Lang(ltHistorySensors)});
    Show->setText(Lang(ltHistoryShow));
    Diff->setText(Lang(ltHistoryDiff));
    Load->setText(Lang(ltHistoryLoad));
    Close->setText(Lang(ltClose));
    Entries = std::move(entries);
    std::reverse(Entries.begin(), Entries.end());
    QString text = note;
    if (Entries.empty())
        text = text.isEmpty() ? Lang(ltHistoryEmpty) : text + "\n" + Lang(ltHistoryEmpty);
    Note->setText(text);
    Note->setVisible(!text.isEmpty());
    List->clearContents();
    List->setRowCount(static_cast<int>(Entries.size()));
    for (int row = 0; row < static_cast<int>(Entries.size()); ++row) {
        const THistoryEntry& e = Entries[static_cast<std::size_t>(row)];
        const QString cells[] = {
            QString::fromStdString(HistoryTimeText(e.TimeMs)),
            Lang(e.Kind == "sent" ? ltHistorySent : ltHistoryRead),
            QString::number(e.Size),
            QString::number(e.Sensors),
        };
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            List->setItem(row, column, item);
        }
    }
    List->resizeColumnsToContents();
    if (!Entries.empty())
        List->selectRow(0);
    UpdateButtons();
}

const THistoryEntry* THistoryForm::Selected() const {
    const int row = List->currentRow();
    const auto selected = List->selectionModel()->selectedRows();
    if (selected.isEmpty() || row < 0 || row >= static_cast<int>(Entries.size()))
        return nullptr;
    return &Entries[static_cast<std::size_t>(row)];
}

void THistoryForm::UpdateButtons() {
    const bool any = Selected() != nullptr;
    Show->setEnabled(any);
    Diff->setEnabled(any);
    Load->setEnabled(any);
}

void THistoryForm::ShowSelected() {
    const THistoryEntry* e = Selected();
    std::string text;
    if (!e || !ReadFileBytes(e->Path, text))
        return;
    View->ShowPlainText(QString::fromStdString(e->FileName), QString::fromStdString(e->Path),
                        text);
    View->show();
    View->raise();
}

void THistoryForm::DiffSelected() {
    const THistoryEntry* e = Selected();
    std::string text;
    if (!e || !ReadFileBytes(e->Path, text))
        return;
    const std::string current = CurrentDocument ? CurrentDocument() : std::string();
    View->ShowDifference(Lang(ltChangesCaption),
                         Lang(ltChangesFrom)
                             .arg(Lang(e->Kind == "sent" ? ltHistorySent : ltHistoryRead),
                                  QString::fromStdString(HistoryTimeText(e->TimeMs))),
                         current, text);
    View->show();
    View->raise();
}

void THistoryForm::LoadSelected() {
    const THistoryEntry* e = Selected();
    if (!e)
        return;
    const QString path = QString::fromStdString(e->Path);
    close();
    emit loadRequested(path);
}
