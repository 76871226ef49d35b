// Decoded data from FFmpeg's libraries: the recording's first audio stream that can be
// decoded, as 16-bit PCM at its own rate, mixed down to two channels (or one, where two
// would pass 32-bit positions).
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wave/decoded_window.h"
#include "wave/ffmpeg/ffmpeg_owners.h"

namespace {

// What may open: containers of sound (and the sound of videos). Pictures, subtitles,
// playlists and other files FFmpeg knows are not recordings and are refused at once.
constexpr char kContainers[] =
    "aac,ac3,aiff,amr,amrnb,amrwb,ape,asf,au,avi,caf,dss,dts,eac3,flac,flv,gsm,loas,"
    "matroska,webm,mov,mp4,m4a,3gp,3g2,mj2,mp3,mpc,mpc8,mpeg,mpegts,ogg,rm,tta,voc,w64,"
    "wav,wv";
// Opening gives up on a file that takes longer than this to show its first sound.
constexpr auto kOpenTime = std::chrono::seconds(1);
// A file that gives no sound within this many packets of its stream is not a recording.
constexpr int kFirstSoundPackets = 2000;
// How far before a seek's target decoding starts, so that decoders whose state spans
// frames (the MP3 bit reservoir, overlapping transforms, Opus's pre-roll) give the target's
// frames as they do when decoding from the start.
constexpr int64_t kPrerollMs = 500;
constexpr int kSeekTries = 4;
// The largest data a 32-bit position can reach, as for a WAVE file.
constexpr uint64_t kMaxBytes = 0xFFFFFFFEu;
constexpr int kMaxRate = 768000;

struct Deadline {
    bool armed = false;
    std::chrono::steady_clock::time_point until;
};

int Interrupted(void* opaque) {
    const auto* deadline = static_cast<const Deadline*>(opaque);
    return deadline->armed && std::chrono::steady_clock::now() > deadline->until ? 1 : 0;
}

class FfmpegDecoder final : public SoundDecoder {
  public:
    FfmpegDecoder() = default;
    ~FfmpegDecoder() override { av_channel_layout_uninit(&resamplerLayout_); }
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    // Opens `path`; false when it is no recording FFmpeg can decode.
    bool Open(const char* path);
    const WaveFormat& Format() const { return format_; }
    uint32_t Size() const { return size_; }

    bool SeekBefore(uint64_t frame) override;
    bool Decode(std::vector<int16_t>* samples, uint64_t* first) override;

  private:
    bool OpenInput();
    bool OpenStream();
    bool NextFrame();
    int64_t EndByScan();
    int64_t SoundEnd(int64_t stated);
    bool SeekTo(int64_t target);
    bool Convert(std::vector<int16_t>* samples, uint64_t* first);
    bool ConfigureResampler();
    int64_t FrameOf(int64_t pts) const;

