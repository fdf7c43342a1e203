#pragma once
// The start of every test program that builds the program's windows: headless unless a display
// is asked for (test discovery runs the binary outside ctest's environment), a data and document
// folder of its own, no modal box for the missing address book, and the tests' language.

#include "addressbook/Connection_manager.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "threads_at_exit.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline int RunProgramTests(int argc, char** argv, int language) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    TConnect_manager::MessageHook = [](const QString&) {};
    QTemporaryDir data;
    qputenv("KERVOLA_DATA_DIR", data.path().toUtf8());
    qputenv("KERVOLA_DOC_DIR", (data.path() + "/doc").toUtf8());
    InitFolders();
    SelectLanguage(language);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
