// Prints what the WAVE reader makes of each file named on the command line, one line per
// file: the Open result, the format record in hex, the data count, and the result, count
// and checksum of one Read of the whole chunk. Built once over the program's own RIFF
// layer and once over the Windows mmio functions, so the two can be compared file by file.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/result.h"
#include "wave/wave_file_reader.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        WaveFileReader reader(OpenRiffFile, nullptr);  // the RIFF layers alone
        const int32_t opened = reader.Open(argv[i]);
        std::printf("%s open=%s", argv[i], opened == S_OK ? "ok" : "fail");
        if (const WaveFormat* format = reader.GetFormat()) {
            std::printf(" format=");
            const auto* bytes = reinterpret_cast<const uint8_t*>(format);
            for (size_t b = 0; b < sizeof(WaveFormat) + format->cbSize; ++b) {
                std::printf("%02x", bytes[b]);
            }
        }
        if (opened == S_OK) {
            const uint32_t size = reader.GetDataRemaining();
            // Not zeroed: a malformed file may claim gigabytes it does not hold, and only
            // the bytes read are touched.
            std::unique_ptr<uint8_t[]> data(new uint8_t[size == 0 ? 1 : size]);
            uint32_t actual = 0;
            const int32_t read = reader.Read(size, data.get(), &actual);
            uint32_t sum = 2166136261u;  // FNV-1a
            for (uint32_t b = 0; b < actual; ++b)
                sum = (sum ^ data[b]) * 16777619u;
            std::printf(" data=%u read=%s actual=%u sum=%08x", size, read == S_OK ? "ok" : "fail",
                        actual, sum);
        }
        std::printf("\n");
    }
    return 0;
}