    std::string path_;
    Deadline deadline_;
    InputOwner input_;
    CodecOwner codec_;
    ResamplerOwner resampler_;
    PacketOwner packet_{av_packet_alloc()};
    FrameOwner frame_{av_frame_alloc()};
    AVStream* stream_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;         // out
    int64_t origin_ = 0;       // pts of the first sound
    int64_t expected_ = 0;     // frame after the last one converted
    bool continuing_ = false;  // and the next one follows it
    bool drained_ = false;
    bool held_ = false;  // frame_ holds a decoded frame not yet handed out
    int resamplerFormat_ = -1;
    AVChannelLayout resamplerLayout_{};
    int skipped_ = 0;
    WaveFormat format_{};
    uint32_t size_ = 0;
};

bool FfmpegDecoder::Open(const char* path) {
    if (!packet_ || !frame_ || path == nullptr)
        return false;
    path_ = path;
    deadline_ = {true, std::chrono::steady_clock::now() + kOpenTime};
    if (!OpenInput())
        return false;

    int64_t end = AV_NOPTS_VALUE;
    bool scanned = false;
    // A length from the bit rate is a guess, except for samples of a constant size.
    if (stream_->duration > 0 &&
        (input_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE ||
         av_get_bits_per_sample(stream_->codecpar->codec_id) > 0)) {
        end = (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0) + stream_->duration;
    } else {
        // Only a guess from the bit rate: the packets' own times say where the sound ends.
        deadline_.armed = false;
        end = EndByScan();
        scanned = true;
        if (end == AV_NOPTS_VALUE || !SeekTo(0))
            return false;
        deadline_ = {true, std::chrono::steady_clock::now() + kOpenTime};
    }
    // The first sound: proof that this is a recording, and where frame 0 is.
    if (!NextFrame())
        return false;
    deadline_.armed = false;
    held_ = true;
    origin_ = frame_->best_effort_timestamp != AV_NOPTS_VALUE ? frame_->best_effort_timestamp : 0;
    // A length counted in the sound's own frames is exact (MP4's sample tables, Ogg's last
    // granule, FLAC's STREAMINFO), though the decoder may give a padded last frame beyond
    // it. Other lengths may be rounded (ASF's milliseconds): there the end of decoding the
    // last second is the length. Where nothing decodes there the file holds less than it
    // says; the stated length stands and playing ends where the sound does.
    // FFmpeg seeks in an MP3 only by reading through it, so that would read the whole
    // file: its Xing frame count stands, counted from its first frame, with the encoder's
    // padding at the end (within 1152 + 529 frames) that its LAME tag states but FFmpeg's
    // length leaves in.
    const bool mp3 = std::strcmp(input_->iformat->name, "mp3") == 0;
    const int64_t stated = FrameOf(mp3 && !scanned ? stream_->duration : end);
    const int64_t found = mp3 ? -1 : SoundEnd(stated);
    if (found == -2)
        return false;
    const bool exact = av_cmp_q(stream_->time_base, AVRational{1, rate_}) == 0;
    const int64_t frames = found < 0 ? stated : exact ? std::min(stated, found) : found;
    if (frames <= 0)
        return false;
    channels_ = std::min(codec_->ch_layout.nb_channels, 2);
    if (channels_ == 2 && static_cast<uint64_t>(frames) * 4 > kMaxBytes)
        channels_ = 1;
    const uint32_t align = static_cast<uint32_t>(2 * channels_);
    const uint64_t bytes =
        std::min(static_cast<uint64_t>(frames) * align, kMaxBytes / align * align);
    size_ = static_cast<uint32_t>(bytes);
    format_.wFormatTag = WAVE_FORMAT_PCM_TAG;
    format_.nChannels = static_cast<uint16_t>(channels_);
    format_.nSamplesPerSec = static_cast<uint32_t>(rate_);
    format_.nAvgBytesPerSec = static_cast<uint32_t>(rate_) * align;
    format_.nBlockAlign = static_cast<uint16_t>(align);
    format_.wBitsPerSample = 16;
    format_.cbSize = 0;
    return true;
}

// Opens the file afresh; from the start, this is the only way that every demuxer and
// decoder gives what it gave the first time (a seek to the start may skip an AAC priming
// frame or a start padding).
bool FfmpegDecoder::OpenInput() {
    codec_.reset();
    input_.reset();
    stream_ = nullptr;
    held_ = false;
    drained_ = false;
    continuing_ = false;
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr)
        return false;
    raw->interrupt_callback = {Interrupted, &deadline_};
    AVDictionary* options = nullptr;
    // Only the file itself: a name is never taken for a network address or another protocol.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    const std::string url = "file:" + path_;
    const int opened = avformat_open_input(&raw, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return false;  // FFmpeg has freed the context
    input_.reset(raw);
    // A format guessed from a few stray bytes is no recording.
    if (input_->probe_score <= AVPROBE_SCORE_RETRY)
        return false;
    return avformat_find_stream_info(input_.get(), nullptr) >= 0 && OpenStream();
}

bool FfmpegDecoder::OpenStream() {
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        AVStream* stream = input_->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO || stream_ != nullptr) {
            stream->discard = AVDISCARD_ALL;  // the demuxer then skips their packets
            continue;
        }
        const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
        if (decoder == nullptr || parameters->sample_rate <= 0 ||
            parameters->sample_rate > kMaxRate || parameters->ch_layout.nb_channels <= 0) {
            stream->discard = AVDISCARD_ALL;
            continue;
        }
        CodecOwner codec(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0)
            return false;
        codec->pkt_timebase = stream->time_base;
        if (avcodec_open2(codec.get(), decoder, nullptr) < 0) {
            stream->discard = AVDISCARD_ALL;
            continue;
        }
        codec_ = std::move(codec);
        stream_ = stream;
        rate_ = parameters->sample_rate;
    }
    return stream_ != nullptr;
}

