// Not a test: shows the "Changes" view or the "History" dialog against a running simulator, for a
// look by eye or a screenshot under a virtual X server:
//   zelmont-sim --port 0 &   (note the port)
//   xvfb-run -s "-screen 0 1280x1024x24" sh -c
//     'safeconfig_harness PORT changes & sleep 8; import -window root changes.png; wait'
// The history goes to $KERVOLA_DATA_DIR/history. The program runs for 20 seconds.
#include "../program/qt_wait.h"
#include "../program/threads_at_exit.h"
#include "addressbook/Connection_manager.h"
#include "dialogs/SendingForm.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "program/Unit1.h"
#include "program/zelmont_box.h"
#include "safeconfig/HistoryForm.h"
#include "safeconfig/SafeConfig.h"

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: safeconfig_harness PORT changes|history [en]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const QString view = argv[2];
    InitFolders();
    TConnect_manager::MessageHook = [](const QString&) {}; // no hosts.ini question at start
    SelectLanguage(argc > 3 ? LangEnglish : LangRussian);
    TForm1 form;
    form.resize(900, 700);
    form.move(0, 0);
    form.show();
    TZelmont_box* box = form.Controller();
    box->OpenConnection("127.0.0.1", port, true, "kvtp", "root");
    if (!WaitUntil([&] { return box->ConnectionState == csReady && box->Count() >= 3; }, 5000)) {
        std::fprintf(stderr, "no configuration from the simulator\n");
        return 1;
    }
    auto upload = [&] {
        box->AskConfigUpload();
        box->SendingForm->OkButton()->click();
        WaitUntil([&] { return box->SendingForm->TextLine()->text() != Lang(ltSendInProgress); });
    };
    // Two uploads, so that the history holds read and sent files.
    box->SelectedIndex = box->Count() - 1;
    box->DeleteSelected();
    upload();
    box->SelectedIndex = 0;
    box->MouseWheel(240, Qt::NoModifier, Qt::NoButton);
    box->Config->ReadSensors(*box);
    box->Config->TopNode->GetNode(0)->GetNode(1)->Params.SetParam("val", "600");
    upload();
    // And a change not uploaded yet: a rotated zone, a new one.
    box->LastPoint = {300, 400};
    box->SelectedIndex = 1;
    box->AddSensorById("7");
    box->Config->TopNode->GetNode(0)->GetNode(2)->Params.SetParam("val", "85");
    box->PaintView();

    if (view == "changes") {
        box->AskConfigUpload();
        box->SendingForm->ChangesButton()->click();
        box->SafeConfig->ChangesForm()->move(140, 160);
    } else {
        for (QAction* a : box->BuildMainMenu(-1)->actions())
            if (a->data().toInt() == static_cast<int>(TMenuCommand::History))
                a->trigger();
        THistoryForm* history = box->SafeConfig->HistoryForm();
        history->move(120, 200);
        history->Table()->selectRow(1);
        history->DiffButton()->click();
        history->Viewer()->move(300, 460);
    }
    QTimer::singleShot(20000, &app, &QApplication::quit);
    return app.exec();
}
