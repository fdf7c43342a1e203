// Recording of a detector's live picture into an AVI file from the command line: the pictures
// arrive as they do in the program's live view, are drawn with the zones as the frame view draws
// them, and go through the program's recorder. Runs without a display.
#include "channel/DetectorProtocol.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/LiveFeed.h"
#include "config/XMLConfig.h"
#include "recording/AviFromBitmaps.h"
#include "recording/FrameGrab.h"
#include "zones/FramePicture.h"
#include "zones/QuadDrawing.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <iostream>
#include <thread>

namespace {

const std::string RecordHelp =
    std::string(
        "usage: kervola-cli record [--codec msvc|iyuv|dib|xvid] --frames N [--no-zones]\n"
        "                          [--stamp] -o FILE.avi CONNECTION\n"
        "\n"
        "Connects as the program's live view does (login, \"gc\" for the zones, \"gf\" for the\n"
        "picture rate, zone states on) and asks for pictures with \"gp\" at the detector's\n"
        "rate. Each new picture is drawn at its own size with the zones as the live view\n"
        "shows them (their live states and the info strip; none with --no-zones), with\n"
        "--stamp also the PC's date and time and the detector's label in the bottom-right\n"
        "corner, and written as one frame at 25 frames a second (codec msvc unless given).\n"
        "Prints the frame count and the file name. A recording cut short by the detector\n"
        "still leaves a playable file with the frames it has, and exits with 1.\n"
        "\n") +
    ConnectionHelp;

bool CodecByName(const std::string& name, std::uint32_t& code) {
    if (name == "msvc")
        code = CodecMsvc;
    else if (name == "iyuv")
        code = CodecIyuv;
    else if (name == "dib")
        code = CodecDib;
    else if (name == "xvid")
        code = CodecXvid;
    else
        return false;
    return true;
}

struct TRecordOptions {
    TSyncTarget Target;
    std::uint32_t Codec = CodecMsvc;
    long long Frames = 0;
    bool Zones = true;
    bool Stamp = false;
    std::string File;
};

// Empty when the arguments are usable, else the usage problem.
std::string ParseOptions(std::vector<std::string>& args, TRecordOptions& o) {
    std::string problem, codec, frames;
    if (!TakeConnectionOptions(args, o.Target, problem))
        return problem;
    if (TakeOption(args, "--codec", codec, problem) && !CodecByName(codec, o.Codec))
        return "unknown codec '" + codec + "'";
    if (!problem.empty())
        return problem;
    if (!TakeOption(args, "--frames", frames, problem))
        return problem.empty() ? "--frames N is needed" : problem;
    const auto [end, ec] = std::from_chars(frames.data(), frames.data() + frames.size(), o.Frames);
    if (ec != std::errc() || end != frames.data() + frames.size() || o.Frames < 1)
        return "--frames takes a number of at least 1";
    if (!TakeOption(args, "-o", o.File, problem) || o.File.empty())
        return problem.empty() ? "-o FILE.avi is needed" : problem;
    o.Zones = !TakeFlag(args, "--no-zones");
    o.Stamp = TakeFlag(args, "--stamp");
    if (const std::string unknown = UnknownOption(args); !unknown.empty())
        return "unknown option " + unknown;
    if (!args.empty())
        return "unexpected argument " + args.front();
    return {};
}

// What the live view keeps of the detector while pictures come: the zones with their states.
struct TLiveZones {
    TQuadList Zones;
    std::string Label;

    void Load(const std::string& document) {
        TXMLConfig config;
        if (!config.LoadFromText(document))
            return;
        config.ReadSensors(Zones);
        Label = config.GetTarget();
    }
    void Apply(const std::string& line) {
        const std::string code = line.substr(0, 2);
        const std::string rest = line.size() > 3 ? line.substr(3) : std::string();
        if (code == "gs") {
            for (const TZoneState& s : ParseZoneStates(rest))
                if (TQuadBase* zone = Zones.Quad(Zones.IndexOfId(s.Id)))
                    zone->Active = s.Active;
        } else if (code == "ge") {
            for (const TZoneEvent& e : ParseZoneEvents(rest))
                if (TQuadBase* zone = Zones.Quad(Zones.IndexOfId(e.Id))) {
                    zone->Active = e.Active;
                    zone->Reading = e.Level;
                }
        }
    }
};

class TRecording {
public:
    explicit TRecording(const TRecordOptions& options)
        : Options(options), Recorder(1, 25, options.Codec, options.File) {
        // Every picture received becomes one frame: the command line waits rather than repeat.
        Recorder.Live = false;
        // Live view: editing off, so no zone is selected; not grey; the info strip on.
        Live.Zones.SelectedIndex = -1;
        Live.Zones.GreyMode = false;
        Live.Zones.ShowStrip = true;
    }

