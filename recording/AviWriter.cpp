#include "recording/AviWriter.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t AvifHasIndex = 0x10;
constexpr std::uint32_t AvifIsInterleaved = 0x100;
constexpr std::uint32_t IndexKeyFrame = 0x10;       // idx1 flag
constexpr std::uint32_t DeltaFrameBit = 0x80000000; // standard index: not a key frame
constexpr std::uint8_t IndexOfIndexes = 0;
constexpr std::uint8_t IndexOfChunks = 1;
constexpr std::size_t SuperIndexBytes = 24 + 16 * TAviWriter::MaxRiffs;
constexpr std::size_t ExtendedHeaderBytes = 248;
const char StreamName[] = "Video Stream"; // written with its terminating zero

// Little-endian fields into a growing byte string; lists are closed by patching their size.
class TBytes {
public:
    void U8(std::uint8_t v) { Data.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void Zeros(std::size_t n) { Data.append(n, '\0'); }
    // Opens a chunk (or a list, with its type) and returns where its size goes.
    std::size_t Open(std::uint32_t id, std::uint32_t listType = 0) {
        U32(id);
        const std::size_t at = Data.size();
        U32(0);
        if (listType)
            U32(listType);
        return at;
    }
    void Close(std::size_t sizeAt) {
        const auto size = static_cast<std::uint32_t>(Data.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i)
            Data[sizeAt + i] = static_cast<char>(size >> (8 * i));
        if (size % 2)
            U8(0);
    }
    std::string Data;
};

std::uint64_t Padded(std::uint64_t n) {
    return n + (n & 1);
}

} // namespace

TAviWriter::TAviWriter(std::uint64_t riffLimit) : RiffLimit(riffLimit) {}

TAviWriter::~TAviWriter() {
    if (File)
        Finish();
}

bool TAviWriter::Create(const std::string& path) {
    if (File)
        return false;
    File = std::fopen(path.c_str(), "wb");
    if (!File)
        return false;
    Path = path;
    // Frames go out in large pieces; a big buffer keeps the number of system calls low.
    std::setvbuf(File, nullptr, _IOFBF, 1 << 20);
    Failed = false;
    Written = 0;
    Riffs.clear();
    TotalFrames = 0;
    LargestSample = 0;
    return true;
}

std::uint64_t TAviWriter::Position() const {
    return Written;
}

bool TAviWriter::Put(const void* data, std::size_t size) {
    if (Failed || !File)
        return false;
    if (size && std::fwrite(data, 1, size, File) != size) {
        Failed = true;
        return false;
    }
    Written += size;
    return true;
}

bool TAviWriter::PutAt(std::uint64_t offset, std::uint32_t value) {
    if (Failed || !File)
        return false;
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    if (::fseeko(File, static_cast<off_t>(offset), SEEK_SET) != 0 ||
        std::fwrite(bytes, 1, 4, File) != 4 ||
        ::fseeko(File, static_cast<off_t>(Written), SEEK_SET) != 0) {
        Failed = true;
        return false;
    }
    return true;
}

