// Tab switching and closing by keyboard from anywhere in the settings dialog.
#include "settings/Settings_form.h"
#include "terminal/DialogKeys.h"
#include "terminal/TerminalPage.h"

#include "lang/lang_res.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

using Page = TSettingsForm::TPage;

class DialogKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form.Terminal()->Inform = [](QWidget*, const QString&, QMessageBox::Icon) {};
        Form.show();
    }
    void Press(QWidget* target, int key, Qt::KeyboardModifiers mods) {
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
    }
    void Step(QWidget* focus, bool forward) {
        if (forward)
            Press(focus, Qt::Key_Tab, Qt::ControlModifier);
        else
            Press(focus, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    }
    // Places the focus can be in, on any tab: the label field above the tabs, and an editor of
    // the current page.
    std::vector<QWidget*> Focuses() {
        QWidget* inside = Form.Pages()->currentWidget();
        switch (Form.Pages()->currentIndex()) {
        case Page::pgSystem:
            inside = Form.DatePicker();
            break;
        case Page::pgNetwork:
            inside = Form.NtpList();
            break;
        case Page::pgAdministration:
            inside = Form.TriggerList();
            break;
        case Page::pgTerminal:
            inside = Form.Terminal()->Output();
            break;
        default:
            break;
        }
        return {Form.LabelEdit(), inside};
    }

    TSettingsForm Form;
};

struct SwitchCase {
    const char* Name;
    int From;
    bool Forward;
    int To;
};

class TabSwitch : public DialogKeysTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(TabSwitch, SameStepWhereverTheFocusIs) {
    const SwitchCase& c = GetParam();
    Form.Pages()->setCurrentIndex(c.From);
    for (QWidget* focus : Focuses()) {
        Form.Pages()->setCurrentIndex(c.From);
        Step(focus, c.Forward);
        EXPECT_EQ(Form.Pages()->currentIndex(), c.To) << focus->metaObject()->className();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TabSwitch,
    ::testing::Values(SwitchCase{"forward", Page::pgSystem, true, Page::pgNetwork},
                      SwitchCase{"over_hidden", Page::pgNetwork, true, Page::pgAdministration},
                      SwitchCase{"wraps_to_first", Page::pgTerminal, true, Page::pgSystem},
                      SwitchCase{"back_over_hidden", Page::pgAdministration, false,
                                 Page::pgNetwork},
                      SwitchCase{"back_wraps_to_last", Page::pgSystem, false, Page::pgTerminal}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(DialogKeysTest, EscapeClosesFromEveryPage) {
    for (int page : {Page::pgSystem, Page::pgNetwork, Page::pgAdministration, Page::pgTerminal}) {
        Form.show();
        Form.Pages()->setCurrentIndex(page);
        for (QWidget* focus : Focuses()) {
            Form.show();
            Press(focus, Qt::Key_Escape, Qt::NoModifier);
            EXPECT_FALSE(Form.isVisible()) << page << focus->metaObject()->className();
        }
    }
}

TEST_F(DialogKeysTest, OtherWindowsKeepTheirKeys) {
    QLineEdit elsewhere;
    elsewhere.show();
    Form.Pages()->setCurrentIndex(Page::pgSystem);
    Press(&elsewhere, Qt::Key_Tab, Qt::ControlModifier);
    Press(&elsewhere, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(Form.Pages()->currentIndex(), Page::pgSystem);
    EXPECT_TRUE(Form.isVisible());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SelectLanguage(LangEnglish);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