    int Run();

private:
    bool Begin();
    // False when the recorder failed; a body that is no picture is skipped.
    bool AddPicture(const std::string& jpeg);
    int Finish(bool complete);

    const TRecordOptions& Options;
    TLiveFeed Feed;
    TLiveZones Live;
    TJpegDecoder Decoder;
    TTimeStamp Stamp;
    TAviFromBitmaps Recorder;
    long long Written = 0;
    int Rate = 25; // pictures a second, as the detector reports it
};

bool TRecording::Begin() {
    std::string line, body;
    if (!Feed.Send("gc") || !Feed.Send("gf") || !Feed.Await("gc", line, body))
        return false;
    if (Options.Zones)
        Live.Load(body);
    if (!Feed.Await("gf", line, body))
        return false;
    Rate = ParseRateReply(line.size() > 3 ? line.substr(3) : std::string(), Rate);
    Feed.OnOtherLine = [this](const std::string& l) { Live.Apply(l); };
    return Feed.Send("sm data=on") && Feed.Send("ge");
}

bool TRecording::AddPicture(const std::string& jpeg) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(jpeg.data());
    int width = 0, height = 0;
    if (!Decoder.ReadSize(data, jpeg.size(), width, height))
        return true;
    QImage picture(width, height, QImage::Format_RGB888);
    if (!Decoder.DecodeRGB(data, jpeg.size(), picture.bits(), width, picture.bytesPerLine(),
                           height))
        return true; // a broken picture is skipped, as the view keeps its frame
    QImage frame = picture.convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&frame);
        if (Options.Zones)
            DrawQuads(Live.Zones, painter, width, height);
    }
    if (Options.Stamp) {
        const std::string label = Live.Label.empty() ? TargetName(Options.Target) : Live.Label;
        Stamp.Draw(frame, QDateTime::currentDateTime(), QString::fromStdString(label));
    }
    if (Recorder.AddFrame(BitmapOf(frame)) != S_OK)
        return false;
    ++Written;
    return true;
}

int TRecording::Finish(bool complete) {
    if (Written > 0)
        std::cerr << "\n"; // ends the progress line
    const bool opened = Recorder.State == 2;
    Recorder.Close();
    const bool failed = Recorder.LastError != AviMethodSucceeded;
    if (failed)
        return Fail(Options.File, Recorder.LastError);
    if (opened)
        std::cout << Written << " frames written to " << Options.File << "\n";
    if (!complete)
        return Fail(TargetName(Options.Target), "connection lost after " + std::to_string(Written) +
                                                    " of " + std::to_string(Options.Frames) +
                                                    " frames");
    return ExitOk;
}

int TRecording::Run() {
    if (!Feed.Open(Options.Target))
        return Fail(TargetName(Options.Target), "cannot connect or log in");
    std::string line, body;
    if (!Begin())
        return Finish(false);
    const auto period = std::chrono::milliseconds(1000 / std::clamp(Rate, 1, 99));
    auto next = std::chrono::steady_clock::now();
    while (Written < Options.Frames) {
        if (!Feed.Send("gp") || !Feed.Await("gp", line, body))
            return Finish(false);
        if (!body.empty() && !AddPicture(body))
            return Finish(true);
        std::cerr << "\rrecording: " << Written << "/" << Options.Frames << " frames" << std::flush;
        next += period;
        std::this_thread::sleep_until(next);
    }
    return Finish(true);
}

int RunRecord(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << RecordHelp;
        return ExitOk;
    }
    TRecordOptions options;
    if (const std::string problem = ParseOptions(args, options); !problem.empty())
        return Usage(RecordHelp, problem);
    // Fonts for the zone labels and the stamp, without a display. The toolkit's own notes (about
    // the missing session, for one) mean nothing to a script and stay off standard error.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int argc = 1;
    char name[] = "kervola-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    TRecording recording(options);
    return recording.Run();
}

} // namespace

void AddRecordCommands(std::vector<TCliCommand>& table) {
    table.push_back(
        {{"record"}, "record the live picture into an AVI file", RecordHelp, RunRecord});
}
