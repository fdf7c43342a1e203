#include "countcheck/CountCheckWindow.h"

#include "lang/lang_res.h"
#include "platform/FileReplace.h"
#include "zones/TFImageHelper2.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

// Zones counted by hand light up for a moment over the picture, so the engineer sees which zone
// the key or the click went to without looking away from the road.
class TCountFlash final : public QWidget {
public:
    TCountFlash(TQuadImager& view, QWidget* panel) : QWidget(panel), View(view) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        // Each zone goes dark on its own time, so a quick run of counts on several zones still
        // shows which zone each one went to.
        Expire.setInterval(50);
        connect(&Expire, &QTimer::timeout, this, [this] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            std::erase_if(Lit, [now](const auto& lit) { return lit.second <= now; });
            update();
            if (!Lit.empty())
                return;
            Expire.stop();
            hide();
        });
        hide();
    }

    void Light(int index) {
        if (!parentWidget())
            return;
        setGeometry(parentWidget()->rect());
        const qint64 until = QDateTime::currentMSecsSinceEpoch() + 300;
        std::erase_if(Lit, [index](const auto& lit) { return lit.first == index; });
        Lit.emplace_back(index, until);
        show();
        raise();
        update();
        if (!Expire.isActive())
            Expire.start();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const auto& [index, until] : Lit) {
            const TQuadBase* zone = View.Quad(index);
            if (!zone)
                continue;
            const TPixelQuad px =
                QuadToPixels(zone->Points, View.ViewWidth - 1, View.ViewHeight - 1);
            QPainterPath path;
            path.moveTo(px[0].X, px[0].Y);
            for (size_t i = 1; i < px.size(); ++i)
                path.lineTo(px[i].X, px[i].Y);
            path.closeSubpath();
            painter.fillPath(path, QColor(255, 255, 0, 110));
            painter.setPen(QPen(QColor(255, 255, 0), 3));
            painter.drawPath(path);
        }
    }

private:
    TQuadImager& View;
    std::vector<std::pair<int, qint64>> Lit; // zone index, lit until (ms since 1970)
    QTimer Expire;
};

namespace {

constexpr int Columns = 7;
constexpr int ColumnTexts[Columns] = {ltCountCheckZone,    ltCountCheckDetector, ltCountCheckHand,
                                      ltCountCheckMatched, ltCountCheckMissed,   ltCountCheckFalse,
                                      ltCountCheckError};

QString ErrorText(const std::optional<double>& value) {
    // The table follows the desktop's decimal separator, as the program's other numbers do.
    if (!value)
        return {};
    return QLocale().toString(*value, 'f', 1);
}

} // namespace

