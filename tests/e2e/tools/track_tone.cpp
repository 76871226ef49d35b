// Reads a recording of a played sweep (see make_sweep) and tells, stretch by stretch, when
// there was sound and which part of the source file it came from. The recording is cut
// into short blocks; a block is sound when its RMS level is above a threshold, and the
// dominant frequency of a sound block, found by a zero-padded FFT peak search inside the
// sweep's band, maps back to a byte offset of the source. Stretches are split at silence
// and wherever the offset jumps (a step back, a skip), even with no silence in between.
//
//   track_tone REC.wav [--sweep SRC.wav | --bytes N --rate HZ] [--f0 HZ] [--f1 HZ]
//              [--block MS] [--window MS] [--threshold LEVEL] [--tolerance BYTES] [--raw]
//
// Output, one line per stretch, times in ms from the start of the recording:
//   sound <t_start> <t_end> <offset_start> <offset_end>
//   silence <t_start> <t_end>
// With --raw, one line per block instead:
//   block <t_center_ms> <rms> <freq_hz> <offset> sound|silence

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Options {
    std::string recording;
    std::string sweep;
    double source_bytes = 0;    // byte count of the played sweep
    double source_rate = 8000;  // its bytes per second (8-bit mono: its sample rate)
    double f0 = 200;
    double f1 = 3200;
    double block_ms = 10;
    double window_ms = 20;
    // RMS, full scale = 1. The null sink's silence is exact zero, so a low level still
    // tells sound apart when the player's volume is turned well down.
    double threshold = 0.005;
    double tolerance = 250;  // bytes an offset may stray from steady playback
    bool raw = false;
};

struct Audio {
    double rate = 0;
    std::vector<double> samples;  // channels averaged, full scale = 1
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "track_tone: %s\n", message.c_str());
    std::exit(2);
}

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        Fail("cannot open " + path);
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.insert(data.end(), buffer, buffer + got);
    }
    std::fclose(in);
    return data;
}

// The WAVE header fields this tool needs, and where the sample data lies.
struct WaveInfo {
    int channels = 0;
    int bits = 0;
    double rate = 0;
    size_t data_offset = 0;
    size_t data_size = 0;
};

WaveInfo ParseWave(const std::vector<uint8_t>& file, const std::string& path) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        Fail(path + " is not a WAVE file");
    }
    WaveInfo info;
    bool have_format = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint8_t* chunk = file.data() + pos;
        size_t size = Le(chunk + 4, 4);
        const size_t body = pos + 8;
        // Recorders that stream may leave a size they could not know yet.
        if (size > file.size() - body)
            size = file.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            const uint8_t* f = file.data() + body;
            unsigned tag = Le(f, 2);
            if (tag == 0xFFFE && size >= 40)
                tag = Le(f + 24, 2);  // extensible: sub-format
            if (tag != 1)
                Fail(path + ": only PCM is read");
            info.channels = static_cast<int>(Le(f + 2, 2));
            info.rate = Le(f + 4, 4);
            info.bits = static_cast<int>(Le(f + 14, 2));
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_format)
                Fail(path + ": data before format");
            info.data_offset = body;
            info.data_size = size;
            return info;
        }
        pos = body + size + (size & 1);
    }
    Fail(path + ": no data chunk");
}

Audio ReadRecording(const std::string& path) {
    const std::vector<uint8_t> file = ReadAll(path);
    const WaveInfo info = ParseWave(file, path);
    if ((info.bits != 16 && info.bits != 8) || info.channels < 1 || info.rate <= 0) {
        Fail(path + ": 8- or 16-bit PCM expected");
    }
    const size_t frame = static_cast<size_t>(info.channels) * (info.bits / 8);
    const size_t frames = info.data_size / frame;
    Audio audio;
    audio.rate = info.rate;
    audio.samples.resize(frames);
    const uint8_t* p = file.data() + info.data_offset;
    for (size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (int c = 0; c < info.channels; ++c) {
            if (info.bits == 16) {
                sum += static_cast<int16_t>(Le(p, 2)) / 32768.0;
                p += 2;
            } else {
                sum += (*p - 128) / 128.0;
                p += 1;
            }
        }
        audio.samples[i] = sum / info.channels;
    }
    return audio;
}