int64_t FfmpegDecoder::FrameOf(int64_t pts) const {
    return av_rescale_q_rnd(pts - origin_, stream_->time_base, AVRational{1, rate_},
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

// The next decoded frame of the stream into frame_; false at the end of the sound.
bool FfmpegDecoder::NextFrame() {
    int packets = 0;
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), frame_.get());
        if (received == 0) {
            skipped_ = 0;
            return true;
        }
        if (received != AVERROR(EAGAIN) || drained_)
            return false;
        if (av_read_frame(input_.get(), packet_.get()) < 0) {
            // The end of the file (or an error reading it): what the decoder holds comes last.
            drained_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index != stream_->index) {
            av_packet_unref(packet_.get());
            continue;
        }
        const int sent = avcodec_send_packet(codec_.get(), packet_.get());
        av_packet_unref(packet_.get());
        // A damaged packet is skipped, as players do; a stream of nothing else ends.
        if (sent < 0 && ++skipped_ > kFirstSoundPackets)
            return false;
        if (deadline_.armed && ++packets > kFirstSoundPackets)
            return false;
    }
}

int64_t FfmpegDecoder::EndByScan() {
    int64_t end = AV_NOPTS_VALUE;
    while (av_read_frame(input_.get(), packet_.get()) >= 0) {
        if (packet_->stream_index == stream_->index && packet_->pts != AV_NOPTS_VALUE)
            end = std::max(end, packet_->pts + std::max<int64_t>(packet_->duration, 0));
        av_packet_unref(packet_.get());
    }
    return end;
}

// Where decoding the last second before `stated` ends, or -1 where nothing decodes there;
// afterwards the decoder stands at the start again (false when it cannot).
int64_t FfmpegDecoder::SoundEnd(int64_t stated) {
    int64_t end = -1;
    if (SeekBefore(static_cast<uint64_t>(std::max<int64_t>(0, stated - rate_)))) {
        int64_t next = 0;
        while (held_ || NextFrame()) {
            held_ = false;
            const int64_t pts = frame_->best_effort_timestamp;
            next = (pts != AV_NOPTS_VALUE ? FrameOf(pts) : next) + frame_->nb_samples;
            end = std::max(end, next);
        }
    }
    if (!SeekTo(0) || !NextFrame())
        return -2;
    held_ = true;
    return end;
}

bool FfmpegDecoder::SeekTo(int64_t target) {
    if (target <= 0)
        return OpenInput();
    held_ = false;
    drained_ = false;
    continuing_ = false;
    const int64_t at = origin_ + av_rescale_q(target, AVRational{1, rate_}, stream_->time_base);
    const int index = stream_->index;
    if (avformat_seek_file(input_.get(), index, INT64_MIN, at, at, 0) < 0 &&
        av_seek_frame(input_.get(), index, at, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(codec_.get());
    return true;
}

bool FfmpegDecoder::SeekBefore(uint64_t frame) {
    const int64_t preroll = av_rescale(kPrerollMs, rate_, 1000);
    int64_t target = static_cast<int64_t>(frame) - preroll;
    // A seek that lands after its target goes again from further back, at last from the
    // start.
    for (int tries = 0; tries < kSeekTries; ++tries, target -= preroll << tries) {
        if (!SeekTo(target))
            return false;
        if (!NextFrame())
            return false;  // past the end of the sound
        held_ = true;
        const int64_t pts = frame_->best_effort_timestamp;
        if (target <= 0 || (pts != AV_NOPTS_VALUE && FrameOf(pts) <= static_cast<int64_t>(frame)))
            return true;
    }
    return SeekTo(0);
}

bool FfmpegDecoder::ConfigureResampler() {
    if (resampler_ && frame_->format == resamplerFormat_ &&
        av_channel_layout_compare(&frame_->ch_layout, &resamplerLayout_) == 0)
        return true;
    AVChannelLayout in{};
    if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame_->ch_layout.nb_channels <= 0)
        av_channel_layout_default(&in, frame_->ch_layout.nb_channels > 0
                                           ? frame_->ch_layout.nb_channels
                                           : codec_->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&in, &frame_->ch_layout) < 0)
        return false;
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels_);
    SwrContext* made = nullptr;
    const int set =
        swr_alloc_set_opts2(&made, &out, AV_SAMPLE_FMT_S16, rate_, &in,
                            static_cast<AVSampleFormat>(frame_->format), rate_, 0, nullptr);
    av_channel_layout_uninit(&in);
    resampler_.reset(made);
    if (set < 0 || swr_init(resampler_.get()) < 0) {
        resampler_.reset();
        return false;
    }
    resamplerFormat_ = frame_->format;
    av_channel_layout_uninit(&resamplerLayout_);
    return av_channel_layout_copy(&resamplerLayout_, &frame_->ch_layout) >= 0;
}