TCountCheckWindow::TCountCheckWindow(TQuadImager& view, QWidget* mainForm)
    : QWidget(mainForm, Qt::Tool), View(view), ViewPanel(view.Panel()), Form(mainForm) {
    setObjectName("CountCheck");
    Grid = new QTableWidget(0, Columns, this);
    Grid->verticalHeader()->hide();
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionMode(QAbstractItemView::NoSelection);
    Grid->setFocusPolicy(Qt::NoFocus);
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Hint = new QLabel(this);
    Hint->setWordWrap(true);
    StartButton = new QPushButton(this);
    StopButton = new QPushButton(this);
    ResetButton = new QPushButton(this);
    SaveButton = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {StartButton, StopButton, ResetButton, SaveButton}) {
        // The keys 1-9 are counts while a check runs; no button may take them as a press.
        b->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid);
    layout->addWidget(Hint);
    layout->addLayout(buttons);
    connect(StartButton, &QPushButton::clicked, this, [this] { Start(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { Stop(); });
    connect(ResetButton, &QPushButton::clicked, this, [this] { Reset(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { Save(); });
    Flash = new TCountFlash(view, view.Panel());
    Settle.setInterval(250);
    connect(&Settle, &QTimer::timeout, this, [this] { Refresh(); });
    if (mainForm)
        mainForm->installEventFilter(this);
    installEventFilter(this);
    if (ViewPanel)
        ViewPanel->installEventFilter(this);
    ApplyTexts();
    resize(560, 300);
}

TCountCheckWindow::~TCountCheckWindow() {
    if (Form)
        Form->removeEventFilter(this);
    if (ViewPanel)
        ViewPanel->removeEventFilter(this);
}

void TCountCheckWindow::ApplyTexts() {
    setWindowTitle(Lang(ltCountCheckCaption));
    QStringList headers;
    for (int text : ColumnTexts)
        headers << Lang(text);
    Grid->setHorizontalHeaderLabels(headers);
    Hint->setText(Lang(ltCountCheckHint));
    StartButton->setText(Lang(ltCountCheckStart));
    StopButton->setText(Lang(ltCountCheckStop));
    ResetButton->setText(Lang(ltCountCheckReset));
    SaveButton->setText(Lang(ltCountCheckSave));
    Refresh();
}

void TCountCheckWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ShowToParent)
        ApplyTexts();
}

void TCountCheckWindow::Open(QPoint at) {
    if (Available && !Available())
        return;
    if (!isVisible())
        move(at);
    show();
    raise();
}

double TCountCheckWindow::Now() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void TCountCheckWindow::SetWindow(double seconds) {
    if (seconds > 0)
        MatchWindow = seconds;
    Refresh();
}

void TCountCheckWindow::Start() {
    if (IsRunning)
        return;
    Log.clear();
    Edges.Reset();
    FirstStates = true;
    IsRunning = true;
    if (SwitchDataModeOn)
        SwitchDataModeOn();
    Settle.start();
    Refresh();
}

void TCountCheckWindow::Stop() {
    IsRunning = false;
    Settle.stop();
    Refresh();
}

void TCountCheckWindow::Reset() {
    Log.clear();
    Edges.Reset();
    // While a check runs data mode is on: the states shown now are the detector's, so they are
    // the new starting point at once.
    if (IsRunning && !FirstStates)
        StatesRead();
    Refresh();
}

void TCountCheckWindow::StatesRead() {
    if (!IsRunning || !ViewPanel)
        return;
    FirstStates = false;
    std::vector<std::pair<std::string, bool>> states;
    for (int i = 0; i < View.Count(); ++i)
        states.emplace_back(View.Quad(i)->Id, View.Quad(i)->Active);
    const size_t before = Log.size();
    Edges.Update(states, Now(), Log);
    if (Log.size() != before)
        Refresh();
}

void TCountCheckWindow::AddHand(int index) {
    const TQuadBase* zone = ViewPanel ? View.Quad(index) : nullptr;
    if (!IsRunning || !zone)
        return;
    Log.push_back({Now(), zone->Id, "hand", true});
    Flash->Light(index);
    Refresh();
}

std::vector<std::string> TCountCheckWindow::ZoneIds() const {
    std::vector<std::string> ids;
    if (!ViewPanel)
        return ids;
    for (int i = 0; i < View.Count(); ++i)
        ids.push_back(View.Quad(i)->Id);
    return ids;
}

std::vector<TZoneCount> TCountCheckWindow::Counts() const {
    // While the check runs, an event younger than the window may still find its partner.
    const double settled =
        IsRunning ? Now() - MatchWindow : std::numeric_limits<double>::infinity();
    std::vector<TZoneCount> zones = MatchEvents(Log, MatchWindow, ZoneIds(), settled);
    zones.push_back(TotalCount(zones));
    return zones;
}

void TCountCheckWindow::Refresh() {
    StartButton->setEnabled(!IsRunning);
    StopButton->setEnabled(IsRunning);
    SaveButton->setEnabled(!IsRunning && !Log.empty());
    const std::vector<TZoneCount> rows = Counts();
    Grid->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TZoneCount& c = rows[static_cast<size_t>(r)];
        const bool total = r + 1 == static_cast<int>(rows.size());
        const QString cells[Columns] = {total ? Lang(ltCountCheckTotal)
                                              : QString::fromStdString(c.Zone),
                                        QString::number(c.Detector),
                                        QString::number(c.Reference),
                                        QString::number(c.Matched),
                                        QString::number(c.Missed),
                                        QString::number(c.False),
                                        ErrorText(c.ErrorPercent())};
        for (int col = 0; col < Columns; ++col) {
            QTableWidgetItem* item = Grid->item(r, col);
            if (!item) {
                item = new QTableWidgetItem;
                Grid->setItem(r, col, item);
            }
            item->setText(cells[col]);
            item->setTextAlignment(col == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                            : Qt::AlignRight | Qt::AlignVCenter);
            QFont font = item->font();
            font.setBold(total);
            item->setFont(font);
        }
    }
}

void TCountCheckWindow::Save() {
    if (!AskSaveFile)
        return;
    const QString file = AskSaveFile();
    if (!file.isEmpty())
        SaveTo(file);
}

bool TCountCheckWindow::SaveTo(const QString& file) {
    QString summary = file;
    if (summary.endsWith(".csv", Qt::CaseInsensitive))
        summary.chop(4);
    summary += "-summary.csv";
    std::vector<TZoneCount> zones = MatchEvents(Log, MatchWindow, ZoneIds());
    std::string reason;
    QString failed;
    if (!ReplaceFileContents(file.toStdString(), FormatEventLog(Log), DocumentFile, reason))
        failed = file;
    else if (!ReplaceFileContents(summary.toStdString(), FormatSummaryCsv(zones), DocumentFile,
                                  reason))
        failed = summary;
    if (failed.isEmpty())
        return true;
    if (Warn)
        Warn(Lang(ltCountCheckNotWritten).arg(failed) + " " + QString::fromStdString(reason));
    return false;
}

bool TCountCheckWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!IsRunning)
        return false;
    if (event->type() == QEvent::KeyPress && (watched == Form || watched == this)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (mods != Qt::NoModifier || key->key() < Qt::Key_1 || key->key() > Qt::Key_9)
            return false;
        AddHand(key->key() - Qt::Key_1);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && ViewPanel && watched == ViewPanel) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::MiddleButton)
            return false;
        const QPoint at = mouse->position().toPoint();
        for (int i = 0; i < View.Count(); ++i) {
            if (QuadContains(*View.Quad(i), {at.x(), at.y()}, View.ViewWidth, View.ViewHeight)) {
                AddHand(i);
                break;
            }
        }
        return true;
    }
    return false;
}
