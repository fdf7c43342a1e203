#include "program/ConfigTransfer.h"

#include "dialogs/SendingForm.h"
#include "dialogs/progress_form.h"
#include "dialogs/Prompts.h"
#include "program/zelmont_box.h"
#include "lang/lang_res.h"
#include "safeconfig/SafeConfig.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

void TConfigTransfer::PlaceSendingForm() {
    Box.SendingForm->move(Box.DialogPosition());
    Box.SendingForm->show();
}

void TConfigTransfer::AskConfigUpload() {
    if (Box.ConnectionState <= csLoggingIn)
        return;
    Box.SendingForm->setWindowTitle(Lang(ltLoadConfig) + " [" +
                                    QString::fromStdString(Box.Config->GetTarget()) + "]");
    Box.SendingForm->CancelButton()->setText(Lang(ltCancel));
    Box.SendingForm->ChangesButton()->setText(Lang(ltChangesButton));
    // A second upload before the first is answered would make its reply ambiguous.
    const bool waiting = UploadInFlight.has_value();
    Box.SendingForm->TextLine()->setText(Lang(waiting ? ltSendInProgress : ltUploadConfigQuestion));
    Box.SendingForm->OkButton()->setEnabled(!waiting);
    Box.SendingForm->OkButton()->setText(Lang(ltOK));
    PlaceSendingForm();
}

void TConfigTransfer::UploadConfig() {
    if (UploadInFlight)
        return;
    Box.SendingForm->TextLine()->setText(Lang(ltSendInProgress));
    Box.SendingForm->OkButton()->setEnabled(false);
    const std::string text = Box.Config->AsText();
    OverdueUpload.reset(); // the next reply answers this upload
    if (Box.Client().IsConnected())
        UploadInFlight = TUploadWait{text, 0}; // nothing goes out otherwise
    Box.SendLine("sc s=" + std::to_string(text.size()));
    Box.Client().Send(text);
}

void TConfigTransfer::HandleUploadReply(const std::string& line) {
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
        sent = Box.Config->AsText(); // a reply nobody here asked for
        asked = false;
    }
    if (stored >= 0 && static_cast<size_t>(stored) == sent.size()) {
        QString status = Lang(ltConfigUploaded) + QString::fromStdString(value);
        // Only what we sent and the detector confirmed is history; a failed write of it is told
        // once and never stops the upload.
        const QString note =
            asked ? Box.SafeConfig->UploadConfirmed(Box.Detector(), sent) : QString();
        if (!note.isEmpty())
            status += "\n" + note;
        Box.SendingForm->TextLine()->setText(status);
        Box.SendingForm->CancelButton()->setText(Lang(ltReady));
    } else {
        Box.SendingForm->TextLine()->setText(Lang(ltCannotUploadConfig));
    }
    PlaceSendingForm();
}

void TConfigTransfer::WaitForUploadReply(unsigned periodMs) {
    if (!UploadInFlight)
        return;
    UploadInFlight->WaitedMs += periodMs;
    if (UploadInFlight->WaitedMs < UploadReplyTimeoutMs)
        return;
    OverdueUpload = std::move(UploadInFlight->Text);
    UploadInFlight.reset();
    Box.SendingForm->TextLine()->setText(Lang(ltUploadNoReply));
    Box.SendingForm->OkButton()->setEnabled(true);
    PlaceSendingForm();
}

void TConfigTransfer::ForgetUpload() {
    OverdueUpload.reset();
    if (!UploadInFlight)
        return;
    UploadInFlight.reset();
    // Told, not shown: the connection may be going because the windows are.
    if (Box.SendingForm) {
        Box.SendingForm->TextLine()->setText(Lang(ltUploadConnectionLost));
        Box.SendingForm->OkButton()->setEnabled(false);
    }
}

void TConfigTransfer::ShowTransferProgress(long long total, long long done) {
    if (!Box.ProgressForm)
        return;
    const int before = Box.ProgressForm->Bar()->value();
    const QString beforeText = Box.ProgressForm->CountText()->text();
    Box.ProgressForm->SetProgress(done, total);
    // The transfer holds the GUI thread: paint the dialog now, but only when it changed.
    if (Box.ProgressForm->isVisible() && (Box.ProgressForm->Bar()->value() != before ||
                                          Box.ProgressForm->CountText()->text() != beforeText))
        Box.ProgressForm->repaint();
}

int TConfigTransfer::UploadFirmware() {
    const QString file =
        Box.Prompts->AskFile(Box.MainForm(), {Lang(ltFirmwareUpdate), {}, {}, {}, false});
    if (file.isEmpty())
        return -1;
    Box.ProgressForm->ResetProgress();
    Box.ProgressForm->setWindowTitle(Lang(ltFirmwareUpdate));
    Box.ProgressForm->move(Box.DialogPosition());
    Box.ProgressForm->show();
    int result = 0;
    if (SyncLogin(Box.SyncTarget())) {
        const bool sent =
            SendUpdateFile(file.toStdString(), [this](long long total, long long done) {
                ShowTransferProgress(total, done);
            });
        result = sent ? 1 : 0;
    }
    SyncClose();
    Box.ProgressForm->Finish();
    return result;
}
