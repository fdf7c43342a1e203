#include "lang/lang_res.h"

#include <array>

namespace {

struct TLangPair {
    const char* English;
    const char* Russian;
};

// The maker lines of the About text are ours; the title lines and the closing "Version: " are
// fixed, and the About box appends the program version to the latter.
constexpr const char* AboutEnglish = "\"ZELMONT\" Video detector's settings utility  \r\n\r\n"
                                     "Dornbeck Traffic Systems\r\n\r\n"
                                     "Web: www.dornbeck.example\r\n\r\n"
                                     "E-mail: support@dornbeck.example\r\n\r\n"
                                     "Version: ";
constexpr const char* AboutRussian = "Программа настройки детекторов серии \"ZELMONT\"  \r\n\r\n"
                                     "Компания Dornbeck Traffic Systems\r\n\r\n"
                                     "Сайт: www.dornbeck.example\r\n\r\n"
                                     "Эл. почта: support@dornbeck.example\r\n\r\n"
                                     "Версия: ";

// In table order; index 0 is entry 1.
constexpr std::array<TLangPair, LangTableSize> Table{{
    {AboutEnglish, AboutRussian},
    {"Firmware version: ", "Версия кода детектора: "},
    {"New config", "Новая конфигурация"},
    {"Warning! Current config will be lost.\r\n\r\nPlease confirm new config creation.",
     "Внимание! Текущая конфигурация будет замещена.\r\n\r\nСоздать новую конфигурацию?"},
    {"Create sensor", "Создать сенсор"},
    {"Change Id", "Изменить идентификатор"},
    {"Delete sensor", "Удалить сенсор"},
    {"Copy", "Копировать"},
    {"Paste", "Вставить"},
    {"Edit mode", "Режим редактирования"},
    {"Enable video", "Включить видео"}, // 11
    {"Refresh picture", "Обновить кадр"},
    {"Settings...", "Настройки..."},
    {"Help", "Справка"},
    {"About", "О программе"},
    {"Connection", "Подключение"},
    {"Cleaning", "Очистка"},
    {"Connect", "Подключиться"},
    {"Disconnect", "Отключиться"},
    {"OK", "OK"},
    {"Cancel", "Отмена"}, // 21
    {"Ready", "Готово"},
    {"Settings", "Настройка"},
    {"Load config", "Загрузка конфигурации"},
    {"Upload config into detector?", "Загрузить конфигурацию в детектор?"},
    {"Send in progress...", "Передача файла..."},
    {"Config is uploaded successfully. Bytes sent: ",
     "Конфигурация успешно загружена. Передано байт: "},
    {"ERROR: Cannot upload config", "ОШИБКА: Не удалось загрузить конфигурацию"},
    {"Input Id", "Введите идентификатор"},
    {"Sensor", "Сенсор"},
    {"Save config to file", "Сохранение конфигурации"}, // 31
    {"Load config from file", "Загрузка конфигурации"},
    {"Save video frame to file", "Сохранение видео кадра"},
    {"Load video frame from file", "Загрузка видео кадра"},
    {"Add detector", "Добавить детектор"},
    {"Delete detector", "Удалить детектор"},
    {"Detector's label", "Описание детектора"},
    {"IP Address", "IP Адрес"},
    {"TCP port", "TCP порт"},
    {"Login", "Логин"},
    {"Password", "Пароль"}, // 41
    {"Close", "Закрыть"},
    {"Load current config", "Загрузить конфигурацию"},
    {"<Right click for main menu access>", "<Главное меню - правый клик>"},
    {"No connection", "Подключение не установлено"},
    {"Connection in progress...", "Подключение..."},
    {"fps", "Кадров/сек"},
    {"Settings", "Настройки"},
    {"System", "Системные"},
    {"Network", "Сетевые"},
    {"Async port", "COM-порт"}, // 51
    {"Administration", "Администрирование"},
    {"Request current time", "Запросить текущее время"},
    {"Set time", "Установить время"},
    {"Data acquisition interval (sec)", "Интервал сбора данных (сек)"},
    {"JPEG quality (compression)", "JPEG качество (компрессия)"},
    {"JPEG frame rate", "JPEG частота кадров"},
    {"Video port", "Видео порт"},
    {"Video resolution", "Разрешение видео"},
    {"Backup interval (sec)", "Интервал бэкап (сек)"},
    {"Classes by length (m)", "Настройка классов по длине (м)"}, // 61
    {"Convert km/h to miles/h (Async port only)", "Преобразовывать [км/ч] в [мили/час]"},
    {"View config as XML text", "Просмотр конфигурации в виде XML текста"},
    {"320 x 240 p", "320 x 240 p"},
    {"352 x 288 p", "352 x 288 p"},
    {"640 x 480 p", "640 x 480 p"},
    {"720 x 576 p", "720 x 576 p"},
    {"6 fps", "6 к/сек."},
    {"12 fps", "12 к/сек."},
    {"25 fps", "25 к/сек."},
    // Begins with a Latin "C" that looks like the Cyrillic one; kept as the texts were shipped.
    {"PC time", "Cистемное время"}, // 71
    {"IP address", "IP адрес"},
    {"Net mask", "Маска подсети"},
    {"Gateway", "Шлюз"},
    {"Port", "Порт"},
    {"Change Login", "Сменить Логин"},
    {"Change Password", "Сменить Пароль"},
    {"DNS", "DNS"},
    {"Auto", "Авто"},
    {"Apply", "Применить"},
    {"Warning! Please be careful with network settings. \r\nIn case of wrong network settings the "
     "connection will be impossible. \r\n\r\nIt is necessary to upload/save all settings "
     "before.\r\n\r\nNow new network settings is going to be applied. Are you sure?",
     "Предупреждение! Будьте внимательны при введении сетевых настроек. \r\nПри введении "
     "ошибочных настроек соединение с детектором будет невозможно. \r\n\r\nНеобходимо сохранить "
     "или применить все настройки конфигурации до этого действия.\r\n\r\nУстановить новые "
     "сетевые настройки?"}, // 81
    {"Incorrect network settings ", "Введены ошибочные сетевые настройки "},
    {"Please wait for one minute", "Адрес будет изменен в течение одной минуты "},
    {"Ask for current settings", "Загрузить текущие значения"},
    {"Port", "Порт"},
    {"Address", "Адрес"},
    {"Baud rate", "Скорость обмена"},
    {"Protocol", "Протокол"},
    {"Firmware update", "Обновление ПО"},
    {"Receive data file", "Получение данных"},
    {"Fast reboot", "Быстрая перезагрузка"}, // 91
    {"Complete reboot", "Полная перезагрузка"},
    {"Delete buffered data", "Удаление данных детектора"},
    {"Logic triggers", "Логические триггеры"},
    {"About triggers", "Справка о триггерах"},
    {"The connection will be terminated.\r\n\r\nPlease wait for a few sec before "
     "reconnect.\r\n\r\nConfirm fast reboot?",
     "При перезагрузке соединение прервется.\r\n\r\nДетектор будет недоступен несколько "
     "секунд.\r\n\r\nВыполнить быструю перезагрузку?"},
    {"The connection will be terminated.\r\n\r\nPlease wait for a minute before "
     "reconnect.\r\n\r\nConfirm complete reboot?",
     "При перезагрузке соединение прервется.\r\n\r\nДетектор будет недоступен около "
     "минуты.\r\n\r\nВыполнить полную перезагрузку?"},
    {"File uploaded successfully", "Файл передан успешно"},
    {"File downloaded successfully", "Файл загружен успешно"},
    {"File upload error", "Ошибка передачи файла"},
    {"File download error", "Ошибка загрузки файла"}, // 101
    {"Confirm close?", "Завершить работу с программой?"},
    {"Warning! All data will be lost! Confirm?", "Внимание! Все данные будут удалены! Продолжить?"},
    {"Select connection for autoconnect.", "Выбор автоматического подключения."},
    {"Select number of days:", "Количество дней:"},
    {"All data available", "Все имеющиеся данные"}, // 106

    // Settings dialog: how far the detector's clock is from the PC's.
    {"Detector clock: %1 behind the PC", "Часы детектора отстают от ПК на %1"},
    {"Detector clock: %1 ahead of the PC", "Часы детектора спешат относительно ПК на %1"},
    {"Detector clock: same as the PC", "Часы детектора совпадают с часами ПК"},
    {"s", "с"},
    {"min", "мин"},
    {"Not available yet", "Пока недоступно"},
    {"Another configuration was loaded while the settings were open. Nothing was stored; the "
     "settings of the current configuration are shown now.",
     "Пока были открыты настройки, загружена другая конфигурация. Ничего не сохранено; теперь "
     "показаны настройки текущей конфигурации."},
    // Settings dialog and address book: the field is named by its caption.
    {"The field \"%1\" holds both ' and \" quotes and cannot be stored. Remove one kind of quote.",
     "Поле \"%1\" содержит кавычки обоих видов (' и \") и не может быть сохранено. Уберите "
     "кавычки одного вида."},
    // Data download

    // Cleaning

    // Recording
    {"Time stamp", "Метка времени"},
    {"Cannot record: the codec %1 does not take a picture of %2 x %3 pixels.",
     "Запись невозможна: кодек %1 не принимает изображение %2 x %3 точек."},
    {"Cannot record: the file %1 cannot be created.",
     "Запись невозможна: не удаётся создать файл %1."},
    {"Cannot record: no memory for a picture of %1 x %2 pixels.",
     "Запись невозможна: нет памяти для изображения %1 x %2 точек."},
    {"Recording stopped: the file %1 cannot be written.",
     "Запись остановлена: не удаётся записать файл %1."},
    {"Repeats of the previous frame: %1 of %2 (the computer could not record these frames in "
     "time).",
     "Повторы предыдущего кадра: %1 из %2 (компьютер не успел записать эти кадры вовремя)."},

    // Terminal

    // Safe configuration work
    {"History...", "История..."},
    {"Export zones...", "Экспорт зон..."},
    {"Import zones...", "Импорт зон..."},
    {"Changes...", "Изменения..."},
    {"Changes", "Изменения"},
    {"No earlier configuration of this detector is known.",
     "Предыдущая конфигурация этого детектора неизвестна."},
    {"No changes.", "Изменений нет."},
    {"From the document in the editor to the configuration %1 at %2",
     "От документа в редакторе к конфигурации (%1) от %2"},
    {"From the configuration last read from or accepted by %1 to the document to be sent",
     "От конфигурации, последней прочитанной из %1 или принятой им, к отправляемому документу"},
    {"History", "История"},
    {"Time", "Время"},
    {"Kind", "Вид"},
    {"Size", "Размер"},
    {"Sensors", "Датчики"},
    {"read", "прочитана"},
    {"sent", "загружена"},
    {"Show", "Показать"},
    {"Difference", "Отличия"},
    {"Load into editor", "Загрузить в редактор"},
    {"No configurations of this detector are kept yet.",
     "Конфигурации этого детектора ещё не сохранялись."},
    {"History not written:", "История не записана:"},
    {"Zones files (*.xml *.XML)", "Файлы зон (*.xml *.XML)"},
    {"The zones file does not parse; nothing was changed.",
     "Файл зон не читается; ничего не изменено."},
    {"The zones file holds no sensor; nothing was changed.",
     "В файле зон нет датчиков; ничего не изменено."},
    {"The zones file could not be written:", "Не удалось записать файл зон:"},
    {"ERROR: The detector did not confirm the upload within 10 seconds",
     "ОШИБКА: Детектор не подтвердил загрузку за 10 секунд"},
    {"ERROR: The connection closed before the detector confirmed the upload",
     "ОШИБКА: Соединение закрылось до подтверждения загрузки детектором"},
    {"The picture could not be saved to %1:", "Не удалось сохранить кадр в %1:"},
    {"The picture could not be loaded from %1:", "Не удалось загрузить кадр из %1:"},
    {"only .jpg, .jpeg and .bmp files hold pictures.",
     "кадры хранятся только в файлах .jpg, .jpeg и .bmp."},
    {"the file is not a picture that can be read.", "файл не является читаемым изображением."},
    {"the picture is larger than 8192 pixels.", "изображение больше 8192 точек."},
    // The count check.
    {"Count check...", "Проверка счёта..."},
    {"Count check", "Проверка счёта"},
    {"Zone", "Зона"},
    {"Detector", "Детектор"},
    {"Hand", "Вручную"},
    {"Matched", "Совпало"},
    {"Missed", "Пропущено"},
    {"False", "Ложных"},
    {"Error %", "Ошибка %"},
    {"Total", "Итого"},
    {"Start", "Старт"},
    {"Stop", "Стоп"},
    {"Reset", "Сброс"},
    {"Save...", "Сохранить..."},
    {"Save count check", "Сохранить проверку счёта"},
    {"CSV files (*.csv *.CSV)", "Файлы CSV (*.csv *.CSV)"},
    {"The count check could not be written to %1:", "Не удалось записать проверку счёта в %1:"},
    {"Keys 1-9 or the middle button on a zone: a vehicle passed it.",
     "Клавиши 1-9 или средняя кнопка на зоне: машина прошла её."},

    // Zone editor precision
    {"Zone coordinates...", "Координаты зоны..."},
    {"Zone coordinates", "Координаты зоны"},
    {"Corner", "Угол"},
    {"X (0..1)", "X (0..1)"},
    {"Y (0..1)", "Y (0..1)"},
    {"X, pixels", "X, точки"},
    {"Y, pixels", "Y, точки"},
    {"Pixels of the picture %1 x %2", "Точки кадра %1 x %2"},
    {"The mark (chevron and id) is on edge P0-P1.",
     "Метка (стрелка и номер) стоит на стороне P0-P1."},
    {"The zone is refused: it is not convex (its corners must go round it in order, without "
     "crossing).",
     "Зона не принята: она не выпуклая (углы должны идти по кругу по порядку, без "
     "пересечений)."},
    {"The zone is refused: a side or a diagonal is 10 pixels or shorter on the screen.",
     "Зона не принята: сторона или диагональ не длиннее 10 точек на экране."},
    {"The zone is refused: it is too flat (its diagonals are almost parallel).",
     "Зона не принята: она слишком плоская (диагонали почти параллельны)."},

}};

std::array<std::string, LangTableSize>& Entries() {
    static std::array<std::string, LangTableSize> entries;
    return entries;
}

} // namespace

void SelectLanguage(int language) {
    if (language != LangRussian && language != LangEnglish)
        return;
    auto& entries = Entries();
    for (int i = 0; i < LangTableSize; ++i)
        entries[i] = language == LangRussian ? Table[i].Russian : Table[i].English;
}

const std::string& LangText(int n) {
    static const std::string empty;
    if (n < 1 || n > LangTableSize)
        return empty;
    return Entries()[n - 1];
}

QString Lang(int n) {
    return QString::fromStdString(LangText(n));
}
