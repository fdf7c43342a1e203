// The controller's binding of the traffic-data download.
#include "program/zelmont_box.h"

#include "lang/lang_res.h"
#include "program/Prompts.h"

int TZelmont_box::ReceiveDataFile() {
    Prompts->Inform(MainForm(), "KERVOLA", Lang(ltNotAvailableYet), QMessageBox::Information);
    return -1;
}
