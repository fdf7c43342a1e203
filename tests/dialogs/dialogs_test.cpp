#include "dialogs/SendingForm.h"
#include "dialogs/SensorIdForm.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/show_text_form.h"
#include "lang/lang_res.h"
#include "../program/threads_at_exit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

struct TIdCase {
    const char* Name;
    const char* Text;
    bool Accepted;
};

class SensorIdRule : public ::testing::TestWithParam<TIdCase> {};

TEST_P(SensorIdRule, OkEnabledOnlyForFreeNonZeroIntegers) {
    const TIdCase& c = GetParam();
    TSensorIdForm form;
    form.SetIds({"1", "3", "12"});
    form.IdEdit()->setText(QString::fromUtf8(c.Text));
    EXPECT_EQ(form.OkButton()->isEnabled(), c.Accepted);
    EXPECT_EQ(TSensorIdForm::IsAcceptableId(QString::fromUtf8(c.Text), form.Ids()), c.Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SensorIdRule,
    ::testing::Values(TIdCase{"Taken", "3", false}, TIdCase{"Zero", "0", false},
                      TIdCase{"Empty", "", false}, TIdCase{"NotANumber", "abc", false},
                      TIdCase{"Trailing", "4x", false}, TIdCase{"Blank", " 4", false},
                      TIdCase{"Free", "4", true}, TIdCase{"LeadingZeroIsNewText", "03", true},
                      TIdCase{"Negative", "-2", true}, TIdCase{"TooLarge", "99999999999", false},
                      TIdCase{"MinusZero", "-0", false}),
    [](const auto& info) { return info.param.Name; });

TEST(SensorIdForm, ListChangeReevaluatesOk) {
    TSensorIdForm form;
    form.IdEdit()->setText("3");
    EXPECT_TRUE(form.OkButton()->isEnabled());
    form.SetIds({"3"});
    EXPECT_FALSE(form.OkButton()->isEnabled());
    form.IdEdit()->setText("5");
    EXPECT_TRUE(form.OkButton()->isEnabled());
}

TEST(SensorIdForm, OkAndCancelResults) {
    TSensorIdForm form;
    form.IdEdit()->setText("7");
    QTimer::singleShot(0, form.OkButton(), &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    QTimer::singleShot(0, form.CancelButton(), &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

TEST(ProgressForm, ByteCountText) {
    const std::pair<qint64, const char*> rows[] = {{0, "0 Bytes"},     {1023, "1023 Bytes"},
                                                   {1024, "1 kBytes"}, {2047, "1 kBytes"},
                                                   {2048, "2 kBytes"}, {5000000, "4882 kBytes"}};
    for (const auto& [done, text] : rows)
        EXPECT_EQ(TProgressForm::ByteCountText(done), QString::fromLatin1(text)) << done;
}

TEST(ProgressForm, BarTextAndOkVisibility) {
    TProgressForm form;
    form.Finish();
    form.show();
    EXPECT_FALSE(form.OkButton()->isVisible()) << "Ok is hidden every time the dialog is shown";
    form.SetProgress(512, 2048);
    EXPECT_EQ(form.Bar()->value(), 25);
    EXPECT_EQ(form.CountText()->text(), "512 Bytes");
    form.SetProgress(10, 0); // an unknown total must not divide by zero
    EXPECT_EQ(form.Bar()->value(), 25);
    form.SetProgress(2048, 2048);
    EXPECT_EQ(form.Bar()->value(), 100);
    form.Finish();
    EXPECT_TRUE(form.OkButton()->isVisible());
    form.OkButton()->click();
    EXPECT_FALSE(form.isVisible());
    form.ResetProgress();
    form.show();
    EXPECT_EQ(form.Bar()->value(), 0);
    EXPECT_FALSE(form.OkButton()->isVisible());
}

TEST(DayPickerForm, AlwaysOpensOnAllDataWithCurrentTexts) {
    SelectLanguage(LangRussian);
    TDayPickerForm form;
    QStringList items;
    form.show();
    for (int i = 0; i < form.DaysBox()->count(); ++i)
        items << form.DaysBox()->itemText(i);
    EXPECT_EQ(items,
              QStringList({"Все имеющиеся данные", "1", "3", "5", "10", "15", "30", "60", "90"}));
    EXPECT_EQ(form.DaysLabel()->text(), "Количество дней:");
    EXPECT_EQ(form.CancelButton()->text(), "Отмена");

    form.DaysBox()->setCurrentIndex(4);
    EXPECT_EQ(form.DaysText(), "10");
    form.hide();
    SelectLanguage(LangEnglish);
    form.show();
    EXPECT_EQ(form.DaysBox()->currentIndex(), 0);
    EXPECT_EQ(form.DaysText(), "All data available");
    EXPECT_EQ(form.OkButton()->text(), "OK");

    form.DaysBox()->setEditText("7");
    EXPECT_EQ(form.DaysText(), "7") << "any typed number is read back";
}

TEST(AuxiliaryForms, StayOnTopWithFixedGeometry) {
    TSendingForm sending;
    TSensorIdForm sensorId;
    TProgressForm progress;
    TShowTextForm text;
    TDayPickerForm days;
    const std::pair<QWidget*, QSize> forms[] = {{&sending, {497, 142}},
                                                {&sensorId, {347, 155}},
                                                {&progress, {494, 157}},
                                                {&text, {724, 574}},
                                                {&days, {264, 165}}};
    for (const auto& [form, size] : forms) {
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint)
            << form->metaObject()->className();
        EXPECT_EQ(form->size(), size) << form->metaObject()->className();
    }
    EXPECT_EQ(text.windowTitle(), "XML");
    EXPECT_EQ(sending.TextLine()->text(), "Sending...");
}

TEST(SendingForm, OkIsOnlyAnEventAndCancelCloses) {
    TSendingForm form;
    QSignalSpy ok(&form, &TSendingForm::okClicked);
    form.show();
    form.OkButton()->click();
    EXPECT_EQ(ok.count(), 1);
    EXPECT_TRUE(form.isVisible());
    form.CancelButton()->click();
    EXPECT_FALSE(form.isVisible());
}

TEST(ShowTextForm, ReadOnlyText) {
    TShowTextForm form;
    form.SetText("<message>\r\n</message>");
    EXPECT_TRUE(form.Viewer()->isReadOnly());
    EXPECT_TRUE(form.Text().startsWith("<message>"));
}

int main(int argc, char** argv) {
    // Headless also when ctest lists the tests, which runs us without the test's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
