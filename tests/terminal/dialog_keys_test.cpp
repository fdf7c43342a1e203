// Tab switching and closing by keyboard from anywhere in a tabbed dialog.
#include "terminal/DialogKeys.h"

#include "../program/qt_wait.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// The settings dialog's shape: a label field above five tabs, the third of them hidden.
class Dialog {
public:
    Dialog() {
        auto* layout = new QVBoxLayout(&Window);
        Label = new QLineEdit(&Window);
        Pages = new QTabWidget(&Window);
        layout->addWidget(Label);
        layout->addWidget(Pages);
        Edit = new QLineEdit;
        Pages->addTab(Edit, "System");
        Combo = new QComboBox;
        Combo->setEditable(true);
        Combo->addItems({"a", "b"});
        Pages->addTab(Combo, "Network");
        Pages->addTab(new QWidget, "Async port");
        Pages->setTabVisible(2, false);
        Pages->addTab(new QWidget, "Administration");
        Output = new QPlainTextEdit;
        Output->setReadOnly(true);
        Pages->addTab(Output, "Terminal");
        new TDialogKeys(&Window, Pages);
        Window.show();
    }
    void Press(QWidget* target, int key, Qt::KeyboardModifiers mods) {
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
    }
    QDialog Window;
    QLineEdit* Label;
    QTabWidget* Pages;
    QLineEdit* Edit;
    QComboBox* Combo;
    QPlainTextEdit* Output;
};

struct SwitchCase {
    const char* Name;
    int From;
    bool Forward;
    int To;
};

class TabSwitch : public ::testing::TestWithParam<SwitchCase> {};

// Every place the focus can be gives the same step; the hidden tab is never landed on.
TEST_P(TabSwitch, FromAnyFocus) {
    const SwitchCase& c = GetParam();
    Dialog d;
    const int key = c.Forward ? Qt::Key_Tab : Qt::Key_Backtab;
    const Qt::KeyboardModifiers mods =
        c.Forward ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier;
    for (QWidget* focus : std::initializer_list<QWidget*>{d.Label, d.Pages}) {
        d.Pages->setCurrentIndex(c.From);
        d.Press(focus, key, mods);
        EXPECT_EQ(d.Pages->currentIndex(), c.To) << focus->metaObject()->className();
    }
    d.Pages->setCurrentIndex(c.From);
    d.Press(d.Pages->currentWidget(), key, mods);
    EXPECT_EQ(d.Pages->currentIndex(), c.To) << "page's own editor";
}

INSTANTIATE_TEST_SUITE_P(Keys, TabSwitch,
                         ::testing::Values(SwitchCase{"forward", 0, true, 1},
                                           SwitchCase{"over_hidden", 1, true, 3},
                                           SwitchCase{"wraps_to_first", 4, true, 0},
                                           SwitchCase{"back_over_hidden", 3, false, 1},
                                           SwitchCase{"back_wraps_to_last", 0, false, 4}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(DialogKeys, EscapeClosesFromEveryEditor) {
    Dialog d;
    for (int page : {0, 1, 4}) {
        d.Window.show();
        d.Pages->setCurrentIndex(page);
        d.Press(d.Pages->currentWidget(), Qt::Key_Escape, Qt::NoModifier);
        EXPECT_FALSE(d.Window.isVisible()) << page;
    }
    d.Window.show();
    d.Press(d.Label, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(d.Window.isVisible());
}

TEST(DialogKeys, OtherWindowsKeepTheirKeys) {
    Dialog d;
    QLineEdit elsewhere;
    elsewhere.show();
    d.Pages->setCurrentIndex(0);
    d.Press(&elsewhere, Qt::Key_Tab, Qt::ControlModifier);
    d.Press(&elsewhere, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(d.Pages->currentIndex(), 0);
    EXPECT_TRUE(d.Window.isVisible());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
