// Owners of FFmpeg's objects: each frees its object the one way FFmpeg wants it freed.
#ifndef VELMORIN_WAVE_FFMPEG_FFMPEG_OWNERS_H
#define VELMORIN_WAVE_FFMPEG_FFMPEG_OWNERS_H

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

using InputOwner = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecOwner = std::unique_ptr<AVCodecContext, CodecFreer>;
using ResamplerOwner = std::unique_ptr<SwrContext, ResamplerFreer>;
using PacketOwner = std::unique_ptr<AVPacket, PacketFreer>;
using FrameOwner = std::unique_ptr<AVFrame, FrameFreer>;

#endif
