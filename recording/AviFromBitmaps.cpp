#include "recording/AviFromBitmaps.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

const char* const AviMethodSucceeded = "Method Succeeded";
const char* const AviNoHeap = "Unable to Create Heap";
const char* const AviNoMemory = "Unable to Allocate Memory on Heap";
const char* const AviNoMovieFile = "Unable to Create the Movie File";
const char* const AviNoVideoStream = "Unable to Create Video Stream in the Movie File";
const char* const AviNoCompressedStream =
    "Unable to Create Compressed Stream: Check your CODEC options";
const char* const AviNoStreamFormat = "Unable to Set Video Stream Format";
const char* const AviNoWrite = "Unable to Write Video Stream to the output Movie File";

namespace {

constexpr int EncoderNiceness = 10;

// One stored row of the source, counted from the top of the picture.
const std::uint8_t* SourceRow(const std::uint8_t* bits, std::size_t stride, int height,
                              TPixelLayout layout, int topRow) {
    const int stored = layout == TPixelLayout::Bgr24BottomUp ? height - 1 - topRow : topRow;
    return bits + static_cast<std::size_t>(stored) * stride;
}

// The source into the bitmap-layout frame buffer (24 bits, bottom-up, rows padded to 4 bytes), as
// a picture of pictureW x pictureH in the frame's top-left corner; what lies outside the frame is
// cut, what the picture leaves of the frame is not touched. A source of another size is stretched
// nearest-neighbour, as the view stretches its frame.
void CopyToBitmap(const std::uint8_t* bits, int srcW, int srcH, std::size_t stride,
                  TPixelLayout layout, std::uint8_t* target, int frameW, int frameH, int pictureW,
                  int pictureH) {
    const std::size_t rowBytes = DibRowBytes(frameW);
    const int pixelBytes = layout == TPixelLayout::Bgr24BottomUp ? 3 : 4;
    const int width = std::min(frameW, pictureW);
    const int height = std::min(frameH, pictureH);
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(static_cast<long long>(y) * srcH / pictureH);
        const std::uint8_t* src = SourceRow(bits, stride, srcH, layout, sy);
        std::uint8_t* dst = target + static_cast<std::size_t>(frameH - 1 - y) * rowBytes;
        if (srcW == pictureW && pixelBytes == 3) {
            std::memcpy(dst, src, static_cast<std::size_t>(width) * 3);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int sx = srcW == pictureW
                               ? x
                               : static_cast<int>(static_cast<long long>(x) * srcW / pictureW);
            const std::uint8_t* p = src + static_cast<std::size_t>(sx) * pixelBytes;
            dst[3 * x] = p[0];
            dst[3 * x + 1] = p[1];
            dst[3 * x + 2] = p[2];
        }
    }
}

std::size_t StoredBytes(const TBitmapView& b) {
    const int pixelBytes = b.Layout == TPixelLayout::Bgr24BottomUp ? 3 : 4;
    return b.Stride * static_cast<std::size_t>(b.Height - 1) +
           static_cast<std::size_t>(b.Width) * pixelBytes;
}

bool Usable(const TBitmapView& b) {
    const std::size_t pixelBytes = b.Layout == TPixelLayout::Bgr24BottomUp ? 3 : 4;
    return b.Bits && b.Width > 0 && b.Height > 0 && b.Width <= TAviFromBitmaps::MaxSide &&
           b.Height <= TAviFromBitmaps::MaxSide &&
           b.Stride >= static_cast<std::size_t>(b.Width) * pixelBytes;
}

} // namespace

std::uint32_t CodecOfIndex(int index) {
    switch (index) {
    case 0:
        return CodecMsvc;
    case 1:
        return CodecIyuv;
    case 3:
        return CodecXvid;
    default:
        return CodecDib;
    }
}

std::string VideoTimeCode(long long counter) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld:%.2lld", counter / 90000,
                  (counter / 1500) % 60, (counter / 25) % 60, counter % 25);
    return text;
}

TAviFromBitmaps::TAviFromBitmaps() : LastError(AviMethodSucceeded) {}

