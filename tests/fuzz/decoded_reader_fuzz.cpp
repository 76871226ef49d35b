// libFuzzer target: what the reader makes of arbitrary bytes in a file it does not read as
// WAVE, through FFmpeg's decoder: a format the program can play, a length within 32 bits,
// and reads that stay inside it, at the start and anywhere.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/result.h"
#include "wave/wave_file_reader.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// One file per process, rewritten for every input: the decoder reads files by their path.
const std::string& InputPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/velmorin-decoded-fuzz-" +
               std::to_string(::getpid());
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    WaveFileReader reader;
    if (reader.Open(InputPath().c_str()) != S_OK || !reader.Decoded())
        return 0;
    const WaveFormat* format = reader.GetFormat();
    Require(format != nullptr && format->wFormatTag == WAVE_FORMAT_PCM_TAG);
    Require(format->wBitsPerSample == 16 && format->cbSize == 0);
    Require(format->nChannels == 1 || format->nChannels == 2);
    Require(format->nBlockAlign == 2 * format->nChannels);
    const uint32_t size32 = reader.GetDataRemaining();
    Require(size32 == reader.Decoded()->Size() && size32 % format->nBlockAlign == 0);

    // The start, in pieces; then a few places anywhere, twice each.
    static std::vector<uint8_t> buffer(1 << 16), again(1 << 16);
    uint32_t actual = 0;
    for (int i = 0; i < 8 && reader.GetDataRemaining() > 0; ++i) {
        Require(reader.Read(1 << 16, buffer.data(), &actual) == S_OK);
        Require(actual <= (1u << 16));
    }
    uint32_t at = size > 0 ? data[0] * 2654435761u : 0;
    for (int i = 0; i < 4 && size32 > 0; ++i, at = at * 1664525u + 1013904223u) {
        const uint32_t offset = at % size32;
        const uint32_t got = reader.Decoded()->ReadAt(offset, 4096, buffer.data());
        Require(got <= 4096 && got <= size32 - offset);
        Require(reader.Decoded()->ReadAt(offset, 4096, again.data()) == got);
    }
    return 0;
}
