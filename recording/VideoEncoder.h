#pragma once
// Compression of 24-bit bottom-up frames (rows padded to 4 bytes, as a device-independent bitmap
// holds them) for the recorder's codecs, through libavcodec and libswscale. Toolkit-free.

#include "recording/AviWriter.h"

#include <cstdint>
#include <memory>
#include <string>

// The stream-header handlers the recorder offers.
constexpr std::uint32_t CodecMsvc = FourCC("msvc");
constexpr std::uint32_t CodecIyuv = FourCC("iyuv");
constexpr std::uint32_t CodecDib = FourCC("DIB ");
constexpr std::uint32_t CodecXvid = FourCC("XVID");

// Bytes of one bottom-up row of 24-bit pixels, padded to a multiple of 4.
constexpr std::size_t DibRowBytes(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

class TVideoEncoder {
public:
    TVideoEncoder();
    ~TVideoEncoder();
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // The frame size the codec takes for a picture of this size: Microsoft Video 1 codes 4 x 4
    // blocks, so the frame grows to the next multiple of 4 (the picture keeps the top-left corner
    // and the rest stays black); MPEG-4 takes at most 8191 pixels a side. Others take any size.
    static void FitFrame(std::uint32_t code, int& width, int& height);
    // False when the code names no codec we have, or the codec refuses the size.
    bool Open(std::uint32_t code, int width, int height);
    // The stream description the file needs for what this encoder writes.
    TAviStreamFormat StreamFormat() const;
    // One frame of DibRowBytes(width) x height bytes; `out` gets the sample. Every frame is a key
    // frame: the recorder asks for one on each frame.
    // A codec that holds a frame back gives an empty sample, so each frame still has its own.
    bool Encode(const std::uint8_t* dib, std::string& out, bool& keyFrame);

private:
    struct TState;
    std::unique_ptr<TState> State;
};
