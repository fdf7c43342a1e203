#pragma once
// "Receive data file" as the user sees it: how many days, where to save, the progress of the
// transfer and the messages of what went wrong. The controller hands in its detector, the
// firmware text and its dialogs; the transfer itself is the toolkit-free download.

#include "channel/velt_winsock.h"

#include <QPoint>
#include <QPointer>

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

// The download as the controller owns it: its windows are fixed at creation; the detector, its
// firmware and the questions are those of the moment of each download.
class TDataReceiver final {
public:
    TDataReceiver(QWidget* owner, TDayPickerForm* dayPicker, TProgressForm* progress,
                  TProgressProc showProgress);
    ~TDataReceiver();
    TDataReceiver(const TDataReceiver&) = delete;
    TDataReceiver& operator=(const TDataReceiver&) = delete;

    // As ReceiveDataFile; -1 when the windows have gone.
    int Receive(const TSyncTarget& target, const std::string& firmwareVersion,
                const QPoint& clientOrigin, TUserPrompts* prompts) const;

private:
    QPointer<QWidget> Owner;
    QPointer<TDayPickerForm> DayPicker;
    QPointer<TProgressForm> Progress;
    TProgressProc ShowProgress;
};
