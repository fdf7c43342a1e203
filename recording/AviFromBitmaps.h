#pragma once
// The recorder: opens the movie on its first frame with that frame's size (grown or cut by at most
// a few pixels to what the codec takes), compresses every frame with the chosen codec into one
// sample, and finishes the file when it is closed or destroyed. Compression runs on a thread of
// its own behind a bounded queue, so the caller (the GUI's tick) only copies the picture.
// Toolkit-free.

#include "recording/AviWriter.h"
#include "recording/VideoEncoder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr std::int32_t S_OK = 0;
constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005u);

// LastError texts, each set by the step that fails.
extern const char* const AviMethodSucceeded;
extern const char* const AviNoHeap;
extern const char* const AviNoMemory;
extern const char* const AviNoMovieFile;
extern const char* const AviNoVideoStream;
extern const char* const AviNoCompressedStream;
extern const char* const AviNoStreamFormat;
extern const char* const AviNoWrite;

enum class TPixelLayout {
    Bgr24BottomUp, // blue, green, red; the bottom row first
    Bgrx32TopDown, // blue, green, red, unused (a 32-bit RGB image in memory); the top row first
};

// A picture in memory, described but not owned.
struct TBitmapView {
    const std::uint8_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    std::size_t Stride = 0; // bytes from one stored row to the next
    TPixelLayout Layout = TPixelLayout::Bgrx32TopDown;
};

// The codec of the capture dialog's list: 0 msvc, 1 iyuv, 3 XVID, any other index DIB.
std::uint32_t CodecOfIndex(int index);
// hours:minutes:seconds:frames of a frame counter at 25 frames per second.
std::string VideoTimeCode(long long counter);

class TAviFromBitmaps {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    // Frames waiting for the encoder; at 25 frames a second this is a third of a second.
    static constexpr std::size_t QueueLimit = 8;
    static_assert(QueueLimit > 0);
    static constexpr int MaxSide = 8192;

    TAviFromBitmaps();
    TAviFromBitmaps(int scale, int rate, std::uint32_t codec, std::string fileName);
    ~TAviFromBitmaps();
    TAviFromBitmaps(const TAviFromBitmaps&) = delete;
    TAviFromBitmaps& operator=(const TAviFromBitmaps&) = delete;

    std::string FileName;
    int Rate = 1;
    int Scale = 1;
    std::uint32_t Codec = CodecDib;
    int State = 1;            // 1 created, 2 movie open, 0 closed or failed
    long long FrameIndex = 0; // position of the next frame in the stream
    std::string LastError;    // "Method Succeeded" until something fails
    // True (the live view): the film keeps the clock's time, because traffic films are used to
    // measure time and speed. Every frame period that passes without a frame, and a frame that
    // finds the encoder behind, is written as a repeat of the previous frame (an empty sample),
    // so the caller never waits and the film never runs short. False (the command line): every
    // frame offered is one frame, and the caller waits for room.
    bool Live = true;
    // The clock a live film keeps; tests run it by hand.
    TClock Clock = std::chrono::steady_clock::now;
    // Called on the encoder thread before each picture is compressed; tests slow the encoder
    // down with it. Set before the first frame.
    std::function<void()> BeforeEncode;
    // Size of each RIFF chunk before the next one starts (smaller only to test long files).
    std::uint64_t RiffLimit = TAviWriter::DefaultRiffLimit;

    // S_OK or E_FAIL.
    std::int32_t AddFrame(const TBitmapView& bitmap);
    std::int32_t Open(int width, int height, int bitsPerPixel);
    std::int32_t WriteFrame(const TBitmapView& bitmap);
    // Writes what is queued, finishes the file and releases everything; State 0.
    void Close();

    // Frames of the film that repeat the previous one: frame periods without a frame of their
    // own, and frames that found the encoder behind.
    long long RepeatedFrames() const { return Repeated; }
    // The film's frame size, which the codec may have rounded from the first picture's.
    int FrameWidth() const { return Width; }
    int FrameHeight() const { return Height; }

private:
    // A picture to compress, or none; then as many repeats of the film's previous frame.
    struct TSlot {
        bool Picture = false;
        std::vector<std::uint8_t> Bytes;
        int Width = 0;
        int Height = 0;
        std::size_t Stride = 0;
        TPixelLayout Layout = TPixelLayout::Bgrx32TopDown;
        long long Repeats = 0;
    };

    std::int32_t Fail(const char* message);
    void EncoderLoop();
    bool Record(const TSlot& frame);
    // The frame period the clock is in, counted from the first frame.
    long long ClockPlace() const;
    // Lock held.
    void AddRepeats(long long count);

    int Width = 0; // of the film's frames
    int Height = 0;
    int PictureWidth = 0; // of the first picture, which every frame is scaled to
    int PictureHeight = 0;
    std::chrono::steady_clock::time_point Started;
    long long Repeated = 0;
    std::unique_ptr<TAviWriter> Writer;
    std::unique_ptr<TVideoEncoder> Encoder;
    std::vector<std::uint8_t> FrameBuffer; // the frame in bitmap layout; encoder thread only
    std::string Sample;                    // encoder thread only

    std::mutex Lock;
    std::condition_variable Wake; // a frame is queued, or the end
    std::condition_variable Room; // a frame left the queue
    std::deque<TSlot> Queue;
    std::size_t QueuedPictures = 0; // of Queue, bounded by QueueLimit
    std::vector<TSlot> Pool;        // buffers of written frames, reused
    bool Stopping = false;
    std::atomic<bool> Broken{false};
    std::thread Worker;
};
