// libFuzzer target: Open, Reset and Read of arbitrary bytes through the native RIFF layer,
// read from memory so that no file is written per run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/result.h"
#include "wave/riff_file_native.h"
#include "wave/wave_file_reader.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Reads the data chunk in pieces of `piece` bytes, checking the counts Read reports.
void ReadAll(WaveFileReader* reader, uint32_t piece) {
    static std::vector<uint8_t> buffer(1 << 16);
    for (int i = 0; i < 64 && reader->GetDataRemaining() > 0; ++i) {
        const uint32_t before = reader->GetDataRemaining();
        uint32_t actual = 0xFFFFFFFFu;
        const int32_t result = reader->Read(piece, buffer.data(), &actual);
        if (result != S_OK) {
            Require(actual == 0);
            return;
        }
        Require(actual == (piece < before ? piece : before));
        Require(reader->GetDataRemaining() == before - actual);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A small I/O buffer whose size varies with the input puts refills everywhere: inside
    // chunk headers, the "fmt " body and the data.
    const size_t bufferSize = size % 4 == 0 ? NATIVE_RIFF_BUFFER_SIZE : 1 + size % 97;
    WaveFileReader reader([data, size, bufferSize](
                              const char*) { return OpenMemoryRiffFile(data, size, bufferSize); },
                          nullptr);
    if (reader.Open("") != S_OK) {
        return 0;
    }
    const WaveFormat* format = reader.GetFormat();
    Require(format != nullptr);
    Require(format->wFormatTag != WAVE_FORMAT_PCM_TAG || format->cbSize == 0);
    // Small pieces straddle buffer refills; the last one asks for more than remains.
    const uint32_t piece = 1u + (size > 0 ? data[size - 1] * 97u : 0u);
    ReadAll(&reader, piece);
    Require(reader.Reset() == S_OK);
    ReadAll(&reader, 1u << 16);
    uint8_t byte = 0;
    uint32_t actual = 0;
    if (reader.GetDataRemaining() == 0) {
        Require(reader.Read(1, &byte, &actual) == S_OK && actual == 0);
    }
    return 0;
}
