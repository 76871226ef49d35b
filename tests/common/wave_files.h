// Builds RIFF WAVE files in memory from chunk lists and writes them to a temporary
// directory. Standard C++ only, so that the same tests run against every RIFF layer.
#ifndef VELMORIN_TESTS_COMMON_WAVE_FILES_H
#define VELMORIN_TESTS_COMMON_WAVE_FILES_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct TestChunk {
    TestChunk(std::string chunkId, Bytes chunkBody, std::optional<uint32_t> size = std::nullopt)
        : id(std::move(chunkId)), body(std::move(chunkBody)), declaredSize(size) {}

    std::string id;  // four characters
    Bytes body;
    // Size written in the header when it differs from the body's.
    std::optional<uint32_t> declaredSize;
};

void AppendU16(Bytes* bytes, uint16_t value);
void AppendU32(Bytes* bytes, uint32_t value);

// A "fmt " body: the 16 common bytes, then, when `extraSize` is given, the extra-size
// field and `extra`.
Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                 std::optional<uint16_t> extraSize = std::nullopt, const Bytes& extra = {});

// `count` bytes that vary with position and `seed`, so that misplaced bytes show.
Bytes PatternBytes(size_t count, uint32_t seed = 1);

// Chunks in order, each body followed by a pad byte when odd, inside a `riffId` chunk of
// form `form`. The RIFF size counts everything unless `riffSize` is given.
Bytes BuildRiff(const std::vector<TestChunk>& chunks, const std::string& riffId = "RIFF",
                const std::string& form = "WAVE", std::optional<uint32_t> riffSize = {});

// A PCM file: "fmt " then "data".
Bytes BuildPcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data);

// A fresh directory under the system temporary directory, removed with its files.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to a file `name` in the directory and returns its path.
    std::string Write(const std::string& name, const Bytes& bytes) const;
    std::filesystem::path Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

#endif
