#pragma once
// What ffprobe and ffmpeg make of a recorded file, and the bytes of its headers, for the tests.

#include <cstdint>
#include <string>
#include <vector>

struct TProbe {
    bool Ok = false;
    std::string CodecTag; // the frame format header's code, as ffprobe names it
    int Width = 0;
    int Height = 0;
    std::string Rate;      // "25/1"
    long long Frames = -1; // frames decoded: a repeat of the previous frame decodes to nothing
    long long HeaderFrames = -1; // frames the stream holds, repeats included
    std::string Duration;        // of the stream in seconds, "10.000000"
};

// Output of a shell command; `status` gets its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
TProbe Probe(const std::string& file);
// Every frame as a player shows it at 25 frames a second (a repeat shows the previous frame), as
// top-down RGB rows one after the other; up to the last frame that is no repeat.
std::string DecodeAt25(const std::string& file);
// Frame `index` decoded by ffmpeg as top-down RGB rows, empty on failure.
std::vector<std::uint8_t> DecodeFrame(const std::string& file, int index, int width, int height);
// The four bytes of the stream header's handler, empty when the file has no stream header.
std::string StreamHandler(const std::string& file);
std::string ReadWholeFile(const std::string& file);

struct TRgb {
    int R = 0, G = 0, B = 0;
};
TRgb PixelAt(const std::vector<std::uint8_t>& rgb, int width, int x, int y);
// Largest difference of one channel.
int Distance(TRgb a, TRgb b);

// A picture of four coloured quadrants: red top-left, green top-right, blue bottom-left, white
// bottom-right, in the recorder's 32-bit top-down layout.
std::vector<std::uint8_t> Quadrants(int width, int height);
extern const TRgb QuadrantColours[4]; // top-left, top-right, bottom-left, bottom-right
