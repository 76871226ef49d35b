// StartPlayback of a 256 MiB data chunk on the fake sound device, against one read(2) of
// the file plus one memcpy of its data, and the memory each takes. Each measurement runs
// in a process of its own so that the peak resident sizes do not mix:
//
//   start_playback_bench <file.wav> write      writes the test file
//   start_playback_bench <file.wav> plain      prints "plain <s> <peak MiB>"
//   start_playback_bench <file.wav> start      prints "start <s> <peak MiB> <after MiB>"
//
// "after" is the resident size once StartPlayback has returned, less the size before it.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "sound/sound_buffer.h"
#include "sound/sound_output.h"
#include "tests/common/wave_files.h"
#include "tests/native/fake_dialog.h"
#include "tests/native/fake_sound.h"

namespace {

constexpr uint32_t DATA_BYTES = 256u << 20;
constexpr long HEADER_BYTES = 44;

double MiB(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double ResidentMiB() {
    long pages = 0;
    long resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return MiB(static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)));
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Write(const char* path) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return 1;
    Bytes header = BuildPcmWave(2, 44100, 16, {});
    AppendU32(&header, 0);  // room, then patch the sizes in
    header.resize(HEADER_BYTES);
    const uint32_t riff = DATA_BYTES + HEADER_BYTES - 8;
    std::memcpy(header.data() + 4, &riff, 4);
    std::memcpy(header.data() + 40, &DATA_BYTES, 4);
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    const Bytes block = PatternBytes(1u << 20);
    for (uint32_t done = 0; ok && done < DATA_BYTES; done += 1u << 20) {
        ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    }
    return std::fclose(file) == 0 && ok ? 0 : 1;
}

int Plain(const char* path) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<uint8_t[]> read(new uint8_t[DATA_BYTES]);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[DATA_BYTES]);
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0 || ::lseek(fd, HEADER_BYTES, SEEK_SET) != HEADER_BYTES)
        return 1;
    size_t done = 0;
    while (done < DATA_BYTES) {
        const ssize_t got = ::read(fd, read.get() + done, DATA_BYTES - done);
        if (got <= 0)
            return 1;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    std::memcpy(copy.get(), read.get(), DATA_BYTES);
    const double seconds = Since(start);
    std::printf("plain %.3f %.0f %u\n", seconds, PeakResidentMiB(), copy[DATA_BYTES - 1]);
    return 0;
}

int Start(const char* path) {
    FakeDialog dialog;
    FakeSoundSystem sound([&dialog] { return dialog.Now(); });
    InstallSoundSystem(&sound);
    dialog.Start();
    SoundOutput.reader = std::make_unique<WaveFileReader>();
    if (SoundOutput.reader->Open(path) < 0)
        return 1;
    const double before = ResidentMiB();
    const auto start = std::chrono::steady_clock::now();
    if (StartPlayback(dialog, 0, 0) != 0)
        return 1;
    const double seconds = Since(start);
    std::printf("start %.3f %.0f %.0f\n", seconds, PeakResidentMiB(), ResidentMiB() - before);
    dialog.Command(2);
    InstallSoundSystem(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 64;
    const std::string mode = argv[2];
    if (mode == "write")
        return Write(argv[1]);
    if (mode == "plain")
        return Plain(argv[1]);
    if (mode == "start")
        return Start(argv[1]);
    return 64;
}