std::string TAviWriter::Header() const {
    const TAviStreamFormat& f = Format;
    const auto width = static_cast<std::uint32_t>(f.Width);
    const auto height = static_cast<std::uint32_t>(f.Height);
    const std::uint32_t frameBytes = width * height * 3;
    const std::uint32_t firstRiffFrames =
        Riffs.empty() ? 0 : static_cast<std::uint32_t>(Riffs.front().Entries.size());
    const bool multiRiff = Riffs.size() > 1;

    TBytes b;
    const std::size_t riff = b.Open(FourCC("RIFF"), FourCC("AVI "));
    const std::size_t hdrl = b.Open(FourCC("LIST"), FourCC("hdrl"));

    const std::size_t avih = b.Open(FourCC("avih"));
    b.U32(static_cast<std::uint32_t>(1000000ull * f.Scale / std::max<std::uint32_t>(f.Rate, 1)));
    b.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(
        0xffffffffu, std::uint64_t{LargestSample} * f.Rate / std::max<std::uint32_t>(f.Scale, 1))));
    b.U32(0); // padding granularity
    b.U32(AvifHasIndex | AvifIsInterleaved);
    b.U32(firstRiffFrames); // OpenDML: the frames of the first RIFF; the total is in "dmlh"
    b.U32(0);               // initial frames
    b.U32(1);               // streams
    b.U32(std::max(frameBytes, LargestSample));
    b.U32(width);
    b.U32(height);
    b.Zeros(16);
    b.Close(avih);

    const std::size_t strl = b.Open(FourCC("LIST"), FourCC("strl"));
    const std::size_t strh = b.Open(FourCC("strh"));
    b.U32(FourCC("vids"));
    b.U32(f.Handler);
    b.U32(0); // flags
    b.U16(0); // priority
    b.U16(0); // language
    b.U32(0); // initial frames
    b.U32(f.Scale);
    b.U32(f.Rate);
    b.U32(0); // start
    b.U32(TotalFrames);
    b.U32(std::max(frameBytes, LargestSample));
    b.U32(0xffffffffu); // quality: the codec's default
    b.U32(0);           // sample size: varies
    b.U16(0);
    b.U16(0);
    b.U16(static_cast<std::uint16_t>(width));
    b.U16(static_cast<std::uint16_t>(height));
    b.Close(strh);

    const std::size_t strf = b.Open(FourCC("strf"));
    const std::uint32_t rowBytes = (width * f.BitCount / 8 + 3) & ~3u;
    b.U32(40);
    b.U32(width);
    b.U32(height);
    b.U16(1);
    b.U16(f.BitCount);
    b.U32(f.Compression);
    b.U32(f.Compression == 0 ? rowBytes * height : width * height * f.BitCount / 8);
    b.Zeros(16);
    b.Close(strf);

    // The super index has its room from the start; a file that never needs it keeps it as junk.
    if (multiRiff) {
        const std::size_t indx = b.Open(FourCC("indx"));
        b.U16(4);
        b.U8(0);
        b.U8(IndexOfIndexes);
        b.U32(static_cast<std::uint32_t>(Riffs.size()));
        b.U32(f.ChunkId);
        b.Zeros(12);
        for (const TRiff& r : Riffs) {
            b.U64(r.IndexOffset);
            b.U32(r.IndexSize);
            b.U32(static_cast<std::uint32_t>(r.Entries.size()));
        }
        b.Zeros(16 * (MaxRiffs - Riffs.size()));
        b.Close(indx);
    } else {
        const std::size_t junk = b.Open(FourCC("JUNK"));
        b.Zeros(SuperIndexBytes);
        b.Close(junk);
    }

    const std::size_t strn = b.Open(FourCC("strn"));
    b.Data.append(StreamName, sizeof StreamName);
    b.Close(strn);
    b.Close(strl);

    const std::size_t odml = b.Open(FourCC("LIST"), FourCC("odml"));
    const std::size_t dmlh = b.Open(FourCC("dmlh"));
    b.U32(TotalFrames);
    b.Zeros(ExtendedHeaderBytes - 4);
    b.Close(dmlh);
    b.Close(odml);
    b.Close(hdrl);
    (void)riff; // its size is patched when the first RIFF ends
    return b.Data;
}

bool TAviWriter::BeginStream(const TAviStreamFormat& format) {
    if (!File || !Riffs.empty())
        return false;
    Format = format;
    Riffs.push_back({});
    const std::string header = Header();
    if (!Put(header.data(), header.size()))
        return false;
    TBytes movi;
    movi.Open(FourCC("LIST"), FourCC("movi"));
    Riffs.back().MoviStart = Position();
    return Put(movi.Data.data(), movi.Data.size());
}

bool TAviWriter::StartRiff() {
    if (Riffs.size() >= static_cast<std::size_t>(MaxRiffs)) {
        Failed = true;
        return false;
    }
    TRiff riff;
    riff.Start = Position();
    riff.MoviStart = riff.Start + 12;
    Riffs.push_back(riff);
    TBytes b;
    b.Open(FourCC("RIFF"), FourCC("AVIX"));
    b.Open(FourCC("LIST"), FourCC("movi"));
    return Put(b.Data.data(), b.Data.size());
}

std::uint64_t TAviWriter::RiffBytesIfAdded(std::size_t sampleSize) const {
    const TRiff& riff = Riffs.back();
    const std::uint64_t entries = riff.Entries.size() + 1;
    std::uint64_t bytes = Position() + 8 + Padded(sampleSize) - riff.Start;
    bytes += 8 + 24 + 8 * entries; // its standard index
    if (Riffs.size() == 1)
        bytes += 8 + 16 * entries; // and the legacy index of the first RIFF
    return bytes;
}

