#pragma once
// A RIFF AVI file with one video stream, written sample by sample. Files that stay below the
// RIFF limit are plain AVI 1.0 with an "idx1" index; longer recordings continue in "AVIX" RIFF
// chunks and carry the OpenDML indexes (a standard index per RIFF, a super index in the stream
// header list, the extended header with the total frame count), which players need past 1 GB.
// Toolkit-free.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The four bytes in reading order, the first character in the lowest byte.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

struct TAviStreamFormat {
    std::uint32_t Handler = 0;     // stream header handler: the chosen codec's code
    std::uint32_t Compression = 0; // frame format header: the code players know, 0 for RGB
    std::uint16_t BitCount = 24;
    std::uint32_t ChunkId = FourCC("00dc"); // "00db" for uncompressed frames
    int Width = 0;
    int Height = 0; // positive: uncompressed rows run bottom-up
    std::uint32_t Rate = 25;
    std::uint32_t Scale = 1;
};

class TAviWriter {
public:
    // Each RIFF chunk stays below this size, the first one included (older players read only it).
    static constexpr std::uint64_t DefaultRiffLimit = 1ull << 30;
    // Room for this many RIFF chunks is kept in the super index: 256 GB at the default limit.
    static constexpr int MaxRiffs = 256;

    explicit TAviWriter(std::uint64_t riffLimit = DefaultRiffLimit);
    ~TAviWriter();
    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // Creates (or truncates) the file; false when it cannot be created.
    bool Create(const std::string& path);
    // Reserves the header of the stream; false when it cannot be written.
    bool BeginStream(const TAviStreamFormat& format);
    // One sample; false when it cannot be written (the file is then finished as far as it got).
    // An empty sample is the AVI way of saying "no change": players show the previous frame.
    bool WriteSample(const std::uint8_t* data, std::size_t size, bool keyFrame);
    // Indexes, sizes and headers; closes the file. False when any write failed.
    bool Finish();
    // Closes the file unfinished and deletes it (a regular file only: the path may name a device).
    void Discard();

    bool IsOpen() const { return File != nullptr; }
    std::uint32_t Frames() const { return TotalFrames; }
    int RiffCount() const { return static_cast<int>(Riffs.size()); }

private:
    struct TEntry {
        std::uint64_t Offset; // of the chunk header, from the start of the file
        std::uint32_t Size;
        bool Key;
    };
    struct TRiff {
        std::uint64_t Start = 0;     // of "RIFF"
        std::uint64_t MoviStart = 0; // of "LIST" of the movi list
        std::vector<TEntry> Entries;
        // The standard index written at the end of its movi list (multi-RIFF files only).
        std::uint64_t IndexOffset = 0;
        std::uint32_t IndexSize = 0;
    };

    std::string Header() const;
    bool StartRiff();
    bool EndRiff(bool last);
    bool WriteStandardIndex(TRiff& riff);
    bool WriteLegacyIndex(const TRiff& riff);
    bool Put(const void* data, std::size_t size);
    bool PutAt(std::uint64_t offset, std::uint32_t value);
    std::uint64_t Position() const;
    std::uint64_t RiffBytesIfAdded(std::size_t sampleSize) const;

    std::uint64_t RiffLimit;
    std::string Path;
    std::FILE* File = nullptr;
    bool Failed = false;
    TAviStreamFormat Format;
    std::vector<TRiff> Riffs;
    std::uint32_t TotalFrames = 0;
    std::uint32_t LargestSample = 0;
    std::uint64_t Written = 0; // the file's length so far
};
