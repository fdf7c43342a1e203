#pragma once
// What the settings dialog shows, as plain values, and how they map to the configuration
// document. The dialog binds its controls to these; the command line uses them directly.

#include <optional>
#include <string>
#include <vector>

class TXMLNode;

inline constexpr const char* DefaultClasses = "2,0 3,0 5,5 8,0 12,5 18,75";
inline constexpr int QualityMin = 10;
inline constexpr int QualityMax = 90;

struct TSettingsValues {
    std::string Label; // UTF-8
    std::string DataInterval;
    // The slider's position and its number display, which follows only the slider's changes.
    int JpegQuality = QualityMin;
    std::string QualityDisplay = "0";
    bool Miles = false;
    std::string TcpPort;
    std::string Login;
    std::string Password;
    std::string Backup;
    std::string Classes;
    std::string Device;
    int ResolutionIndex = -1; // -1: no selection
    int JpegRateIndex = -1;
    int SerialPortIndex = -1; // 0..3 for the four device names, else SerialPortText as typed
    std::string SerialPortText;
    std::string SerialAddress;
    std::string SerialBaudrate;
    std::string SerialProto;
    std::vector<std::string> Triggers; // the list's lines, empty ones included

    // Moves the slider as the toolkit's slider does: clamped to its range, and the display
    // changes only when the position does.
    void SetQuality(int position);
};

void LoadFromDocument(TSettingsValues& values, const TXMLNode* top);
void StoreToDocument(const TSettingsValues& values, TXMLNode* top);

// Combo-box items of the document words.
int ResolutionIndexOf(const std::string& word);
int JpegRateIndexOf(const std::string& word);
std::string ResolutionWord(int index);
std::string JpegRateWord(int index);
extern const char* const SerialDevices[4];

// The vehicle-class check: empty when the text passes, else the error text; `text` then holds
// the default class list.
std::string CheckClasses(std::string& text);

// What a control's value is, for readers that keep types (the command line's JSON): the text the
// document stores, a whole number the dialog takes as typed, or miles' 0/1.
enum class TSettingKind { Text, WholeNumber, Flag };

struct TSettingsRow {
    const char* Key; // "label", ..., "serial.proto"
    TSettingKind Kind;
    std::optional<std::string> Value; // nullopt when the document holds no such param
};

// One row per control of a document, in the command line's order.
std::vector<TSettingsRow> SettingsRows(const TXMLNode* top);
// The texts of the trigger list, in order.
std::vector<std::string> SettingsTriggers(const TXMLNode* top);
// One `key=value` line per control of a document the dialog has stored into, in the command
// line's order, each with the value stored for it (empty when missing); the trigger lines last.
std::string SettingsListing(const TXMLNode* top);
// Applies one `--set KEY=VALUE`; empty on success, else the reason it was refused.
// Triggers are replaced by the caller, which collects every trigger= value in order.
std::string ApplySetting(TSettingsValues& values, const std::string& key, const std::string& value);
