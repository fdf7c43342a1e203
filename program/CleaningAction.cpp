// The controller's binding of the cleaning dialog.
#include "program/zelmont_box.h"

#include "lang/lang_res.h"
#include "program/Prompts.h"

void TZelmont_box::ShowCleaning() {
    Prompts->Inform(MainForm(), "KERVOLA", Lang(ltNotAvailableYet), QMessageBox::Information);
}
