#include "zones/FramePicture.h"

#include <turbojpeg.h>

#include <cstring>
#include <limits>

namespace {

bool FitsFrame(int width, int height) {
    return width > 0 && height > 0 && width <= MaxFrameSide && height <= MaxFrameSide;
}

void PutLE(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool FitsDecoderSize(std::size_t size) {
    return size > 0 && size <= std::numeric_limits<unsigned long>::max();
}

} // namespace

TJpegDecoder::TJpegDecoder() : Handle(tjInitDecompress()) {}

TJpegDecoder::~TJpegDecoder() {
    if (Handle)
        tjDestroy(Handle);
}

bool TJpegDecoder::ReadSize(const std::uint8_t* data, std::size_t size, int& width, int& height) {
    if (!Handle || !data || !FitsDecoderSize(size))
        return false;
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(Handle, data, static_cast<unsigned long>(size), &w, &h, &subsampling,
                            &colorspace) != 0)
        return false;
    if (!FitsFrame(w, h))
        return false;
    width = w;
    height = h;
    return true;
}

bool TJpegDecoder::DecodeBGRBottomUp(const std::uint8_t* data, std::size_t size,
                                     std::uint8_t* target, int width, int height) {
    if (!Handle || !data || !target || !FitsDecoderSize(size) || !FitsFrame(width, height))
        return false;
    return tjDecompress2(Handle, data, static_cast<unsigned long>(size), target, width, width * 3,
                         height, TJPF_BGR, TJFLAG_BOTTOMUP) == 0;
}

bool TJpegDecoder::DecodeRGB(const std::uint8_t* data, std::size_t size, std::uint8_t* target,
                             int width, int pitch, int height) {
    if (!Handle || !data || !target || !FitsDecoderSize(size) || !FitsFrame(width, height))
        return false;
    return tjDecompress2(Handle, data, static_cast<unsigned long>(size), target, width, pitch,
                         height, TJPF_RGB, 0) == 0;
}

std::vector<std::uint8_t> EncodeJpeg(const std::uint8_t* frame, int width, int height, int quality,
                                     bool progressive) {
    std::vector<std::uint8_t> out;
    if (!frame || !FitsFrame(width, height))
        return out;
    tjhandle handle = tjInitCompress();
    if (!handle)
        return out;
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int flags = TJFLAG_BOTTOMUP | (progressive ? TJFLAG_PROGRESSIVE : 0);
    if (tjCompress2(handle, frame, width, width * 3, height, TJPF_BGR, &jpeg, &jpegSize, TJSAMP_420,
                    quality, flags) == 0)
        out.assign(jpeg, jpeg + jpegSize);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::vector<std::uint8_t> EncodeBmp24(const std::uint8_t* frame, int width, int height) {
    std::vector<std::uint8_t> out;
    if (!frame || !FitsFrame(width, height))
        return out;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (row + 3) & ~std::size_t{3};
    const std::size_t image = stride * static_cast<std::size_t>(height);
    constexpr std::size_t headers = 14 + 40;
    out.assign(headers + image, 0);
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLE(h + 2, static_cast<std::uint32_t>(out.size()), 4);
    PutLE(h + 10, headers, 4);
    PutLE(h + 14, 40, 4);
    PutLE(h + 18, static_cast<std::uint32_t>(width), 4);
    PutLE(h + 22, static_cast<std::uint32_t>(height), 4); // positive: bottom-up, as our rows are
    PutLE(h + 26, 1, 2);
    PutLE(h + 28, 24, 2);
    PutLE(h + 34, static_cast<std::uint32_t>(image), 4);
    PutLE(h + 38, 2835, 4); // 72 dpi
    PutLE(h + 42, 2835, 4);
    for (int y = 0; y < height; ++y)
        std::memcpy(h + headers + stride * y, frame + row * y, row);
    return out;
}
