#include "lang/lang_res.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool HasOuterBlank(const std::string& s) {
    return !s.empty() && (s.front() == ' ' || s.back() == ' ');
}

} // namespace

// Must run before any other test selects a language: the table starts empty.
TEST(LangRes, AEmptyBeforeSelectionAndOtherCodesChangeNothing) {
    for (int n = 1; n <= LangTableSize; ++n)
        EXPECT_TRUE(LangText(n).empty()) << n;
    SelectLanguage(2);
    SelectLanguage(-1);
    EXPECT_TRUE(LangText(ltOK).empty());
    SelectLanguage(LangEnglish);
    SelectLanguage(7);
    EXPECT_EQ(LangText(ltCancel), "Cancel");
}

TEST(LangRes, OutOfRangeNumbersAreEmpty) {
    SelectLanguage(LangEnglish);
    EXPECT_TRUE(LangText(0).empty());
    EXPECT_TRUE(LangText(LangTableSize + 1).empty());
    EXPECT_TRUE(Lang(-5).isEmpty());
}

class LangResBoth : public ::testing::TestWithParam<int> {};

TEST_P(LangResBoth, AllEntriesFilledAndOnlyTheKnownOnesCarryOuterBlanks) {
    SelectLanguage(GetParam());
    const bool russian = GetParam() == LangRussian;
    // Entries 2, 27 and 82 end in a blank in both languages, Russian 83 too, and the About text
    // ends with "Version: ".
    std::set<int> blankEnded{ltAbout, ltFirmwareVersion, ltConfigUploaded, ltIncorrectNetwork};
    if (russian)
        blankEnded.insert(ltWaitOneMinute);
    for (int n = 1; n <= LangTableSize; ++n) {
        const std::string& text = LangText(n);
        EXPECT_FALSE(text.empty()) << n;
        EXPECT_EQ(HasOuterBlank(text), blankEnded.count(n) == 1) << n << " '" << text << "'";
    }
}

