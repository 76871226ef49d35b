// Writes a WAVE file whose sound tells where in the file it was taken from: a sine whose
// frequency rises linearly with the byte offset. A recording of any playback of it can
// then be mapped back to byte offsets by track_tone, which is how the end-to-end tests
// see what was really played (pauses, step backs, skips) without trusting the player.
//
//   make_sweep OUT.wav LENGTH [F0 F1] [--rate HZ] [--amplitude A]
//     LENGTH  seconds ("6", "2.5") or a byte count with a trailing b ("48000b")
//     F0 F1   frequency at the first and at the last byte (default 200 and 3200 Hz)
//     --rate  samples per second (default 8000); 8-bit unsigned mono, so bytes = samples
//     --amplitude  peak level as a fraction of full scale (default 0.8)
//
// One byte is one sample, so at the defaults a 6 s file has 48000 bytes and 1 Hz of
// frequency stands for 16 bytes.

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

void Usage() {
    std::fprintf(stderr,
                 "usage: make_sweep OUT.wav SECONDS|BYTESb [F0 F1] [--rate HZ] [--amplitude A]\n");
    std::exit(2);
}

bool ParseDouble(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*value);
}

void PutLe(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    double rate = 8000;
    double amplitude = 0.8;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--rate" && i + 1 < argc) {
            if (!ParseDouble(argv[++i], &rate))
                Usage();
        } else if (arg == "--amplitude" && i + 1 < argc) {
            if (!ParseDouble(argv[++i], &amplitude))
                Usage();
        } else if (arg.size() > 1 && arg[0] == '-' &&
                   !std::isdigit(static_cast<unsigned char>(arg[1]))) {
            Usage();
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2 && positional.size() != 4)
        Usage();
    if (rate < 1000 || rate > 192000 || amplitude <= 0 || amplitude > 1)
        Usage();

    const std::string& length = positional[1];
    double count = 0;
    if (!length.empty() && length.back() == 'b') {
        if (!ParseDouble(length.substr(0, length.size() - 1).c_str(), &count))
            Usage();
    } else {
        if (!ParseDouble(length.c_str(), &count))
            Usage();
        count *= rate;
    }
    const auto bytes = static_cast<uint32_t>(std::llround(count));
    if (bytes < 2 || bytes > 100000000)
        Usage();

    double f0 = 200;
    double f1 = 3200;
    if (positional.size() == 4) {
        if (!ParseDouble(positional[2].c_str(), &f0) || !ParseDouble(positional[3].c_str(), &f1)) {
            Usage();
        }
    }
    if (f0 <= 0 || f1 <= 0 || f0 >= rate / 2 || f1 >= rate / 2) {
        std::fprintf(stderr, "make_sweep: frequencies must lie between 0 and %g Hz\n", rate / 2);
        return 2;
    }

    std::vector<uint8_t> file;
    file.reserve(44 + bytes + 1);
    const auto sample_rate = static_cast<uint32_t>(std::lround(rate));
    file.insert(file.end(), {'R', 'I', 'F', 'F'});
    PutLe(&file, 36 + bytes + (bytes & 1), 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(&file, 16, 4);
    PutLe(&file, 1, 2);            // PCM
    PutLe(&file, 1, 2);            // mono
    PutLe(&file, sample_rate, 4);  // samples per second
    PutLe(&file, sample_rate, 4);  // bytes per second
    PutLe(&file, 1, 2);            // block align
    PutLe(&file, 8, 2);            // bits per sample
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    PutLe(&file, bytes, 4);

    // The phase is accumulated rather than computed from the sample index so that the
    // tone stays continuous while its frequency changes: no clicks that a recording
    // analysis could mistake for a jump.
    double phase = 0;
    for (uint32_t n = 0; n < bytes; ++n) {
        const double frequency = f0 + (f1 - f0) * n / (bytes - 1);
        const double value = 128.0 + amplitude * 127.0 * std::sin(phase);
        file.push_back(static_cast<uint8_t>(std::lround(value)));
        phase += 2 * kPi * frequency / rate;
        if (phase > 2 * kPi)
            phase -= 2 * kPi;
    }
    if (bytes & 1)
        file.push_back(128);  // RIFF chunks are padded to an even size

    FILE* out = std::fopen(positional[0].c_str(), "wb");
    if (!out) {
        std::perror(positional[0].c_str());
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(positional[0].c_str());
        return 1;
    }
    return 0;
}
