#pragma once
// "Receive data file" as the user sees it: how many days, where to save, the progress of the
// transfer and the messages of what went wrong. The controller hands in its detector, the
// firmware text and its dialogs; the transfer itself is the toolkit-free download.

#include "channel/velt_winsock.h"

#include <QPoint>

#include <string>

class QWidget;
class TDayPickerForm;
class TProgressForm;
class TUserPrompts;

struct TReceiveDataContext {
    TSyncTarget Target;
    std::string FirmwareVersion; // the text of the last "gv" reply
    QWidget* Owner = nullptr;    // parent of the questions and messages
    QPoint ClientOrigin;         // the main window's client origin on the screen
    TDayPickerForm* DayPicker = nullptr;
    TProgressForm* Progress = nullptr;
    TUserPrompts* Prompts = nullptr;
    TProgressProc ShowProgress; // the controller's progress display
};

// Bytes received and written (> 0), 0 for a failed download, -1 when there is nothing to
// report: a question cancelled, or a failure that showed its own message.
int ReceiveDataFile(const TReceiveDataContext& context);
