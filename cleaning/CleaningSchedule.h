#pragma once
// The cleaning unit's timings and automatic-cleaning settings as the configuration document keeps
// them in its system object, the corrections the dialog applies, the cleaning command and the
// liquid level reported by the detector. No toolkit: the dialog, the controller and the
// command-line tool share it.

#include <array>
#include <string>

class TXMLNode;

// The interval list: item text (UTF-8) and the seconds stored for it.
struct TCleaningInterval {
    const char* Text;
    int Seconds;
};
inline constexpr std::array<TCleaningInterval, 9> CleaningIntervals{{
    {"Авто очистка выкл", 0},
    {"1 минута", 60},
    {"5 минут", 300},
    {"15 минут", 900},
    {"30 минут", 1800},
    {"1 час", 3600},
    {"4 часа", 14400},
    {"12 часов", 43200},
    {"1 день", 86400},
}};

// The sensitivity list: item text and the "cleanthreshold" word stored for it.
struct TCleaningSensitivity {
    const char* Text;
    const char* Word;
};
inline constexpr std::array<TCleaningSensitivity, 3> CleaningSensitivities{{
    {"Низкая", "low"},
    {"Нормальная", "normal"},
    {"Высокая", "high"},
}};

constexpr int CleaningTimingCount = 4;
constexpr int CleaningTimingMax = 30;

// What the dialog shows. A list index of -1 means nothing is selected.
struct TCleaningValues {
    // Pump start delay, brush start delay, pump run time, brush run time: the edits' texts.
    std::array<std::string, CleaningTimingCount> Timings{"0", "2", "4", "6"};
    int IntervalIndex = 0;
    int SensitivityIndex = 1;
};

// The whole text as a decimal integer (optional sign, surrounding blanks allowed); false for
// anything else, including values beyond int.
bool CleaningTextToInt(const std::string& text, int& value);

// The interval row for stored seconds: 0 for 0, otherwise the first row whose seconds are not
// exceeded (negative values give row 1, values above a day the last row).
int CleaningIntervalIndex(int seconds);

// A timing edit's text when it is left: the integer clamped to 0..30, "1" when it is none.
std::string CorrectCleaningTiming(const std::string& text);

// Reads the system object of `top` into `values`; nothing changes when top is null or has no
// system object.
void LoadCleaning(const TXMLNode* top, TCleaningValues& values);
// Writes `values` into the system object of `top`, creating missing params; nothing when top is
// null or has no system object.
void StoreCleaning(TXMLNode* top, const TCleaningValues& values);

// "cl a,b,c,d" (without CR LF) from the four timings as they stand.
std::string CleaningCommand(const TCleaningValues& values);

// The state digit of a "gg" reply (its 4th character), -1 when it is missing or not a digit.
int CleaningStateFromReply(const std::string& reply);

// How a level state is shown: 0 high, 1 low, anything else no answer.
struct TCleaningLevel {
    const char* Text; // the dialog's text (UTF-8)
    const char* Word; // for scripts: "high", "low", "unknown"
    int Position;     // bar position 0..100
    bool Red;         // bar colour red, else blue
};
TCleaningLevel CleaningLevel(int state);
