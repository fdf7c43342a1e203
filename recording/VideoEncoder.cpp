#include "recording/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace {

// Fixed quantiser for the MPEG-4 frames: every frame is intra-coded, and a rate target would
// starve them.
constexpr int Mpeg4Quantiser = 3;
constexpr int Msvideo1Block = 4;
constexpr int Mpeg4MaxSide = 8191;

// Codes players know for the frame format header.
constexpr std::uint32_t CompressionCram = FourCC("CRAM");
constexpr std::uint32_t CompressionIyuv = FourCC("IYUV");

} // namespace

struct TVideoEncoder::TState {
    std::uint32_t Code = 0;
    int Width = 0;
    int Height = 0;
    AVPixelFormat Target = AV_PIX_FMT_NONE; // none: the frame goes out as it is
    AVCodecContext* Context = nullptr;
    AVFrame* Frame = nullptr;
    AVPacket* Packet = nullptr;
    SwsContext* Scaler = nullptr;
    std::int64_t NextPts = 0;

    ~TState() {
        sws_freeContext(Scaler);
        av_packet_free(&Packet);
        av_frame_free(&Frame);
        avcodec_free_context(&Context);
    }

    bool OpenScaler() {
        Scaler = sws_getContext(Width, Height, AV_PIX_FMT_BGR24, Width, Height, Target,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
        Frame = av_frame_alloc();
        if (!Scaler || !Frame)
            return false;
        Frame->format = Target;
        Frame->width = Width;
        Frame->height = Height;
        return av_frame_get_buffer(Frame, 0) >= 0;
    }

    bool OpenCodec(const char* name, std::uint32_t tag) {
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (!codec)
            return false;
        Context = avcodec_alloc_context3(codec);
        Packet = av_packet_alloc();
        if (!Context || !Packet)
            return false;
        Context->width = Width;
        Context->height = Height;
        Context->pix_fmt = Target;
        Context->time_base = AVRational{1, 25};
        Context->gop_size = 1; // a key frame on every frame
        Context->max_b_frames = 0;
        Context->thread_count = 1;
        Context->codec_tag = tag;
        if (Code == CodecXvid) {
            Context->flags |= AV_CODEC_FLAG_QSCALE;
            Context->global_quality = FF_QP2LAMBDA * Mpeg4Quantiser;
        }
        return avcodec_open2(Context, codec, nullptr) >= 0;
    }

    // The bottom-up rows are read from the last one with a negative stride: top-down for the
    // converter.
    bool Convert(const std::uint8_t* dib) {
        if (av_frame_make_writable(Frame) < 0)
            return false;
        const int rowBytes = static_cast<int>(DibRowBytes(Width));
        const std::uint8_t* source[1] = {dib + static_cast<std::size_t>(Height - 1) * rowBytes};
        const int strides[1] = {-rowBytes};
        return sws_scale(Scaler, source, strides, 0, Height, Frame->data, Frame->linesize) ==
               Height;
    }
};

TVideoEncoder::TVideoEncoder() = default;
TVideoEncoder::~TVideoEncoder() = default;

void TVideoEncoder::FitFrame(std::uint32_t code, int& width, int& height) {
    if (code == CodecMsvc) {
        width = (width + Msvideo1Block - 1) / Msvideo1Block * Msvideo1Block;
        height = (height + Msvideo1Block - 1) / Msvideo1Block * Msvideo1Block;
    } else if (code == CodecXvid) {
        width = std::min(width, Mpeg4MaxSide);
        height = std::min(height, Mpeg4MaxSide);
    }
}

bool TVideoEncoder::Open(std::uint32_t code, int width, int height) {
    // The libraries' notes go to standard error; only their errors are worth a line there.
    av_log_set_level(AV_LOG_ERROR);
    State = std::make_unique<TState>();
    TState& s = *State;
    s.Code = code;
    s.Width = width;
    s.Height = height;
    bool ok = false;
    if (width <= 0 || height <= 0) {
        ok = false;
    } else if (code == CodecDib) {
        ok = true;
    } else if (code == CodecIyuv) {
        s.Target = AV_PIX_FMT_YUV420P;
        ok = s.OpenScaler();
    } else if (code == CodecMsvc) {
        s.Target = AV_PIX_FMT_RGB555LE;
        ok = s.OpenScaler() && s.OpenCodec("msvideo1", CompressionCram);
    } else if (code == CodecXvid) {
        s.Target = AV_PIX_FMT_YUV420P;
        ok = s.OpenScaler() && s.OpenCodec("mpeg4", CodecXvid);
    }
    if (!ok)
        State.reset();
    return ok;
}

TAviStreamFormat TVideoEncoder::StreamFormat() const {
    TAviStreamFormat f;
    if (!State)
        return f;
    f.Handler = State->Code;
    f.Width = State->Width;
    f.Height = State->Height;
    switch (State->Code) {
    case CodecDib:
        f.Compression = 0;
        f.BitCount = 24;
        f.ChunkId = FourCC("00db");
        break;
    case CodecIyuv:
        f.Compression = CompressionIyuv;
        f.BitCount = 12;
        break;
    case CodecMsvc:
        f.Compression = CompressionCram;
        f.BitCount = 16;
        break;
    default:
        f.Compression = State->Code;
        f.BitCount = 24;
        break;
    }
    return f;
}

bool TVideoEncoder::Encode(const std::uint8_t* dib, std::string& out, bool& keyFrame) {
    out.clear();
    keyFrame = true;
    if (!State)
        return false;
    TState& s = *State;
    if (s.Code == CodecDib) {
        out.assign(reinterpret_cast<const char*>(dib), DibRowBytes(s.Width) * s.Height);
        return true;
    }
    if (!s.Convert(dib))
        return false;
    if (!s.Context) {
        // Planar 4:2:0 goes out as the planes themselves, rows unpadded.
        const int size = av_image_get_buffer_size(s.Target, s.Width, s.Height, 1);
        if (size <= 0)
            return false;
        out.resize(static_cast<std::size_t>(size));
        return av_image_copy_to_buffer(reinterpret_cast<std::uint8_t*>(out.data()), size,
                                       s.Frame->data, s.Frame->linesize, s.Target, s.Width,
                                       s.Height, 1) == size;
    }
    s.Frame->pts = s.NextPts++;
    if (avcodec_send_frame(s.Context, s.Frame) < 0)
        return false;
    const int got = avcodec_receive_packet(s.Context, s.Packet);
    if (got == AVERROR(EAGAIN)) {
        keyFrame = false;
        return true;
    }
    if (got < 0)
        return false;
    out.assign(reinterpret_cast<const char*>(s.Packet->data),
               static_cast<std::size_t>(s.Packet->size));
    keyFrame = (s.Packet->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(s.Packet);
    return true;
}