TEST_P(LangResBoth, DuplicateWordingsStayDistinctEntries) {
    SelectLanguage(GetParam());
    if (GetParam() == LangEnglish) {
        EXPECT_EQ(LangText(23), "Settings");
        EXPECT_EQ(LangText(48), "Settings");
        EXPECT_EQ(LangText(75), "Port");
        EXPECT_EQ(LangText(85), "Port");
    } else {
        EXPECT_EQ(LangText(23), "Настройка");
        EXPECT_EQ(LangText(48), "Настройки");
        EXPECT_EQ(LangText(75), "Порт");
        EXPECT_EQ(LangText(85), "Порт");
        EXPECT_EQ(LangText(24), LangText(32));
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LangResBoth, ::testing::Values(LangRussian, LangEnglish),
                         [](const auto& info) {
                             return info.param == LangRussian ? "Russian" : "English";
                         });

struct TExpected {
    int Entry;
    const char* English;
    const char* Russian; // nullptr: the wording is ours
};

// Every Russian text the design fixes, with its English twin.
const TExpected Fixed[] = {
    {2, "Firmware version: ", "Версия кода детектора: "},
    {3, "New config", "Новая конфигурация"},
    {4, "Warning! Current config will be lost.\r\n\r\nPlease confirm new config creation.",
     "Внимание! Текущая конфигурация будет замещена.\r\n\r\nСоздать новую конфигурацию?"},
    {5, "Create sensor", "Создать сенсор"},
    {6, "Change Id", "Изменить идентификатор"},
    {7, "Delete sensor", "Удалить сенсор"},
    {8, "Copy", "Копировать"},
    {9, "Paste", "Вставить"},
    {10, "Edit mode", "Режим редактирования"},
    {11, "Enable video", "Включить видео"},
    {12, "Refresh picture", "Обновить кадр"},
    {13, "Settings...", "Настройки..."},
    {14, "Help", "Справка"},
    {15, "About", "О программе"},
    {16, "Connection", "Подключение"},
    {17, "Cleaning", "Очистка"},
    {18, "Connect", "Подключиться"},
    {19, "Disconnect", "Отключиться"},
    {20, "OK", "OK"},
    {21, "Cancel", "Отмена"},
    {22, "Ready", "Готово"},
    {24, "Load config", "Загрузка конфигурации"},
    {25, "Upload config into detector?", "Загрузить конфигурацию в детектор?"},
    {26, "Send in progress...", "Передача файла..."},
    {27, "Config is uploaded successfully. Bytes sent: ",
     "Конфигурация успешно загружена. Передано байт: "},
    {28, "ERROR: Cannot upload config", "ОШИБКА: Не удалось загрузить конфигурацию"},
    {29, "Input Id", "Введите идентификатор"},
    {30, "Sensor", "Сенсор"},
    {31, "Save config to file", "Сохранение конфигурации"},
    {32, "Load config from file", "Загрузка конфигурации"},
    {33, "Save video frame to file", "Сохранение видео кадра"},
    {34, "Load video frame from file", "Загрузка видео кадра"},
    {35, "Add detector", "Добавить детектор"},
    {36, "Delete detector", "Удалить детектор"},
    {37, "Detector's label", "Описание детектора"},
    {38, "IP Address", "IP Адрес"},
    {39, "TCP port", "TCP порт"},
    {40, "Login", "Логин"},
    {41, "Password", "Пароль"},
    {42, "Close", "Закрыть"},
    {43, "Load current config", "Загрузить конфигурацию"},
    {44, "<Right click for main menu access>", "<Главное меню - правый клик>"},
    {45, "No connection", "Подключение не установлено"},
    {46, "Connection in progress...", "Подключение..."},
    {47, "fps", "Кадров/сек"},
    {49, "System", "Системные"},
    {51, "Async port", "COM-порт"},
    {55, "Data acquisition interval (sec)", "Интервал сбора данных (сек)"},
    {62, "Convert km/h to miles/h (Async port only)", "Преобразовывать [км/ч] в [мили/час]"},
    {64, "320 x 240 p", "320 x 240 p"},
    {68, "6 fps", "6 к/сек."},
    {69, "12 fps", "12 к/сек."},
    {70, "25 fps", "25 к/сек."},
    {71, "PC time", "Cистемное время"},
    {82, "Incorrect network settings ", "Введены ошибочные сетевые настройки "},
    {83, "Please wait for one minute", "Адрес будет изменен в течение одной минуты "},
    {89, "Firmware update", "Обновление ПО"},
    {90, "Receive data file", "Получение данных"},
    {98, "File uploaded successfully", "Файл передан успешно"},
    {99, "File downloaded successfully", "Файл загружен успешно"},
    {100, "File upload error", "Ошибка передачи файла"},
    {101, "File download error", "Ошибка загрузки файла"},
    {102, "Confirm close?", "Завершить работу с программой?"},
    {103, "Warning! All data will be lost! Confirm?",
     "Внимание! Все данные будут удалены! Продолжить?"},
    {104, "Select connection for autoconnect.", "Выбор автоматического подключения."},
    {105, "Select number of days:", "Количество дней:"},
    {106, "All data available", "Все имеющиеся данные"},
};

class LangResFixed : public ::testing::TestWithParam<TExpected> {};

TEST_P(LangResFixed, ExactWording) {
    const TExpected& e = GetParam();
    SelectLanguage(LangEnglish);
    EXPECT_EQ(LangText(e.Entry), e.English);
    SelectLanguage(LangRussian);
    EXPECT_EQ(LangText(e.Entry), e.Russian);
}

INSTANTIATE_TEST_SUITE_P(Table, LangResFixed, ::testing::ValuesIn(Fixed), [](const auto& info) {
    return "entry" + std::to_string(info.param.Entry);
});

TEST(LangRes, AboutTextFrame) {
    SelectLanguage(LangEnglish);
    const std::string en = LangText(ltAbout);
    EXPECT_EQ(en.rfind("\"ZELMONT\" Video detector's settings utility  \r\n\r\n", 0), 0u);
    EXPECT_TRUE(EndsWith(en, "\r\n\r\nVersion: "));
    SelectLanguage(LangRussian);
    const std::string ru = LangText(ltAbout);
    EXPECT_EQ(ru.rfind("Программа настройки детекторов серии \"ZELMONT\"  \r\n\r\n", 0), 0u);
    EXPECT_TRUE(EndsWith(ru, "\r\n\r\nВерсия: "));
}

TEST(LangRes, RuntimeSwitchAndQStringView) {
    SelectLanguage(LangRussian);
    EXPECT_EQ(Lang(ltCancel), QStringLiteral("Отмена"));
    SelectLanguage(LangEnglish);
    EXPECT_EQ(Lang(ltCancel), QStringLiteral("Cancel"));
}
