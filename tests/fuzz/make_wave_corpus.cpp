// Writes the fuzzer's seed files, made with the tests' WAVE generator, into a directory.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/wave_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const Bytes data = PatternBytes(300, 1);
    const Bytes pcm = FormatBody(1, 2, 44100, 16);
    const std::vector<std::pair<std::string, Bytes>> seeds = {
        {"pcm16", BuildPcmWave(2, 44100, 16, data)},
        {"pcm8-odd", BuildPcmWave(1, 8000, 8, PatternBytes(33, 2))},
        {"large", BuildPcmWave(1, 8000, 8, PatternBytes(20000, 3))},
        {"float16-fact",
         BuildRiff(
             {{"fmt ", FormatBody(3, 1, 48000, 32)}, {"fact", {1, 0, 0, 0}}, {"data", data}})},
        {"adpcm", BuildRiff({{"fmt ", FormatBody(2, 1, 22050, 4, 32, PatternBytes(32, 4))},
                             {"data", data}})},
        {"fmt-after-data", BuildRiff({{"data", data}, {"LIST", {1, 2, 3}}, {"fmt ", pcm}})},
        {"no-data", BuildRiff({{"fmt ", pcm}})},
        {"data-past-end", BuildRiff({{"fmt ", pcm}, {"data", {1, 2, 3}, 5000}})},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(dir / (name + ".wav"), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}
