// Recordings that are not WAVE files, through the reader as the program opens them: files
// encoded here by ffmpeg from a WAVE file of tones that mark the time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/result.h"
#include "tests/common/wave_files.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kTones[] = {440, 660, 880, 1100};  // half a second each
constexpr uint32_t kToneFrames = kRate / 2;

struct Encoding {
    const char* name;
    const char* file;  // the output name; its extension picks the container
    const char* options;
    uint32_t rate;   // decoded
    uint32_t delay;  // frames the length may differ by: the codec's stated delay
};

const Encoding kEncodings[] = {
    {"Mp3", "t.mp3", "-c:a libmp3lame -b:a 128k", kRate, 1105},
    {"AacM4a", "t.m4a", "-c:a aac -b:a 96k", kRate, 2112},
    {"AlacM4a", "alac.m4a", "-c:a alac", kRate, 0},
    {"OpusOgg", "t.opus", "-c:a libopus -b:a 48k", 48000, 312},
    {"Vorbis", "t.ogg", "-c:a libvorbis", kRate, 128},
    {"Flac", "t.flac", "-c:a flac", kRate, 0},
    {"Wma", "t.wma", "-c:a wmav2", kRate, 2048},
    // The sound of a video, after its picture stream, and before a second audio stream.
    {"VideoMkv", "v.mkv",
     "-f lavfi -i color=c=blue:s=32x32:d=2 -f lavfi -i anullsrc=r=8000:cl=mono -map 1:v "
     "-map 0:a -map 2:a -c:v mpeg4 -c:a:0 flac -c:a:1 pcm_s16le -shortest",
     kRate, 44},  // Matroska's times are milliseconds
};

Bytes ToneData() {
    Bytes data;
    for (int tone : kTones) {
        for (uint32_t i = 0; i < kToneFrames; ++i) {
            const auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * tone * i / kRate));
            for (int channel = 0; channel < 2; ++channel)
                AppendU16(&data, static_cast<uint16_t>(v));
        }
    }
    return data;
}

// The tone's frequency in a stretch of 16-bit frames, from the first channel's upward zero
// crossings.
double Frequency(const uint8_t* bytes, uint32_t frames, uint32_t channels, uint32_t rate) {
    int crossings = 0;
    int16_t last = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t v;
        std::memcpy(&v, bytes + 2 * channels * i, 2);
        crossings += last < 0 && v >= 0 ? 1 : 0;
        last = v;
    }
    return crossings * static_cast<double>(rate) / frames;
}

// ffmpeg with the given arguments, quiet; true when it succeeded.
bool Ffmpeg(const std::string& arguments) {
    return std::system(("ffmpeg -nostdin -v error -y " + arguments).c_str()) == 0;
}

// Bytes read by this process so far, as the kernel counts them.
uint64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

class DecodedRecordingTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        tones_ = dir_->Write("tones.wav", BuildPcmWave(2, kRate, 16, ToneData()));
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string Encode(const Encoding& e) {
        const std::string out = (dir_->Path() / e.file).string();
        EXPECT_TRUE(Ffmpeg("-i '" + tones_ + "' " + e.options + " '" + out + "'")) << e.options;
        return out;
    }
    static Bytes ReadAll(WaveFileReader* reader) {
        Bytes all(reader->GetDataRemaining());
        uint32_t actual = 0;
        EXPECT_EQ(S_OK, reader->Read(static_cast<uint32_t>(all.size()), all.data(), &actual));
        all.resize(actual);
        return all;
    }

    static TempDir* dir_;
    static std::string tones_;
};

TempDir* DecodedRecordingTest::dir_ = nullptr;
std::string DecodedRecordingTest::tones_;

class EncodedTones : public DecodedRecordingTest, public ::testing::WithParamInterface<Encoding> {};

