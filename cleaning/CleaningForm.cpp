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
#include <QtConcurrent/QtConcurrentRun>

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
      Interval(new QComboBox(this)), Sensitivity(new QComboBox(this)),
      Bar(new QProgressBar(this)), Level(new QLabel(Utf8("Не подключен"), this)),
      Clean(new QPushButton(Utf8("Очистка"), this)),
      Close(new QPushButton(Utf8("Закрыть"), this)), Poll(new QTimer(this)) {
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
    ShowState(-1);
    // Until the first answer the dialog says it has not asked yet.
    Level->setText(Utf8("Не подключен"));

    // Enter in a timing edit only confirms the edit: a cleaning run starts by its button alone.
    Clean->setAutoDefault(false);
    Close->setAutoDefault(false);
    connect(Clean, &QPushButton::clicked, this, &TCleanForm::accept);
    connect(Close, &QPushButton::clicked, this, &TCleanForm::reject);
    Poll->setInterval(PollPeriodMs);
    connect(Poll, &QTimer::timeout, this, &TCleanForm::PollTick);
    connect(&Watcher, &QFutureWatcher<int>::finished, this, &TCleanForm::PollDone);
}

TCleanForm::~TCleanForm() {
    Watcher.disconnect(this);
    if (Running)
        Watcher.waitForFinished();
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
    Level->setText(Utf8(level.Text));
    Bar->setValue(level.Position);
    QPalette palette = Bar->palette();
    palette.setColor(QPalette::Highlight, level.Red ? Qt::red : Qt::blue);
    Bar->setPalette(palette);
    emit stateShown(state);
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
    // The exchange may take the channel's full time-out on an unreachable detector; it runs
    // beside the GUI, and the next poll waits for it.
    Running = true;
    Watcher.setFuture(QtConcurrent::run(std::move(job)));
}

void TCleanForm::PollDone() {
    Running = false;
    FinishPoll(Watcher.future().resultCount() > 0 ? Watcher.result() : -1);
}

void TCleanForm::FinishPoll(int state) {
    if (isVisible())
        Poll->start();
    ShowState(state);
}
