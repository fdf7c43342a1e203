// Configuration upload and firmware update of the detector controller.
#include "program/zelmont_box.h"

#include "dialogs/SendingForm.h"
#include "dialogs/progress_form.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"
#include "safeconfig/SafeConfig.h"
#include "zones/mm_timer.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

void TZelmont_box::PlaceSendingForm() {
    SendingForm->move(DialogPosition());
    SendingForm->show();
}

void TZelmont_box::AskConfigUpload() {
    if (ConnectionState <= csLoggingIn)
        return;
    SendingForm->setWindowTitle(Lang(ltLoadConfig) + " [" +
                                QString::fromStdString(Config->GetTarget()) + "]");
    SendingForm->CancelButton()->setText(Lang(ltCancel));
    SendingForm->ChangesButton()->setText(Lang(ltChangesButton));
    // A second upload before the first is answered would make its reply ambiguous.
    const bool waiting = UploadInFlight.has_value();
    SendingForm->TextLine()->setText(Lang(waiting ? ltSendInProgress : ltUploadConfigQuestion));
    SendingForm->OkButton()->setEnabled(!waiting);
    SendingForm->OkButton()->setText(Lang(ltOK));
    PlaceSendingForm();
}

void TZelmont_box::UploadConfig() {
    if (UploadInFlight)
        return;
    SendingForm->TextLine()->setText(Lang(ltSendInProgress));
    SendingForm->OkButton()->setEnabled(false);
    const std::string text = Config->AsText();
    OverdueUpload.reset(); // the next reply answers this upload
    if (MainClient->IsConnected())
        UploadInFlight = TUploadWait{text, 0}; // nothing goes out otherwise
    SendLine("sc s=" + std::to_string(text.size()));
    MainClient->Send(text);
}

void TZelmont_box::HandleUploadReply(const std::string& line) {
    const size_t eq = line.find('=');
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    const long long stored = eq == std::string::npos ? -1 : StrToInt64Def(value, -1);
    std::string sent;
    bool asked = true;
    if (UploadInFlight) {
        sent = std::move(UploadInFlight->Text);
        UploadInFlight.reset();
    } else if (OverdueUpload) {
        sent = std::move(*OverdueUpload); // late, but its own reply
        OverdueUpload.reset();
    } else {
        sent = Config->AsText(); // a reply nobody here asked for
        asked = false;
    }
    if (stored >= 0 && static_cast<size_t>(stored) == sent.size()) {
        QString status = Lang(ltConfigUploaded) + QString::fromStdString(value);
        // Only what we sent and the detector confirmed is history; a failed write of it is told
        // once and never stops the upload.
        const QString note = asked ? SafeConfig->UploadConfirmed(Detector(), sent) : QString();
        if (!note.isEmpty())
            status += "\n" + note;
        SendingForm->TextLine()->setText(status);
        SendingForm->CancelButton()->setText(Lang(ltReady));
    } else {
        SendingForm->TextLine()->setText(Lang(ltCannotUploadConfig));
    }
    PlaceSendingForm();
}

void TZelmont_box::WaitForUploadReply() {
    if (!UploadInFlight)
        return;
    // Counted in the timer's own period, which a "gf" reply may have changed.
    UploadInFlight->WaitedMs += MMTimer->Interval();
    if (UploadInFlight->WaitedMs < UploadReplyTimeoutMs)
        return;
    OverdueUpload = std::move(UploadInFlight->Text);
    UploadInFlight.reset();
    SendingForm->TextLine()->setText(Lang(ltUploadNoReply));
    SendingForm->OkButton()->setEnabled(true);
    PlaceSendingForm();
}

void TZelmont_box::ForgetUpload() {
    OverdueUpload.reset();
    if (!UploadInFlight)
        return;
    UploadInFlight.reset();
    // Told, not shown: the connection may be going because the windows are.
    if (SendingForm) {
        SendingForm->TextLine()->setText(Lang(ltUploadConnectionLost));
        SendingForm->OkButton()->setEnabled(false);
    }
}

void TZelmont_box::ShowTransferProgress(long long total, long long done) {
    if (!ProgressForm)
        return;
    const int before = ProgressForm->Bar()->value();
    const QString beforeText = ProgressForm->CountText()->text();
    ProgressForm->SetProgress(done, total);
    // The transfer holds the GUI thread: paint the dialog now, but only when it changed.
    if (ProgressForm->isVisible() &&
        (ProgressForm->Bar()->value() != before || ProgressForm->CountText()->text() != beforeText))
        ProgressForm->repaint();
}

int TZelmont_box::UploadFirmware() {
    const QString file = Prompts->AskFile(MainForm(), {Lang(ltFirmwareUpdate), {}, {}, {}, false});
    if (file.isEmpty())
        return -1;
    ProgressForm->ResetProgress();
    ProgressForm->setWindowTitle(Lang(ltFirmwareUpdate));
    ProgressForm->move(DialogPosition());
    ProgressForm->show();
    int result = 0;
    if (SyncLogin(SyncTarget())) {
        const bool sent =
            SendUpdateFile(file.toStdString(), [this](long long total, long long done) {
                ShowTransferProgress(total, done);
            });
        result = sent ? 1 : 0;
    }
    SyncClose();
    ProgressForm->Finish();
    return result;
}
