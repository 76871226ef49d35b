// The program's own RIFF layer: the mmio effects the reader relies on, and robustness.
#include <gtest/gtest.h>

#include <string>

#include "tests/common/wave_files.h"
#include "base/result.h"
#include "wave/riff_file_native.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t ID_FMT = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t ID_DATA = MakeFourCC('d', 'a', 't', 'a');

class NativeRiffTest : public ::testing::Test {
  protected:
    void Load(const Bytes& bytes) {
        bytes_ = bytes;
        file_ = OpenMemoryRiffFile(bytes_.data(), bytes_.size());
        ASSERT_NE(nullptr, file_);
    }
    uint8_t NextByte() {
        uint8_t byte = 0;
        EXPECT_EQ(1, file_->Read(&byte, 1));
        return byte;
    }

    Bytes bytes_;
    std::unique_ptr<RiffFile> file_;
};

TEST_F(NativeRiffTest, DescendsIntoRiffAndFindsChunksPastOddOnes) {
    Load(BuildRiff({{"LIST", {1, 2, 3}}, {"junk", {4}}, {"fmt ", {0xA1, 0xA2}}, {"data", {0xD0}}}));
    RiffChunk riff{};
    ASSERT_EQ(0u, file_->Descend(&riff, nullptr, 0));
    EXPECT_EQ(FOURCC_RIFF_ID, riff.ckid);
    EXPECT_EQ(MakeFourCC('W', 'A', 'V', 'E'), riff.fccType);
    EXPECT_EQ(8u, riff.dwDataOffset);
    EXPECT_EQ(bytes_.size() - 8, riff.cksize);

    RiffChunk fmt{};
    fmt.ckid = ID_FMT;
    ASSERT_EQ(0u, file_->Descend(&fmt, &riff, RIFF_FIND_CHUNK));
    EXPECT_EQ(2u, fmt.cksize);
    EXPECT_EQ(0u, fmt.fccType);
    EXPECT_EQ(12u + 12 + 10 + 8, fmt.dwDataOffset);
    EXPECT_EQ(0xA1, NextByte());
    // Ascend leaves the rest of the chunk and its pad behind.
    ASSERT_EQ(0u, file_->Ascend(&fmt));
    RiffChunk data{};
    ASSERT_EQ(0u, file_->Descend(&data, nullptr, 0));
    EXPECT_EQ(ID_DATA, data.ckid);
    EXPECT_EQ(0xD0, NextByte());
    ASSERT_EQ(0u, file_->Ascend(&data));
    EXPECT_EQ(static_cast<int32_t>(bytes_.size()),
              file_->Seek(static_cast<int32_t>(bytes_.size())));
    EXPECT_EQ(0, file_->Read(&data, 1));
}

TEST_F(NativeRiffTest, SearchStopsAtParentEndAndRestoresPosition) {
    // The RIFF size ends before "data"; a huge "junk" size must not wrap the search around.
    Load(BuildRiff({{"fmt ", {1, 2}}, {"data", {3, 4}}}, "RIFF", "WAVE", 14));
    RiffChunk riff{};
    ASSERT_EQ(0u, file_->Descend(&riff, nullptr, 0));
    RiffChunk data{};
    data.ckid = ID_DATA;
    EXPECT_NE(0u, file_->Descend(&data, &riff, RIFF_FIND_CHUNK));
    EXPECT_EQ('f', NextByte());

    Load(BuildRiff({{"junk", {}, 0xFFFFFFF8u}, {"data", {5}}}, "RIFF", "WAVE", 0xFFFFFFFFu));
    ASSERT_EQ(0u, file_->Descend(&riff, nullptr, 0));
    EXPECT_NE(0u, file_->Descend(&data, &riff, RIFF_FIND_CHUNK));
    RiffChunk huge{0, 0xFFFFFFFFu, 0, 0xFFFFFFF0u, 0};
    EXPECT_NE(0u, file_->Ascend(&huge));
}

TEST_F(NativeRiffTest, BufferInfoAdvancesAndRefusesForeignPointers) {
    Load(BuildPcmWave(1, 8000, 8, PatternBytes(NATIVE_RIFF_BUFFER_SIZE + 100)));
    ASSERT_EQ(44, file_->Seek(44));
    RiffBufferInfo info{};
    ASSERT_EQ(0u, file_->GetInfo(&info));
    size_t total = 0;
    while (true) {
        total += static_cast<size_t>(info.endRead - info.next);
        info.next = info.endRead;
        ASSERT_EQ(0u, file_->Advance(&info));
        if (info.next == info.endRead) {
            break;
        }
    }
    EXPECT_EQ(NATIVE_RIFF_BUFFER_SIZE + 100, total);
    uint8_t outside = 0;
    info.next = &outside;
    EXPECT_NE(0u, file_->SetInfo(&info));
    EXPECT_NE(0u, file_->Advance(&info));
    EXPECT_EQ(-1, file_->Seek(-1));
    EXPECT_EQ(-1, file_->Read(&outside, -1));
}

// Refills that fall inside chunk headers, the "fmt " body and the data change nothing.
class TinyBufferTest : public ::testing::TestWithParam<size_t> {};

TEST_P(TinyBufferTest, ReaderSeesTheSameFile) {
    const Bytes data = PatternBytes(777, 21);
    const Bytes extra = PatternBytes(5, 22);
    const Bytes file = BuildRiff({{"LIST", PatternBytes(3)},
                                  {"data", data},
                                  {"fmt ", FormatBody(0x11, 1, 8000, 4, 5, extra)},
                                  {"fact", {1, 0, 0, 0}}});
    const size_t bufferSize = GetParam();
    WaveFileReader reader(
        [&](const char*) { return OpenMemoryRiffFile(file.data(), file.size(), bufferSize); });
    ASSERT_EQ(S_OK, reader.Open("memory"));
    ASSERT_EQ(5u, reader.GetFormat()->cbSize);
    EXPECT_EQ(extra,
              Bytes(WaveFormatExtra(reader.GetFormat()), WaveFormatExtra(reader.GetFormat()) + 5));
    Bytes out(800);
    uint32_t actual = 0;
    ASSERT_EQ(S_OK, reader.Read(800, out.data(), &actual));
    ASSERT_EQ(777u, actual);
    EXPECT_EQ(data, Bytes(out.begin(), out.begin() + 777));
}

INSTANTIATE_TEST_SUITE_P(Sizes, TinyBufferTest, ::testing::Values(1, 3, 8, 13, 64));

TEST(NativeRiffOpen, OpensRegularFilesOnly) {
    TempDir dir;
    EXPECT_EQ(nullptr, OpenNativeRiffFile(dir.Path().string().c_str()));
    EXPECT_EQ(nullptr, OpenNativeRiffFile((dir.Path() / "missing").string().c_str()));
    EXPECT_EQ(nullptr, OpenNativeRiffFile(nullptr));
    std::unique_ptr<RiffFile> empty = OpenNativeRiffFile(dir.Write("empty", {}).c_str());
    ASSERT_NE(nullptr, empty);
    RiffChunk chunk{};
    EXPECT_NE(0u, empty->Descend(&chunk, nullptr, 0));
    std::unique_ptr<RiffFile> header =
        OpenNativeRiffFile(dir.Write("riff", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W'}).c_str());
    ASSERT_NE(nullptr, header);
    EXPECT_NE(0u, header->Descend(&chunk, nullptr, 0));
}

}  // namespace
