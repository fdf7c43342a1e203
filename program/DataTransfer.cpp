// The controller's binding of the traffic-data download.
#include "program/zelmont_box.h"

#include "data/ReceiveDataFile.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/Prompts.h"

int TZelmont_box::ReceiveDataFile() {
    // A picture or configuration body on its way still means a logged-in connection.
    if (ConnectionState < csReady || !DayPickerForm || !ProgressForm)
        return -1;
    TReceiveDataContext context;
    context.Target = SyncTarget();
    context.FirmwareVersion = FirmwareVersion;
    context.Owner = MainForm();
    context.ClientOrigin = DialogPosition(0);
    context.DayPicker = DayPickerForm;
    context.Progress = ProgressForm;
    context.Prompts = Prompts.get();
    context.ShowProgress = [this](long long total, long long done) {
        ShowTransferProgress(total, done);
    };
    return ::ReceiveDataFile(context);
}
