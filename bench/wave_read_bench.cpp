// Throughput of Reset plus one Read of a 512 MiB data chunk against one read(2) of the same
// bytes, both from a warm page cache into the same pre-touched buffer.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

// Windows opens files in text mode unless told otherwise.
#ifndef O_BINARY
#define O_BINARY 0
#endif

#include "base/result.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t DATA_SIZE = 512u << 20;
constexpr uint32_t HEADER_SIZE = 44;
constexpr int ROUNDS = 5;

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

bool WriteWave(const std::string& path) {
    uint8_t header[HEADER_SIZE] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                   0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    PutU32(header + 4, DATA_SIZE + HEADER_SIZE - 8);
    PutU32(header + 40, DATA_SIZE);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(header, 1, HEADER_SIZE, file) == HEADER_SIZE;
    std::vector<uint8_t> block(1 << 20);
    for (uint32_t done = 0; ok && done < DATA_SIZE; done += static_cast<uint32_t>(block.size())) {
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<uint8_t>((done + i) * 131u >> 7);
        }
        ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    }
    return std::fclose(file) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One read(2) of the data chunk; the loop only covers a short read.
double TimePlainRead(const std::string& path, uint8_t* buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_BINARY);
    if (fd < 0 || ::lseek(fd, HEADER_SIZE, SEEK_SET) != HEADER_SIZE) {
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    size_t done = 0;
    while (done < DATA_SIZE) {
        // One call for the rest; the loop only covers a short read.
        const auto got = ::read(fd, buffer + done, static_cast<uint32_t>(DATA_SIZE - done));
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    const double seconds = Seconds(start);
    ::close(fd);
    return done == DATA_SIZE ? seconds : -1;
}

double TimeReader(WaveFileReader* reader, uint8_t* buffer) {
    const auto start = std::chrono::steady_clock::now();
    uint32_t actual = 0;
    if (reader->Reset() != S_OK ||
        reader->Read(reader->GetDataRemaining(), buffer, &actual) != S_OK || actual != DATA_SIZE) {
        return -1;
    }
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "wave_read_bench.wav";
    if (!WriteWave(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> buffer(DATA_SIZE, 1);  // touched, so no page faults are timed
    WaveFileReader reader;
    int status = 0;
    double plain = 1e9;
    double wave = 1e9;
    if (reader.Open(path.c_str()) != S_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        status = 1;
    }
    TimePlainRead(path, buffer.data());  // warms the page cache
    for (int round = 0; status == 0 && round < ROUNDS; ++round) {
        const double p = TimePlainRead(path, buffer.data());
        const double w = TimeReader(&reader, buffer.data());
        if (p < 0 || w < 0) {
            std::fprintf(stderr, "read failed\n");
            status = 1;
        }
        plain = p < plain ? p : plain;
        wave = w < wave ? w : wave;
    }
    reader.Close();
    std::remove(path.c_str());
    if (status != 0) {
        return status;
    }
    const double mib = DATA_SIZE / 1048576.0;
    std::printf("read(2):        %8.1f MiB/s (best of %d)\n", mib / plain, ROUNDS);
    std::printf("WaveFileReader: %8.1f MiB/s (best of %d)\n", mib / wave, ROUNDS);
    std::printf("ratio:          %8.1f %%\n", 100.0 * plain / wave);
    return 0;
}
