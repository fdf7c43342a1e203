#include "cleaning/CleaningSchedule.h"

#include "config/GXmlUtils.h"
#include "platform/TextHelpers.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

TXMLNode* SystemObject(const TXMLNode* top) {
    if (!top)
        return nullptr;
    const int i = top->FindChildByParam("type", "system");
    return i < 0 ? nullptr : top->GetNode(i);
}

// The param of that name in the system object, nullptr when there is none.
TXMLNode* FindParam(const TXMLNode& system, const std::string& name) {
    const int i = system.FindChildByParam("name", name);
    return i < 0 ? nullptr : system.GetNode(i);
}

void SetParam(TXMLNode& system, const std::string& name, const std::string& type,
              const std::string& val) {
    if (TXMLNode* param = FindParam(system, name)) {
        param->Params.SetParam("val", val);
        return;
    }
    TXMLNode* param = system.AddChild("param");
    if (!param)
        return; // the document is at its depth limit: nothing can be added there
    param->Params.SetParam("name", name);
    param->Params.SetParam("type", type);
    param->Params.SetParam("val", val);
}

} // namespace

bool CleaningTextToInt(const std::string& text, int& value) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    const size_t last = text.find_last_not_of(' ');
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    int v = 0;
    const auto [stop, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || stop != end)
        return false;
    value = v;
    return true;
}

int CleaningIntervalIndex(int seconds) {
    if (seconds == 0)
        return 0;
    for (size_t i = 1; i < CleaningIntervals.size(); ++i)
        if (seconds <= CleaningIntervals[i].Seconds)
            return static_cast<int>(i);
    return static_cast<int>(CleaningIntervals.size()) - 1;
}

std::string CorrectCleaningTiming(const std::string& text) {
    int value = 0;
    if (!CleaningTextToInt(text, value))
        value = 1;
    return std::to_string(std::clamp(value, 0, CleaningTimingMax));
}

void LoadCleaning(const TXMLNode* top, TCleaningValues& values) {
    const TXMLNode* system = SystemObject(top);
    if (!system)
        return;

    values.IntervalIndex = 0;
    if (const TXMLNode* param = FindParam(*system, "cleaninterval")) {
        int seconds = 0;
        if (!CleaningTextToInt(param->Params.GetParam("val"), seconds))
            seconds = 0;
        values.IntervalIndex = CleaningIntervalIndex(seconds);
    }

    values.SensitivityIndex = 1;
    if (const TXMLNode* param = FindParam(*system, "cleanthreshold")) {
        const std::string word = param->Params.GetParam("val");
        values.SensitivityIndex = word == "low" ? 0 : word == "high" ? 2 : 1;
    }

    const TXMLNode* timer = FindParam(*system, "cleantimer");
    if (!timer) {
        values.Timings = TCleaningValues{}.Timings;
        return;
    }
    const std::vector<std::string> items = SplitWords(timer->Params.GetParam("val"), " ,");
    for (int i = 0; i < CleaningTimingCount; ++i)
        values.Timings[static_cast<size_t>(i)] =
            items.size() == CleaningTimingCount ? items[static_cast<size_t>(i)] : std::string();
}

void StoreCleaning(TXMLNode* top, const TCleaningValues& values) {
    TXMLNode* system = SystemObject(top);
    if (!system)
        return;
    const int interval = values.IntervalIndex;
    const int seconds = interval >= 0 && interval < static_cast<int>(CleaningIntervals.size())
                            ? CleaningIntervals[static_cast<size_t>(interval)].Seconds
                            : 0;
    SetParam(*system, "cleaninterval", "int", std::to_string(seconds));

    const int sensitivity = values.SensitivityIndex;
    const char* word =
        sensitivity >= 0 && sensitivity < static_cast<int>(CleaningSensitivities.size())
            ? CleaningSensitivities[static_cast<size_t>(sensitivity)].Word
            : "normal";
    SetParam(*system, "cleanthreshold", "string", word);

    const auto& t = values.Timings;
    SetParam(*system, "cleantimer", "set", t[0] + " " + t[1] + " " + t[2] + " " + t[3]);
}

std::string CleaningCommand(const TCleaningValues& values) {
    const auto& t = values.Timings;
    return "cl " + t[0] + "," + t[1] + "," + t[2] + "," + t[3];
}

int CleaningStateFromReply(const std::string& reply) {
    if (reply.size() < 4 || reply[3] < '0' || reply[3] > '9')
        return -1;
    return reply[3] - '0';
}

TCleaningLevel CleaningLevel(int state) {
    switch (state) {
    case 0:
        return {"Высокий", "high", 100, false};
    case 1:
        return {"Низкий", "low", 10, true};
    default:
        return {"Не подключено", "unknown", 0, false};
    }
}
