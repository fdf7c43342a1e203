// Kervola2: the configuration tool for Zelmont roadside video detectors.
#include "platform/Folders.h"
#include "program/Unit1.h"
#include "recording/videocontrol.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitFolders();
    TForm1 form(app.arguments().mid(1));
    form.SetVideoForm(new TVideoControlForm(&form));
    form.show();
    return app.exec();
}