TAviFromBitmaps::TAviFromBitmaps(int scale, int rate, std::uint32_t codec, std::string fileName)
    : FileName(std::move(fileName)), Rate(rate), Scale(scale), Codec(codec),
      LastError(AviMethodSucceeded) {}

TAviFromBitmaps::~TAviFromBitmaps() {
    Close();
}

std::int32_t TAviFromBitmaps::Fail(const char* message) {
    LastError = message;
    return E_FAIL;
}

std::int32_t TAviFromBitmaps::AddFrame(const TBitmapView& bitmap) {
    switch (State) {
    case 1:
        // The film's time starts with its first frame.
        Started = Clock();
        // The movie takes the first frame's size; frames are recorded as 24-bit pixels.
        if (Open(bitmap.Width, bitmap.Height, 24) != S_OK) {
            Close();
            return E_FAIL;
        }
        State = 2;
        return WriteFrame(bitmap);
    case 2:
        return WriteFrame(bitmap);
    default:
        return E_FAIL;
    }
}

std::int32_t TAviFromBitmaps::Open(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
        return Fail(AviNoMemory);
    // Every check that can be made comes before the file is created: a recording that cannot
    // start must not cost the recording that file already holds, nor leave an empty file.
    if (bitsPerPixel != 24 || Rate <= 0 || Scale <= 0)
        return Fail(AviNoStreamFormat);
    int frameW = width, frameH = height;
    TVideoEncoder::FitFrame(Codec, frameW, frameH);
    try {
        // Zeros: where the picture does not reach, the frame stays black.
        FrameBuffer.assign(DibRowBytes(frameW) * static_cast<std::size_t>(frameH), 0);
    } catch (const std::bad_alloc&) {
        return Fail(AviNoMemory);
    }
    Encoder = std::make_unique<TVideoEncoder>();
    if (!Encoder->Open(Codec, frameW, frameH))
        return Fail(AviNoCompressedStream);
    Writer = std::make_unique<TAviWriter>(RiffLimit);
    if (!Writer->Create(FileName))
        return Fail(AviNoMovieFile);
    TAviStreamFormat format = Encoder->StreamFormat();
    format.Rate = static_cast<std::uint32_t>(Rate);
    format.Scale = static_cast<std::uint32_t>(Scale);
    if (!Writer->BeginStream(format)) {
        Writer->Discard();
        return Fail(AviNoVideoStream);
    }
    Width = frameW;
    Height = frameH;
    PictureWidth = width;
    PictureHeight = height;
    Repeated = 0;
    Stopping = false;
    Broken = false;
    Worker = std::thread([this] { EncoderLoop(); });
    return S_OK;
}

std::int32_t TAviFromBitmaps::WriteFrame(const TBitmapView& bitmap) {
    if (State != 2 || !Worker.joinable() || Broken || !Usable(bitmap)) {
        Fail(AviNoWrite);
        Close();
        return E_FAIL;
    }
    // A live frame takes the frame period the clock is in; the periods since the last frame
    // repeat that one. A tick that comes early still gets a frame of its own.
    const long long place = Live ? std::max(FrameIndex, ClockPlace()) : FrameIndex;
    TSlot slot;
    {
        std::unique_lock<std::mutex> hold(Lock);
        AddRepeats(place - FrameIndex);
        FrameIndex = place;
        if (QueuedPictures >= QueueLimit) {
            if (Live) {
                // Too late for the encoder: the frame keeps its place as a repeat.
                AddRepeats(1);
                ++FrameIndex;
                return S_OK;
            }
            Room.wait(hold, [this] { return QueuedPictures < QueueLimit || Broken; });
        }
        if (!Pool.empty()) {
            slot = std::move(Pool.back());
            Pool.pop_back();
        }
    }
    if (Broken) {
        Fail(AviNoWrite);
        Close();
        return E_FAIL;
    }
    // The copy is all the caller pays for a frame: conversion and compression happen later.
    const std::size_t bytes = StoredBytes(bitmap);
    slot.Bytes.resize(bytes);
    std::memcpy(slot.Bytes.data(), bitmap.Bits, bytes);
    slot.Picture = true;
    slot.Width = bitmap.Width;
    slot.Height = bitmap.Height;
    slot.Stride = bitmap.Stride;
    slot.Layout = bitmap.Layout;
    slot.Repeats = 0;
    {
        std::lock_guard<std::mutex> hold(Lock);
        Queue.push_back(std::move(slot));
        ++QueuedPictures;
    }
    Wake.notify_one();
    ++FrameIndex;
    return S_OK;
}

