#include "cleaning/CleaningForm.h"

#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <mutex>
#include <thread>

// What a running level exchange shares with its dialog, which may be gone before the exchange
// ends.
struct TCleanForm::TPollLink {
    std::mutex Mutex;
    TCleanForm* Form = nullptr;
    int State = -1; // the last poll's level, read when its call arrives
};

namespace {

// The captions are the unit's own and stay Russian in both languages of the program.
const char* const TimingCaptions[CleaningTimingCount] = {
    "Задержка вкл насоса",
    "Задержка вкл щетки",
    "Время работы насоса",
    "Время работы щетки",
};

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TCleanForm::TCleanForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      Interval(new QComboBox(this)), Sensitivity(new QComboBox(this)), Bar(new QProgressBar(this)),
      Level(new QLabel(Utf8("Не подключен"), this)), Clean(new QPushButton(Utf8("Очистка"), this)),
      Close(new QPushButton(Utf8("Закрыть"), this)), Poll(new QTimer(this)),
      Link(std::make_shared<TPollLink>()) {
    Link->Form = this;
    setWindowTitle(Utf8("Управление очисткой"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);
    setFixedSize(327, 407);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(10);
    Clean->setMinimumHeight(36);
    layout->addWidget(Clean);

    auto* timings = new QGridLayout;
    timings->setColumnStretch(0, 1);
    for (int i = 0; i < CleaningTimingCount; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setFixedWidth(60);
        edit->setAlignment(Qt::AlignRight);
        Timings[static_cast<size_t>(i)] = edit;
        timings->addWidget(new QLabel(Utf8(TimingCaptions[i]), this), i, 0);
        timings->addWidget(edit, i, 1);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { CorrectTiming(edit); });
    }
    layout->addLayout(timings);

    for (const TCleaningInterval& row : CleaningIntervals)
        Interval->addItem(Utf8(row.Text));
    for (const TCleaningSensitivity& row : CleaningSensitivities)
        Sensitivity->addItem(Utf8(row.Text));
    layout->addWidget(new QLabel(Utf8("Авто очистка не чаще"), this));
    layout->addWidget(Interval);
    layout->addWidget(new QLabel(Utf8("Чувствит авто очистки"), this));
    layout->addWidget(Sensitivity);

    Bar->setRange(0, 100);
    Bar->setTextVisible(false);
    layout->addWidget(new QLabel(Utf8("Уровень жидкости"), this));
    layout->addWidget(Bar);
    Level->setAlignment(Qt::AlignCenter);
    layout->addWidget(Level);
    layout->addStretch();
    layout->addWidget(Close);

    SetValues(TCleaningValues{});
    // Until the first answer the dialog says it has not asked yet.
    PaintLevel(Utf8("Не подключен"), 0, false);

    // Enter in a timing edit only confirms the edit: a cleaning run starts by its button alone.
    Clean->setAutoDefault(false);
    Close->setAutoDefault(false);
    connect(Clean, &QPushButton::clicked, this, &TCleanForm::accept);
    connect(Close, &QPushButton::clicked, this, &TCleanForm::reject);
    Poll->setInterval(PollPeriodMs);
    connect(Poll, &QTimer::timeout, this, &TCleanForm::PollTick);
}

TCleanForm::~TCleanForm() {
    // An exchange still running keeps its answer to itself; closing never waits for it.
    const std::lock_guard lock(Link->Mutex);
    Link->Form = nullptr;
}

void TCleanForm::SetStateQuery(TStateQuery query, QObject* owner) {
    Query = std::move(query);
    QueryOwner = owner;
    Owned = owner != nullptr;
}

void TCleanForm::LoadCleaning(const TXMLNode* top) {
    TCleaningValues values = Values();
    ::LoadCleaning(top, values);
    SetValues(values);
}

void TCleanForm::StoreCleaning(TXMLNode* top) const {
    ::StoreCleaning(top, Values());
}

TCleaningValues TCleanForm::Values() const {
    TCleaningValues values;
    for (int i = 0; i < CleaningTimingCount; ++i)
        values.Timings[static_cast<size_t>(i)] = TimingEdit(i)->text().toStdString();
    values.IntervalIndex = Interval->currentIndex();
    values.SensitivityIndex = Sensitivity->currentIndex();
    return values;
}

void TCleanForm::SetValues(const TCleaningValues& values) {
    for (int i = 0; i < CleaningTimingCount; ++i)
        TimingEdit(i)->setText(QString::fromStdString(values.Timings[static_cast<size_t>(i)]));
    Interval->setCurrentIndex(values.IntervalIndex);
    Sensitivity->setCurrentIndex(values.SensitivityIndex);
}

std::string TCleanForm::CleaningCommand() const {
    return ::CleaningCommand(Values());
}

void TCleanForm::CorrectTiming(QLineEdit* edit) {
    edit->setText(QString::fromStdString(CorrectCleaningTiming(edit->text().toStdString())));
}

void TCleanForm::accept() {
    // An edit that never lost the focus has not been corrected yet, and its text goes into the
    // command line: only numbers 0..30 may reach the detector.
    for (QLineEdit* edit : Timings)
        CorrectTiming(edit);
    QDialog::accept();
}

void TCleanForm::ShowState(int state) {
    State = state;
    const TCleaningLevel level = CleaningLevel(state);
    PaintLevel(Utf8(level.Text), level.Position, level.Red);
    emit stateShown(state);
}

void TCleanForm::PaintLevel(const QString& text, int position, bool red) {
    Level->setText(text);
    Bar->setValue(position);
    QPalette palette = Bar->palette();
    palette.setColor(QPalette::Highlight, red ? Qt::red : Qt::blue);
    Bar->setPalette(palette);
}

void TCleanForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!Running)
        Poll->start();
}

void TCleanForm::hideEvent(QHideEvent* event) {
    Poll->stop();
    QDialog::hideEvent(event);
}

void TCleanForm::PollTick() {
    if (!Query || (Owned && QueryOwner.isNull()) || Running)
        return;
    Poll->stop();
    TStateJob job = Query();
    if (!job) {
        FinishPoll(-1);
        return;
    }
    // The exchange may take the channel's full time-outs on an unreachable detector; it runs
    // beside the GUI, and the next poll waits for it.
    Running = true;
    std::thread([link = Link, job = std::move(job)] {
        const int state = job();
        const std::lock_guard lock(link->Mutex);
        link->State = state;
        // Posted while the dialog is known to exist; a dialog deleted before the call runs
        // takes the call with it.
        if (TCleanForm* form = link->Form)
            QMetaObject::invokeMethod(form, "PollArrived", Qt::QueuedConnection);
    }).detach();
}

void TCleanForm::PollArrived() {
    int state = -1;
    {
        const std::lock_guard lock(Link->Mutex);
        state = Link->State;
    }
    PollDone(state);
}

void TCleanForm::PollDone(int state) {
    Running = false;
    FinishPoll(state);
}

void TCleanForm::FinishPoll(int state) {
    if (isVisible())
        Poll->start();
    ShowState(state);
}
