#include "tests/common/wave_files.h"

#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>

void AppendU16(Bytes* bytes, uint16_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(Bytes* bytes, uint32_t value) {
    AppendU16(bytes, static_cast<uint16_t>(value));
    AppendU16(bytes, static_cast<uint16_t>(value >> 16));
}

Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                 std::optional<uint16_t> extraSize, const Bytes& extra) {
    const uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    Bytes body;
    AppendU16(&body, tag);
    AppendU16(&body, channels);
    AppendU32(&body, rate);
    AppendU32(&body, rate * align);
    AppendU16(&body, align);
    AppendU16(&body, bits);
    if (extraSize) {
        AppendU16(&body, *extraSize);
        body.insert(body.end(), extra.begin(), extra.end());
    }
    return body;
}

Bytes PatternBytes(size_t count, uint32_t seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t x = static_cast<uint32_t>(i) * 2654435761u + seed * 40503u;
        bytes[i] = static_cast<uint8_t>((x >> 13) ^ (x >> 24) ^ (i >> 8));
    }
    return bytes;
}

Bytes BuildRiff(const std::vector<TestChunk>& chunks, const std::string& riffId,
                const std::string& form, std::optional<uint32_t> riffSize) {
    Bytes body(form.begin(), form.end());
    for (const TestChunk& chunk : chunks) {
        body.insert(body.end(), chunk.id.begin(), chunk.id.end());
        AppendU32(&body, chunk.declaredSize.value_or(static_cast<uint32_t>(chunk.body.size())));
        body.insert(body.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() % 2 != 0) {
            body.push_back(0);
        }
    }
    Bytes file(riffId.begin(), riffId.end());
    AppendU32(&file, riffSize.value_or(static_cast<uint32_t>(body.size())));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes BuildPcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data) {
    return BuildRiff({{"fmt ", FormatBody(1, channels, rate, bits)}, {"data", data}});
}

TempDir::TempDir() {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "velmorin-wave-" + std::to_string(device()) + "-" +
                                 std::to_string(now) + "-" + std::to_string(attempt);
        path_ = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(path_)) {
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file.string();
}