long long TAviFromBitmaps::ClockPlace() const {
    const long long elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock() - Started).count();
    if (elapsed <= 0)
        return 0;
    return elapsed * Rate / (Scale * 1'000'000'000LL);
}

void TAviFromBitmaps::AddRepeats(long long count) {
    if (count <= 0)
        return;
    // Behind the last queued picture, or, when the encoder has taken everything, on their own:
    // either way they follow the frame the film showed last.
    if (Queue.empty())
        Queue.push_back(TSlot{});
    Queue.back().Repeats += count;
    Repeated += count;
}

bool TAviFromBitmaps::Record(const TSlot& frame) {
    if (BeforeEncode)
        BeforeEncode();
    CopyToBitmap(frame.Bytes.data(), frame.Width, frame.Height, frame.Stride, frame.Layout,
                 FrameBuffer.data(), Width, Height, PictureWidth, PictureHeight);
    bool key = true;
    if (!Encoder->Encode(FrameBuffer.data(), Sample, key))
        return false;
    return Writer->WriteSample(reinterpret_cast<const std::uint8_t*>(Sample.data()), Sample.size(),
                               key);
}

void TAviFromBitmaps::EncoderLoop() {
    // On a busy machine the live view goes first: this thread yields its core to the GUI thread
    // (a dropped frame costs less than a late picture).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), EncoderNiceness);
    for (;;) {
        TSlot frame;
        {
            std::unique_lock<std::mutex> hold(Lock);
            Wake.wait(hold, [this] { return !Queue.empty() || Stopping; });
            if (Queue.empty())
                return;
            frame = std::move(Queue.front());
            Queue.pop_front();
            if (frame.Picture)
                --QueuedPictures;
        }
        // After a failure the rest of the queue is only emptied: the file ends where it broke.
        if (!Broken && frame.Picture && !Record(frame))
            Broken = true;
        // Empty samples: every codec here, and the players checked (ffmpeg, uncompressed
        // frames included, with the index or without), show the previous frame for them.
        for (long long i = 0; i < frame.Repeats && !Broken; ++i)
            if (!Writer->WriteSample(nullptr, 0, false))
                Broken = true;
        if (frame.Picture) {
            std::lock_guard<std::mutex> hold(Lock);
            Pool.push_back(std::move(frame));
        }
        Room.notify_all();
    }
}

void TAviFromBitmaps::Close() {
    const bool ending = State == 2 && LastError == AviMethodSucceeded;
    State = 0;
    if (Worker.joinable()) {
        {
            std::lock_guard<std::mutex> hold(Lock);
            // A live film runs until it stops, also when the last ticks never came.
            if (ending && Live && !Broken) {
                const long long owed = ClockPlace() - FrameIndex;
                AddRepeats(owed);
                FrameIndex += std::max(0LL, owed);
            }
            Stopping = true;
        }
        Wake.notify_all();
        Worker.join();
    }
    Encoder.reset();
    // A film without one frame (its first picture could not be compressed) is no film.
    if (Writer && Writer->IsOpen() && Writer->Frames() == 0)
        Writer->Discard();
    // A frame that failed on the encoder thread, or an index that could not be written, is
    // still reported to whoever looks after the end.
    const bool finished = !(Writer && Writer->IsOpen()) || Writer->Finish();
    if ((Broken || !finished) && LastError == AviMethodSucceeded)
        LastError = AviNoWrite;
    Writer.reset();
    FrameBuffer.clear();
    FrameBuffer.shrink_to_fit();
    Queue.clear();
    QueuedPictures = 0;
    Pool.clear();
}
