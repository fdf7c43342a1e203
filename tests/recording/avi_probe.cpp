#include "avi_probe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

const TRgb QuadrantColours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (status)
            *status = -1;
        return out;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int rc = ::pclose(pipe);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

TProbe Probe(const std::string& file) {
    TProbe p;
    int status = 0;
    const std::string out = RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_tag_string,width,height,r_frame_rate,nb_read_frames,nb_frames,duration "
        "-of default=nw=1 '" +
            file + "' 2>/dev/null",
        &status);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_tag_string")
            p.CodecTag = value;
        else if (key == "width")
            p.Width = std::atoi(value.c_str());
        else if (key == "height")
            p.Height = std::atoi(value.c_str());
        else if (key == "r_frame_rate")
            p.Rate = value;
        else if (key == "nb_read_frames")
            p.Frames = std::atoll(value.c_str());
        else if (key == "nb_frames")
            p.HeaderFrames = std::atoll(value.c_str());
        else if (key == "duration")
            p.Duration = value;
    }
    p.Ok = status == 0 && p.Width > 0;
    return p;
}

std::string DecodeAt25(const std::string& file) {
    return RunCommand(
        "ffmpeg -v error -i '" + file +
        "' -vf fps=25 -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
}

std::vector<std::uint8_t> DecodeFrame(const std::string& file, int index, int width, int height) {
    int status = 0;
    const std::string out =
        RunCommand("ffmpeg -v error -i '" + file + "' -vf 'select=eq(n\\," + std::to_string(index) +
                       ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null",
                   &status);
    if (status != 0 || out.size() != static_cast<std::size_t>(width) * height * 3)
        return {};
    return {out.begin(), out.end()};
}

std::string ReadWholeFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string StreamHandler(const std::string& file) {
    const std::string bytes = ReadWholeFile(file);
    const auto at = bytes.find("strh");
    if (at == std::string::npos || at + 16 > bytes.size())
        return {};
    return bytes.substr(at + 12, 4); // after the id, the size and the stream type
}

TRgb PixelAt(const std::vector<std::uint8_t>& rgb, int width, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

int Distance(TRgb a, TRgb b) {
    return std::max({std::abs(a.R - b.R), std::abs(a.G - b.G), std::abs(a.B - b.B)});
}

std::vector<std::uint8_t> Quadrants(int width, int height) {
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TRgb c = QuadrantColours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            std::uint8_t* p = &bits[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(c.B);
            p[1] = static_cast<std::uint8_t>(c.G);
            p[2] = static_cast<std::uint8_t>(c.R);
            p[3] = 0xff;
        }
    return bits;
}