bool TAviWriter::WriteSample(const std::uint8_t* data, std::size_t size, bool keyFrame) {
    if (!File || Riffs.empty() || Failed || size > 0x7fffffffu)
        return false;
    if (!Riffs.back().Entries.empty() && RiffBytesIfAdded(size) > RiffLimit) {
        if (!EndRiff(false) || !StartRiff())
            return false;
    }
    TEntry entry{Position(), static_cast<std::uint32_t>(size), keyFrame};
    TBytes head;
    head.U32(Format.ChunkId);
    head.U32(static_cast<std::uint32_t>(size));
    const char pad = 0;
    if (!Put(head.Data.data(), head.Data.size()) || !Put(data, size) || (size % 2 && !Put(&pad, 1)))
        return false;
    Riffs.back().Entries.push_back(entry);
    ++TotalFrames;
    LargestSample = std::max(LargestSample, entry.Size);
    return true;
}

bool TAviWriter::WriteStandardIndex(TRiff& riff) {
    const std::uint64_t base = riff.MoviStart + 8;
    TBytes b;
    const std::size_t ix = b.Open(FourCC("ix00"));
    b.U16(2);
    b.U8(0);
    b.U8(IndexOfChunks);
    b.U32(static_cast<std::uint32_t>(riff.Entries.size()));
    b.U32(Format.ChunkId);
    b.U64(base);
    b.U32(0);
    for (const TEntry& e : riff.Entries) {
        b.U32(static_cast<std::uint32_t>(e.Offset + 8 - base));
        b.U32(e.Size | (e.Key ? 0 : DeltaFrameBit));
    }
    b.Close(ix);
    riff.IndexOffset = Position();
    riff.IndexSize = static_cast<std::uint32_t>(b.Data.size());
    return Put(b.Data.data(), b.Data.size());
}

bool TAviWriter::WriteLegacyIndex(const TRiff& riff) {
    const std::uint64_t base = riff.MoviStart + 8;
    TBytes b;
    const std::size_t idx1 = b.Open(FourCC("idx1"));
    for (const TEntry& e : riff.Entries) {
        b.U32(Format.ChunkId);
        b.U32(e.Key ? IndexKeyFrame : 0);
        b.U32(static_cast<std::uint32_t>(e.Offset - base));
        b.U32(e.Size);
    }
    b.Close(idx1);
    return Put(b.Data.data(), b.Data.size());
}

bool TAviWriter::EndRiff(bool last) {
    TRiff& riff = Riffs.back();
    const bool first = Riffs.size() == 1;
    // A file of one RIFF is plain AVI 1.0; once a second one starts, every RIFF gets its index.
    if ((!last || !first) && !WriteStandardIndex(riff))
        return false;
    if (!PutAt(riff.MoviStart + 4, static_cast<std::uint32_t>(Position() - riff.MoviStart - 8)))
        return false;
    if (first && !WriteLegacyIndex(riff))
        return false;
    return PutAt(riff.Start + 4, static_cast<std::uint32_t>(Position() - riff.Start - 8));
}

bool TAviWriter::Finish() {
    if (!File)
        return false;
    bool ok = !Failed;
    if (!Riffs.empty()) {
        ok = EndRiff(true) && ok;
        const std::string header = Header();
        if (ok && (::fseeko(File, 0, SEEK_SET) != 0 ||
                   std::fwrite(header.data(), 1, header.size(), File) != header.size()))
            ok = false;
        // The first RIFF's size was patched at its end and is part of the rewritten header too.
        if (ok)
            ok = PutAt(
                4, static_cast<std::uint32_t>((Riffs.size() > 1 ? Riffs[1].Start : Written) - 8));
    }
    if (std::fclose(File) != 0)
        ok = false;
    File = nullptr;
    Failed = !ok;
    return ok;
}

void TAviWriter::Discard() {
    if (!File)
        return;
    struct stat info {};
    const bool regular = ::fstat(::fileno(File), &info) == 0 && S_ISREG(info.st_mode);
    std::fclose(File);
    File = nullptr;
    if (regular)
        ::unlink(Path.c_str());
}
