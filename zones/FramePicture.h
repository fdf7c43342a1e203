#pragma once
// JPEG and BMP coding of frames in the frame buffer layout: 3 bytes per pixel in blue, green, red
// order, rows from the bottom of the picture upward, no padding between rows.

#include <cstddef>
#include <cstdint>
#include <vector>

// Sizes above this are refused before anything is allocated: they come from untrusted data.
constexpr int MaxFrameSide = 8192;

class TJpegDecoder {
public:
    TJpegDecoder();
    ~TJpegDecoder();
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    // False unless the header parses and both sides lie in 1..MaxFrameSide.
    bool ReadSize(const std::uint8_t* data, std::size_t size, int& width, int& height);
    // Decodes into width x height x 3 bytes of buffer layout; false on any decoder error or warning
    // (a truncated picture counts as failed). The picture must have exactly that size.
    bool DecodeBGRBottomUp(const std::uint8_t* data, std::size_t size, std::uint8_t* target,
                           int width, int height);
    // Top-down RGB rows with the given row pitch in bytes.
    bool DecodeRGB(const std::uint8_t* data, std::size_t size, std::uint8_t* target, int width,
                   int pitch, int height);

private:
    void* Handle = nullptr;
};

// Progressive JPEG of a frame; empty on failure.
std::vector<std::uint8_t> EncodeJpeg(const std::uint8_t* frame, int width, int height, int quality,
                                     bool progressive);
// 24-bit BMP file image of a frame (rows padded to 4 bytes as the format wants).
std::vector<std::uint8_t> EncodeBmp24(const std::uint8_t* frame, int width, int height);
