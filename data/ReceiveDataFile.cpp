#include "data/ReceiveDataFile.h"

#include "data/DataDownload.h"
#include "dialogs/Prompts.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "lang/lang_res.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <ctime>

namespace {

// The save dialog's filters; the binary one only where the records can be told apart from it.
const QString TableFilter = QStringLiteral("Text table files (*.csv *.txt *.CSV *.TXT)");
const QString BinaryFilter = QStringLiteral("Binary data files (*.bin *.BIN)");
const QString Caption = QStringLiteral("KERVOLA");

// Days as typed in the user's number format; anything else, "All data available" included, is 0.
double DaysOf(const QString& text) {
    bool ok = false;
    const double days = QLocale().toDouble(text.trimmed(), &ok);
    return ok ? days : 0;
}

int Report(const TReceiveDataContext& c, const TDownloadOutcome& outcome, const QString& file) {
    switch (outcome.Status) {
    case TDownloadStatus::Done:
        return static_cast<int>(std::min<long long>(outcome.Bytes, INT_MAX));
    case TDownloadStatus::UnknownRecordSize:
        // The same text in every language.
        c.Prompts->Inform(c.Owner, Caption,
                          QStringLiteral("Format error: Unknown record size: ") +
                              QString::number(outcome.RecordSize),
                          QMessageBox::Warning);
        return -1;
    case TDownloadStatus::WriteError:
        c.Prompts->Inform(c.Owner, Caption,
                          QStringLiteral("File ") + file + QStringLiteral(" write error"),
                          QMessageBox::Critical);
        return -1;
    default:
        return 0;
    }
}

} // namespace

int ReceiveDataFile(const TReceiveDataContext& c) {
    const int firmware = FirmwareNumber(c.FirmwareVersion);
    c.DayPicker->move(c.ClientOrigin + QPoint(60, 60));
    if (!c.Prompts->Exec(c.DayPicker))
        return -1;
    const std::string start =
        DownloadStartText(DaysOf(c.DayPicker->DaysText()), std::time(nullptr));

    TFileQuestion question;
    question.Title = Lang(ltReceiveDataFile);
    question.Filter =
        firmware >= FirstRecordFirmware ? TableFilter + ";;" + BinaryFilter : TableFilter;
    question.DefaultSuffix = QStringLiteral("csv");
    question.Save = true;
    const QString file = c.Prompts->AskFile(c.Owner, question);
    if (file.isEmpty())
        return -1;

    c.Progress->ResetProgress();
    c.Progress->setWindowTitle(Lang(ltReceiveDataFile));
    c.Progress->move(c.ClientOrigin + QPoint(30, 30));
    c.Progress->show();
    TDownloadRequest request;
    request.Target = c.Target;
    request.Firmware = firmware;
    request.StartText = start;
    request.File = QFile::encodeName(file).toStdString();
    request.Progress = c.ShowProgress;
    const TDownloadOutcome outcome = DownloadDataFile(request);
    c.Progress->Finish();
    return Report(c, outcome, file);
}

TDataReceiver::TDataReceiver(QWidget* owner, TDayPickerForm* dayPicker, TProgressForm* progress,
                             TProgressProc showProgress)
    : Owner(owner), DayPicker(dayPicker), Progress(progress),
      ShowProgress(std::move(showProgress)) {}

TDataReceiver::~TDataReceiver() = default;

int TDataReceiver::Receive(const TSyncTarget& target, const std::string& firmwareVersion,
                           const QPoint& clientOrigin, TUserPrompts* prompts) const {
    if (!DayPicker || !Progress || !prompts)
        return -1;
    TReceiveDataContext context;
    context.Target = target;
    context.FirmwareVersion = firmwareVersion;
    context.Owner = Owner;
    context.ClientOrigin = clientOrigin;
    context.DayPicker = DayPicker;
    context.Progress = Progress;
    context.Prompts = prompts;
    context.ShowProgress = ShowProgress;
    return ReceiveDataFile(context);
}