void Fft(std::vector<std::complex<double>>* data) {
    std::vector<std::complex<double>>& a = *data;
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * kPi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Finds the dominant frequency of a stretch of samples inside [low, high] Hz. A Hann
// window keeps the leakage of the tone's mirror image and of clicks low; zero padding
// and a parabola through the log magnitudes around the peak bin give a resolution far
// finer than the window length alone would, which the byte mapping needs.
class PeakFinder {
  public:
    PeakFinder(size_t window, double rate, double low, double high) : window_(window), rate_(rate) {
        size_ = 1;
        while (size_ < std::max<size_t>(4096, 4 * window))
            size_ <<= 1;
        hann_.resize(window);
        for (size_t i = 0; i < window; ++i) {
            hann_[i] = 0.5 - 0.5 * std::cos(2 * kPi * (static_cast<double>(i) + 0.5) /
                                            static_cast<double>(window));
        }
        const double bin = rate / static_cast<double>(size_);
        low_bin_ = std::max<size_t>(1, static_cast<size_t>(std::floor(low / bin)));
        high_bin_ = std::min<size_t>(size_ / 2 - 2, static_cast<size_t>(std::ceil(high / bin)));
        buffer_.resize(size_);
    }

    // first: index of the first sample; samples outside the recording count as zero.
    double Find(const std::vector<double>& samples, long first) {
        std::fill(buffer_.begin(), buffer_.end(), std::complex<double>(0));
        for (size_t i = 0; i < window_; ++i) {
            const long at = first + static_cast<long>(i);
            if (at >= 0 && at < static_cast<long>(samples.size())) {
                buffer_[i] = samples[static_cast<size_t>(at)] * hann_[i];
            }
        }
        Fft(&buffer_);
        size_t peak = low_bin_;
        for (size_t k = low_bin_; k <= high_bin_; ++k) {
            if (std::norm(buffer_[k]) > std::norm(buffer_[peak]))
                peak = k;
        }
        const double a = std::log(std::abs(buffer_[peak - 1]) + 1e-12);
        const double b = std::log(std::abs(buffer_[peak]) + 1e-12);
        const double c = std::log(std::abs(buffer_[peak + 1]) + 1e-12);
        double shift = 0;
        if (a - 2 * b + c < 0)
            shift = std::clamp(0.5 * (a - c) / (a - 2 * b + c), -0.5, 0.5);
        return (static_cast<double>(peak) + shift) * rate_ / static_cast<double>(size_);
    }

  private:
    size_t window_;
    double rate_;
    size_t size_;
    size_t low_bin_ = 0;
    size_t high_bin_ = 0;
    std::vector<double> hann_;
    std::vector<std::complex<double>> buffer_;
};

struct Block {
    double t_ms = 0;  // centre
    double rms = 0;
    double freq = 0;
    double offset = 0;
    bool sound = false;
};

// A run of sound blocks that belong to one steady playback of the source.
struct Piece {
    size_t first = 0;  // block indices, inclusive
    size_t last = 0;
    size_t count() const { return last - first + 1; }
};

struct Line {
    double slope;  // bytes per ms
    double at;     // offset at time t
    double t;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Offset against time over the blocks [first, last]. The median of the offsets, each
// moved to the centre time along the nominal slope, resists the odd block whose window
// straddled a jump; a least-squares fit through the blocks that agree with it then
// gives the slope actually played when the piece is long enough to show it.
Line FitPiece(const std::vector<Block>& blocks, size_t first, size_t last, double nominal,
              double tolerance) {
    // The analysis windows of the end blocks reach into the silence or the other sound
    // beyond the piece, which pulls their frequency; leave them out when there are enough.
    if (last - first >= 4) {
        ++first;
        --last;
    }
    const double tc = 0.5 * (blocks[first].t_ms + blocks[last].t_ms);
    std::vector<double> moved;
    for (size_t i = first; i <= last; ++i) {
        moved.push_back(blocks[i].offset - nominal * (blocks[i].t_ms - tc));
    }
    Line line{nominal, Median(moved), tc};
    double n = 0, st = 0, so = 0, stt = 0, sto = 0;
    for (size_t i = first; i <= last; ++i) {
        if (std::fabs(moved[i - first] - line.at) > tolerance / 2)
            continue;
        const double t = blocks[i].t_ms - tc;
        n += 1;
        st += t;
        so += blocks[i].offset;
        stt += t * t;
        sto += t * blocks[i].offset;
    }
    const double span = blocks[last].t_ms - blocks[first].t_ms;
    if (n >= 5 && span >= 100) {
        const double det = n * stt - st * st;
        if (det > 0) {
            line.slope = (n * sto - st * so) / det;
            line.at = (so - line.slope * st) / n;
        }
    }
    return line;
}

double OffsetAt(const Line& line, double t) {
    return line.at + line.slope * (t - line.t);
}

void Usage() {
    std::fprintf(stderr,
                 "usage: track_tone REC.wav [--sweep SRC.wav | --bytes N --rate HZ] [--f0 HZ]\n"
                 "       [--f1 HZ] [--block MS] [--window MS] [--threshold LEVEL]\n"
                 "       [--tolerance BYTES] [--raw]\n");
    std::exit(2);
}

double Number(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value))
        Usage();
    return value;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--raw") {
            o.raw = true;
        } else if (arg == "--sweep" && has_value) {
            o.sweep = argv[++i];
        } else if (arg == "--bytes" && has_value) {
            o.source_bytes = Number(argv[++i]);
        } else if (arg == "--rate" && has_value) {
            o.source_rate = Number(argv[++i]);
        } else if (arg == "--f0" && has_value) {
            o.f0 = Number(argv[++i]);
        } else if (arg == "--f1" && has_value) {
            o.f1 = Number(argv[++i]);
        } else if (arg == "--block" && has_value) {
            o.block_ms = Number(argv[++i]);
        } else if (arg == "--window" && has_value) {
            o.window_ms = Number(argv[++i]);
        } else if (arg == "--threshold" && has_value) {
            o.threshold = Number(argv[++i]);
        } else if (arg == "--tolerance" && has_value) {
            o.tolerance = Number(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-' && o.recording.empty()) {
            o.recording = arg;
        } else {
            Usage();
        }
    }
    if (o.recording.empty())
        Usage();
    if (!o.sweep.empty()) {
        const std::vector<uint8_t> file = ReadAll(o.sweep);
        const WaveInfo info = ParseWave(file, o.sweep);
        o.source_bytes = static_cast<double>(info.data_size);
        o.source_rate = info.rate * info.channels * (info.bits / 8);
    }
    if (o.source_bytes < 2 || o.source_rate <= 0 || o.f0 == o.f1 || o.block_ms <= 0 ||
        o.window_ms <= 0 || o.threshold <= 0 || o.tolerance <= 0) {
        Usage();
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = ParseOptions(argc, argv);
    const Audio audio = ReadRecording(o.recording);
    const std::vector<double>& x = audio.samples;
    const auto block =
        static_cast<size_t>(std::max(1.0, std::round(o.block_ms * audio.rate / 1000)));
    const auto window =
        static_cast<size_t>(std::max(8.0, std::round(o.window_ms * audio.rate / 1000)));
    const double block_ms = 1000.0 * static_cast<double>(block) / audio.rate;
    const double nominal = o.source_rate / 1000;  // bytes per ms of steady playback
    const double low = std::min(o.f0, o.f1) - 100;
    const double high = std::max(o.f0, o.f1) + 100;
    PeakFinder finder(window, audio.rate, std::max(low, 20.0), std::min(high, audio.rate / 2));
    auto to_ms = [&](double sample) { return 1000.0 * sample / audio.rate; };

    std::vector<Block> blocks(x.size() / block);
    for (size_t b = 0; b < blocks.size(); ++b) {
        Block& k = blocks[b];
        double energy = 0;
        for (size_t i = b * block; i < (b + 1) * block; ++i)
            energy += x[i] * x[i];
        k.rms = std::sqrt(energy / static_cast<double>(block));
        k.t_ms = to_ms((static_cast<double>(b) + 0.5) * static_cast<double>(block));
        k.sound = k.rms > o.threshold;
        if (!k.sound)
            continue;
        const long centre = static_cast<long>(b * block + block / 2);
        k.freq = finder.Find(x, centre - static_cast<long>(window / 2));
        k.offset = (k.freq - o.f0) / (o.f1 - o.f0) * (o.source_bytes - 1);
    }

    if (o.raw) {
        for (const Block& k : blocks) {
            std::printf("block %.1f %.4f %.1f %.0f %s\n", k.t_ms, k.rms, k.freq, k.offset,
                        k.sound ? "sound" : "silence");
        }
        return 0;
    }

    // Where sound really starts and ends, to the sample: the first and last sample above
    // the threshold around a block edge. Block edges alone would be 10 ms coarse.
    auto onset = [&](size_t b) {
        const size_t from = b > 0 ? (b - 1) * block : 0;
        for (size_t i = from; i < (b + 1) * block; ++i) {
            if (std::fabs(x[i]) > o.threshold)
                return to_ms(static_cast<double>(i));
        }
        return to_ms(static_cast<double>(b * block));
    };
    auto ending = [&](size_t b) {
        const size_t to = std::min(x.size(), (b + 2) * block);
        for (size_t i = to; i > b * block; --i) {
            if (std::fabs(x[i - 1]) > o.threshold)
                return to_ms(static_cast<double>(i));
        }
        return to_ms(static_cast<double>((b + 1) * block));
    };
    auto clamp_offset = [&](double offset) { return std::clamp(offset, 0.0, o.source_bytes); };

    double silence_from = 0;
    size_t b = 0;
    while (b < blocks.size()) {
        if (!blocks[b].sound) {
            ++b;
            continue;
        }
        size_t run_end = b;
        while (run_end + 1 < blocks.size() && blocks[run_end + 1].sound)
            ++run_end;

        // Split the run wherever a block does not continue the previous one.
        std::vector<Piece> pieces{{b, b}};
        for (size_t i = b + 1; i <= run_end; ++i) {
            const double expected = blocks[i - 1].offset + nominal * block_ms;
            if (std::fabs(blocks[i].offset - expected) > o.tolerance) {
                pieces.push_back({i, i});
            } else {
                pieces.back().last = i;
            }
        }
        // A block or two that fit nowhere come from an analysis window straddling a
        // jump; they are left out, and what they separated is joined again when the
        // two sides continue each other.
        std::vector<Piece> steady;
        for (const Piece& p : pieces) {
            if (p.count() < 3 && pieces.size() > 1)
                continue;
            if (!steady.empty()) {
                const Piece& prev = steady.back();
                const double expected = blocks[prev.last].offset +
                                        nominal * (blocks[p.first].t_ms - blocks[prev.last].t_ms);
                if (std::fabs(blocks[p.first].offset - expected) <= o.tolerance) {
                    steady.back().last = p.last;
                    continue;
                }
            }
            steady.push_back(p);
        }
        if (steady.empty())
            steady.push_back({b, run_end});

        const double run_start_ms = onset(b);
        const double run_end_ms = ending(run_end);
        if (std::lround(run_start_ms) > std::lround(silence_from)) {
            std::printf("silence %.0f %.0f\n", silence_from, run_start_ms);
        }
        for (size_t s = 0; s < steady.size(); ++s) {
            const Piece& p = steady[s];
            // Between two pieces the jump lies somewhere among the blocks left out;
            // the middle is the best guess, within half a block plus those blocks.
            const double start =
                s == 0 ? run_start_ms
                       : 0.5 * (blocks[steady[s - 1].last].t_ms + blocks[p.first].t_ms);
            const double end = s + 1 == steady.size()
                                   ? run_end_ms
                                   : 0.5 * (blocks[p.last].t_ms + blocks[steady[s + 1].first].t_ms);
            const Line line = FitPiece(blocks, p.first, p.last, nominal, o.tolerance);
            std::printf("sound %.0f %.0f %.0f %.0f\n", start, end,
                        clamp_offset(OffsetAt(line, start)), clamp_offset(OffsetAt(line, end)));
        }
        silence_from = run_end_ms;
        b = run_end + 1;
    }
    const double total_ms = to_ms(static_cast<double>(x.size()));
    if (std::lround(total_ms) > std::lround(silence_from))
        std::printf("silence %.0f %.0f\n", silence_from, total_ms);
    return 0;
}