bool FfmpegDecoder::Convert(std::vector<int16_t>* samples, uint64_t* first) {
    samples->clear();
    const int count = frame_->nb_samples;
    // Frames at another rate than the stream's first would change the format: left out.
    if (count <= 0 || frame_->sample_rate != rate_)
        return true;
    if (!ConfigureResampler())
        return false;
    samples->resize(static_cast<size_t>(count) * static_cast<size_t>(channels_));
    auto* out = reinterpret_cast<uint8_t*>(samples->data());
    const int made = swr_convert(resampler_.get(), &out, count,
                                 const_cast<const uint8_t**>(frame_->extended_data), count);
    if (made < 0)
        return false;
    samples->resize(static_cast<size_t>(made) * static_cast<size_t>(channels_));
    const int64_t pts = frame_->best_effort_timestamp;
    int64_t at = pts != AV_NOPTS_VALUE ? FrameOf(pts) : expected_;
    // Decoded frames follow each other: counted from where a run of decoding began, as
    // playing from the start counts them. Frame times are coarser (Matroska's and ASF's
    // milliseconds) or estimated within a page (Ogg's), and would leave gaps or overlaps.
    if (continuing_)
        at = expected_;
    continuing_ = true;
    expected_ = at + made;
    if (at < 0) {
        // Before the first sound (a seek's pre-roll at the start): not part of the data.
        const auto drop = static_cast<size_t>(std::min<int64_t>(-at, made)) * channels_;
        samples->erase(samples->begin(), samples->begin() + static_cast<std::ptrdiff_t>(drop));
        at = 0;
    }
    *first = static_cast<uint64_t>(at);
    return true;
}

bool FfmpegDecoder::Decode(std::vector<int16_t>* samples, uint64_t* first) {
    if (!held_ && !NextFrame())
        return false;
    held_ = false;
    return Convert(samples, first);
}

}  // namespace

const char* DecodedFilePatterns() {
    return "*.wav;*.mp3;*.m4a;*.m4b;*.aac;*.ogg;*.oga;*.opus;*.flac;*.wma;*.amr;*.awb;*.dss;"
           "*.aif;*.aiff;*.caf;*.wv;*.ape;*.ac3;*.au;*.mka;*.mp4;*.m4v;*.mov;*.3gp;*.3g2;"
           "*.mkv;*.webm;*.avi;*.wmv;*.asf;*.mpg;*.mpeg;*.ts;*.flv";
}

std::shared_ptr<DecodedData> OpenDecodedData(const char* path) {
    av_log_set_level(AV_LOG_QUIET);
    auto decoder = std::make_unique<FfmpegDecoder>();
    if (path == nullptr || !decoder->Open(path))
        return nullptr;
    const WaveFormat format = decoder->Format();
    const uint32_t size = decoder->Size();
    return std::make_shared<DecodedWindow>(std::move(decoder), format, size);
}