TEST_P(EncodedTones, OpenAsPcmOfTheirLengthPlayTheTonesInOrderAndSeekToTheSameBytes) {
    const Encoding& e = GetParam();
    WaveFileReader reader;
    const std::string path = Encode(e);
    ASSERT_EQ(S_OK, reader.Open(path.c_str()));
    ASSERT_NE(nullptr, reader.Decoded());
    const WaveFormat pcm{WAVE_FORMAT_PCM_TAG, 2, e.rate, 4 * e.rate, 4, 16, 0};
    EXPECT_EQ(0, std::memcmp(&pcm, reader.GetFormat(), sizeof pcm));
    const uint32_t frames = reader.GetDataRemaining() / 4;
    EXPECT_NEAR(frames, 4.0 * kToneFrames * e.rate / kRate, e.delay);

    // What decodes is the stated length, or (an MP3's, which keeps the encoder's padding)
    // a little less: the sound ends where it does.
    const Bytes all = ReadAll(&reader);
    EXPECT_LE(all.size(), frames * 4u);
    EXPECT_GE(all.size() + e.delay * 4, frames * 4u);
    // What ffmpeg itself decodes, byte for byte (it may give a padded last frame more).
    ASSERT_TRUE(Ffmpeg("-i '" + path + "' -map 0:a:0 -f s16le '" + path + ".raw'"));
    std::ifstream in(path + ".raw", std::ios::binary);
    const Bytes reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(reference.size(), all.size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), reference.begin()));
    for (int k = 0; k < 4; ++k) {
        // The middle of each half second, clear of the codec's delay.
        const auto from = static_cast<uint32_t>((k * 0.5 + 0.1) * e.rate);
        ASSERT_LE((from + 0.3 * e.rate) * 4, all.size());
        EXPECT_NEAR(Frequency(&all[from * 4], static_cast<uint32_t>(0.3 * e.rate), 2, e.rate),
                    kTones[k], kTones[k] * 0.02)
            << "tone " << k;
    }

    // Reads from anywhere, in any order, give what reading from the start gave.
    std::mt19937 random(7);
    Bytes piece(6000);
    for (int i = 0; i < 30; ++i) {
        const uint32_t at = static_cast<uint32_t>(random() % all.size());
        const uint32_t got = reader.Decoded()->ReadAt(at, 6000, piece.data());
        ASSERT_EQ(std::min<size_t>(6000, all.size() - at), got) << at;
        EXPECT_EQ(0, std::memcmp(piece.data(), &all[at], got)) << "at " << at;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EncodedTones, ::testing::ValuesIn(kEncodings),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DecodedRecordingTest, DamagedAndTruncatedFilesPlayWhatTheyHold) {
    // A recorder that lost power left the RIFF size of the header alone.
    const Bytes data = ToneData();
    Bytes damaged =
        BuildRiff({{"fmt ", FormatBody(1, 2, kRate, 16)}, {"data", data}}, "RIFF", "WAVE", 36);
    WaveFileReader wave;
    ASSERT_EQ(S_OK, wave.Open(dir_->Write("damaged.wav", damaged).c_str()));
    EXPECT_EQ(data.size(), wave.GetDataRemaining());
    EXPECT_EQ(data, ReadAll(&wave));

    // Half a file whose header states the whole: FLAC's STREAMINFO and an M4A's sample
    // tables put first open with the length of what the file holds; an MP3's Xing header
    // stands, and its sound ends where the file does.
    const Encoding halves[] = {
        kEncodings[5], {"", "first.m4a", "-c:a aac -movflags +faststart", kRate, 0}, kEncodings[0]};
    const auto whole = static_cast<double>(data.size());
    for (const Encoding& e : halves) {
        const std::string path = Encode(e);
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
        WaveFileReader half;
        ASSERT_EQ(S_OK, half.Open(path.c_str())) << e.file;
        const uint32_t stated = half.GetDataRemaining();
        const auto heard = static_cast<double>(ReadAll(&half).size());
        EXPECT_GT(heard, whole * 0.25) << e.file;  // half the bytes: not half the time
        EXPECT_LT(heard, whole * 0.75) << e.file;
        EXPECT_EQ(0u, half.GetDataRemaining());
        if (&e != &halves[2])
            EXPECT_EQ(stated, heard) << e.file;
        else
            EXPECT_NEAR(stated, whole, e.delay * 4) << "the MP3's header's length";
    }
}

TEST_F(DecodedRecordingTest, WhatIsNoRecordingIsRefusedWithoutReadingItWhole) {
    std::vector<std::string> files = {dir_->Write("zeros.mp3", {})};
    std::filesystem::resize_file(files[0], uint64_t{4} << 30);  // sparse: reads cost no disk
    std::mt19937 random(3);
    Bytes noise(1 << 20);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(random());
    files.push_back(dir_->Write("noise.mp3", noise));
    files.push_back(dir_->Write("notes.txt", Bytes(20000, 'a')));
    files.push_back((dir_->Path() / "picture.png").string());
    ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=red:s=64x64 -frames:v 1 '" + files.back() + "'"));
    for (const std::string& file : files) {
        const uint64_t before = BytesRead();
        WaveFileReader reader;
        EXPECT_EQ(E_FAIL, reader.Open(file.c_str())) << file;
        EXPECT_EQ(nullptr, reader.Decoded());
        EXPECT_LT(BytesRead() - before, uint64_t{64} << 20) << file;
    }
}

TEST_F(DecodedRecordingTest, PositionsStayWithin32BitsMonoFirstThenTheFirstBytes) {
    // Wave64 files of silence whose data runs past 4 GiB: sparse, so nothing is written.
    const std::string w64 = (dir_->Path() / "short.w64").string();
    ASSERT_TRUE(Ffmpeg("-f lavfi -i anullsrc=r=44100:cl=stereo -t 1 -c:a pcm_s16le '" + w64 + "'"));
    std::fstream file(w64, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> head(4096);
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    const std::string tag = "data";
    const auto at = std::search(head.begin(), head.end(), tag.begin(), tag.end()) - head.begin();
    ASSERT_LT(at + 24, file.gcount());
    const std::string paths[] = {w64 + ".6h", w64 + ".30h"};
    const uint64_t dataBytes[] = {uint64_t{44100} * 4 * 3600 * 8, uint64_t{44100} * 4 * 3600 * 30};
    for (int i = 0; i < 2; ++i) {
        std::filesystem::copy_file(w64, paths[i]);
        std::fstream big(paths[i], std::ios::in | std::ios::out | std::ios::binary);
        const uint64_t chunk = dataBytes[i] + 24;
        big.seekp(at + 16);
        big.write(reinterpret_cast<const char*>(&chunk), 8);  // little-endian here
        big.close();
        std::filesystem::resize_file(paths[i], static_cast<uint64_t>(at) + chunk);
    }
    // 8 hours of stereo pass 32 bits, mono does not; 30 hours of mono do.
    WaveFileReader eight, thirty;
    ASSERT_EQ(S_OK, eight.Open(paths[0].c_str()));
    ASSERT_EQ(S_OK, thirty.Open(paths[1].c_str()));
    EXPECT_EQ(eight.GetFormat()->nChannels + thirty.GetFormat()->nChannels, 2);
    EXPECT_EQ(dataBytes[0] / 2, eight.GetDataRemaining());
    EXPECT_EQ(0xFFFFFFFEu, thirty.GetDataRemaining());
    Bytes last(8);
    EXPECT_EQ(2u, thirty.Decoded()->ReadAt(0xFFFFFFFCu, 8, last.data()));
}

}  // namespace
