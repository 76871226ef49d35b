// The WAVE reader over the target's RIFF layer, on files generated here.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "tests/common/wave_files.h"
#include "wave/wave_file_reader.h"

namespace {

enum Fault : unsigned {
    NO_FAULT = 0,
    FAIL_GET_INFO = 1,
    FAIL_ADVANCE = 2,
    FAIL_SET_INFO = 4,
    FAIL_SEEK = 8,
};

struct LayerLog {
    int liveFiles = 0;
    int reads = 0;
    int advances = 0;
};

// Forwards to the target's layer, counting calls and failing the chosen operations.
class WrappedFile final : public RiffFile {
  public:
    WrappedFile(std::unique_ptr<RiffFile> inner, unsigned faults, LayerLog* log)
        : inner_(std::move(inner)), faults_(faults), log_(log) {
        ++log_->liveFiles;
    }
    ~WrappedFile() override { --log_->liveFiles; }

    uint32_t Descend(RiffChunk* chunk, const RiffChunk* parent, uint32_t flags) override {
        return inner_->Descend(chunk, parent, flags);
    }
    uint32_t Ascend(const RiffChunk* chunk) override { return inner_->Ascend(chunk); }
    int32_t Seek(int32_t offset) override {
        return (faults_ & FAIL_SEEK) != 0 ? -1 : inner_->Seek(offset);
    }
    int32_t Read(void* destination, int32_t count) override {
        ++log_->reads;
        return inner_->Read(destination, count);
    }
    uint32_t GetInfo(RiffBufferInfo* info) override {
        return (faults_ & FAIL_GET_INFO) != 0 ? 1 : inner_->GetInfo(info);
    }
    uint32_t Advance(RiffBufferInfo* info) override {
        ++log_->advances;
        return (faults_ & FAIL_ADVANCE) != 0 ? 1 : inner_->Advance(info);
    }
    uint32_t SetInfo(const RiffBufferInfo* info) override {
        const uint32_t result = inner_->SetInfo(info);
        return (faults_ & FAIL_SET_INFO) != 0 ? 1 : result;
    }

  private:
    std::unique_ptr<RiffFile> inner_;
    unsigned faults_;
    LayerLog* log_;
};

RiffFileOpener Wrapping(unsigned faults, LayerLog* log) {
    return [faults, log](const char* path) -> std::unique_ptr<RiffFile> {
        std::unique_ptr<RiffFile> inner = OpenRiffFile(path);
        if (!inner) {
            return nullptr;
        }
        return std::make_unique<WrappedFile>(std::move(inner), faults, log);
    };
}

// The WAVE reading alone; the decoder that takes the files it refuses is tested apart.
struct WaveOnlyReader : WaveFileReader {
    explicit WaveOnlyReader(RiffFileOpener open = OpenRiffFile)
        : WaveFileReader(std::move(open), nullptr) {}
};

struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
        return param.param.name;
    }
};

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class WaveReaderTest : public ::testing::Test {
  protected:
    std::string Write(const Bytes& bytes) {
        return dir_.Write("file" + std::to_string(++files_) + ".wav", bytes);
    }
    // Reads everything that remains; the result holds what Read reported.
    static Bytes ReadRest(WaveFileReader* reader) {
        Bytes out(reader->GetDataRemaining() + 1u);
        uint32_t actual = 12345;
        EXPECT_EQ(S_OK, reader->Read(reader->GetDataRemaining(), out.data(), &actual));
        out.resize(actual);
        return out;
    }

    TempDir dir_;
    int files_ = 0;
    LayerLog log_;
};

// --- Formats ---------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    Bytes fmtBody;
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
    Bytes extra;  // expected format-specific bytes; cbSize is their count
    bool factChunk;
};

Bytes ExtensibleExtra() {
    Bytes extra;
    AppendU16(&extra, 24);          // valid bits
    AppendU32(&extra, 0x3);         // front left and right
    AppendU32(&extra, 0x00000001);  // KSDATAFORMAT_SUBTYPE_PCM
    AppendU32(&extra, 0x00100000);
    AppendU32(&extra, 0xAA000080);
    AppendU32(&extra, 0x719B3800);
    return extra;
}

std::vector<FormatCase> FormatCases() {
    const Bytes adpcm = PatternBytes(32, 7);
    const Bytes mp3 = PatternBytes(12, 9);
    return {
        {"Pcm8Mono", FormatBody(1, 1, 8000, 8), 1, 1, 8000, 8, {}, false},
        {"Pcm8Stereo", FormatBody(1, 2, 11025, 8), 1, 2, 11025, 8, {}, false},
        {"Pcm16Mono", FormatBody(1, 1, 22050, 16), 1, 1, 22050, 16, {}, false},
        {"Pcm16Stereo", FormatBody(1, 2, 44100, 16), 1, 2, 44100, 16, {}, false},
        {"Pcm24Mono", FormatBody(1, 1, 48000, 24), 1, 1, 48000, 24, {}, false},
        {"Pcm24Stereo", FormatBody(1, 2, 96000, 24), 1, 2, 96000, 24, {}, false},
        // A PCM extra-size, even one the chunk cannot hold, is not read.
        {"PcmExtraSizeIgnored", FormatBody(1, 2, 44100, 16, 12), 1, 2, 44100, 16, {}, false},
        {"Extensible", FormatBody(0xFFFE, 2, 48000, 32, 22, ExtensibleExtra()), 0xFFFE, 2, 48000,
         32, ExtensibleExtra(), false},
        {"Float18", FormatBody(3, 2, 44100, 32, 0), 3, 2, 44100, 32, {}, false},
        {"Float16ThenFact", FormatBody(3, 1, 48000, 32), 3, 1, 48000, 32, {}, true},
        {"NonPcm17", Concat(FormatBody(3, 1, 32000, 32), {0x7F}), 3, 1, 32000, 32, {}, false},
        {"Adpcm", FormatBody(2, 1, 22050, 4, 32, adpcm), 2, 1, 22050, 4, adpcm, false},
        {"ALawNoExtra", FormatBody(6, 1, 8000, 8, 0), 6, 1, 8000, 8, {}, false},
        // Bytes after the extra bytes are skipped with the rest of the chunk.
        {"ExtraInLongerChunk", Concat(FormatBody(0x55, 2, 44100, 0, 12, mp3), {1, 2, 3}), 0x55, 2,
         44100, 0, mp3, false},
    };
}

class WaveFormatTest : public WaveReaderTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(WaveFormatTest, OpensWithFormatAndData) {
    const FormatCase& c = GetParam();
    const Bytes data = PatternBytes(1001, 3);
    std::vector<TestChunk> chunks = {{"fmt ", c.fmtBody}};
    if (c.factChunk) {
        chunks.push_back({"fact", {0xE9, 0x03, 0, 0}});
    }
    chunks.push_back({"data", data});
    WaveOnlyReader reader;
    ASSERT_EQ(S_OK, reader.Open(Write(BuildRiff(chunks)).c_str()));

    const WaveFormat* format = reader.GetFormat();
    ASSERT_NE(nullptr, format);
    const uint16_t align = static_cast<uint16_t>(c.channels * ((c.bits + 7) / 8));
    EXPECT_EQ(c.tag, format->wFormatTag);
    EXPECT_EQ(c.channels, format->nChannels);
    EXPECT_EQ(c.rate, format->nSamplesPerSec);
    EXPECT_EQ(c.rate * align, format->nAvgBytesPerSec);
    EXPECT_EQ(align, format->nBlockAlign);
    EXPECT_EQ(c.bits, format->wBitsPerSample);
    ASSERT_EQ(c.extra.size(), format->cbSize);
    EXPECT_EQ(c.extra, Bytes(WaveFormatExtra(format), WaveFormatExtra(format) + format->cbSize));
    EXPECT_EQ(1001u, reader.GetDataRemaining());
    EXPECT_EQ(data, ReadRest(&reader));
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveFormatTest, ::testing::ValuesIn(FormatCases()), CaseName());

// --- Chunk layouts ---------------------------------------------------------------------

struct LayoutCase {
    const char* name;
    std::vector<TestChunk> chunks;
};

const Bytes LAYOUT_DATA = PatternBytes(333, 5);

std::vector<LayoutCase> LayoutCases() {
    const Bytes fmt = FormatBody(1, 2, 22050, 16);
    return {
        {"FmtAfterData", {{"data", LAYOUT_DATA}, {"fmt ", fmt}}},
        {"OddChunksEverywhere",
         {{"LIST", PatternBytes(7)},
          {"fmt ", fmt},
          {"junk", PatternBytes(3)},
          {"fact", PatternBytes(5)},
          {"data", LAYOUT_DATA},
          {"LIST", PatternBytes(9)}}},
        {"OddChunksAroundLateFmt",
         {{"JUNK", {0x11}}, {"data", LAYOUT_DATA}, {"fact", PatternBytes(1)}, {"fmt ", fmt}}},
    };
}

class WaveLayoutTest : public WaveReaderTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WaveLayoutTest, FindsFmtAndData) {
    WaveOnlyReader reader;
    ASSERT_EQ(S_OK, reader.Open(Write(BuildRiff(GetParam().chunks)).c_str()));
    ASSERT_NE(nullptr, reader.GetFormat());
    EXPECT_EQ(22050u, reader.GetFormat()->nSamplesPerSec);
    EXPECT_EQ(LAYOUT_DATA, ReadRest(&reader));
}

INSTANTIATE_TEST_SUITE_P(Layouts, WaveLayoutTest, ::testing::ValuesIn(LayoutCases()), CaseName());

// A writer streaming to a pipe declares the RIFF size 0xFFFFFFFF; sizes from the one that
// just reaches offset 2^32 up must open as well as an exact one, on every RIFF layer.
TEST_F(WaveReaderTest, RiffSizeReachingPast32BitOffsetsOpens) {
    const Bytes data = PatternBytes(777, 3);
    const std::vector<TestChunk> chunks = {
        {"LIST", PatternBytes(5)}, {"fmt ", FormatBody(1, 2, 44100, 16)}, {"data", data}};
    for (uint32_t riffSize : {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFF7u, 0x80000000u}) {
        SCOPED_TRACE(riffSize);
        WaveOnlyReader reader;
        ASSERT_EQ(S_OK, reader.Open(Write(BuildRiff(chunks, "RIFF", "WAVE", riffSize)).c_str()));
        EXPECT_EQ(44100u, reader.GetFormat()->nSamplesPerSec);
        EXPECT_EQ(data, ReadRest(&reader));
        EXPECT_EQ(S_OK, reader.Reset());
        EXPECT_EQ(data.size(), reader.GetDataRemaining());
    }
}

// --- Refused files ---------------------------------------------------------------------

struct RefusedCase {
    const char* name;
    Bytes file;
};

std::vector<RefusedCase> RefusedCases() {
    const Bytes data = PatternBytes(64);
    const Bytes pcm = FormatBody(1, 1, 8000, 8);
    const Bytes whole = BuildPcmWave(1, 8000, 8, data);
    return {
        {"Fmt14", BuildRiff({{"fmt ", Bytes(pcm.begin(), pcm.begin() + 14)}, {"data", data}})},
        {"Rifx", BuildRiff({{"fmt ", pcm}, {"data", data}}, "RIFX")},
        {"FormNotWave", BuildRiff({{"fmt ", pcm}, {"data", data}}, "RIFF", "AVI ")},
        {"NoFmt", BuildRiff({{"data", data}})},
        // Its end wraps at 32 bits onto the fmt chunk itself: mmio would search for ever.
        {"FmtEndWrapsAt32Bits", BuildRiff({{"fmt ", pcm, 0xFFFFFFF8u}, {"data", data}})},
        {"FmtOutsideRiffSize", BuildRiff({{"fmt ", pcm}, {"data", data}}, "RIFF", "WAVE", 4)},
        {"ExtraSizeBeyondChunk",
         BuildRiff({{"fmt ", FormatBody(2, 1, 8000, 4, 6, {1, 2, 3, 4})}, {"data", data}})},
        {"FloatExtraSizeBeyond18",
         BuildRiff({{"fmt ", FormatBody(3, 1, 8000, 32, 2)}, {"data", data}})},
        {"ExtraBytesCutByEndOfFile",
         BuildRiff({{"fmt ", FormatBody(2, 1, 8000, 4, 32, PatternBytes(10)), 50}})},
        {"CutInsideFmt", Bytes(whole.begin(), whole.begin() + 30)},
        {"CutInsideHeader", Bytes(whole.begin(), whole.begin() + 10)},
        {"EmptyFile", {}},
    };
}

class WaveRefusedTest : public WaveReaderTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(WaveRefusedTest, FailsHoldingNothing) {
    WaveOnlyReader reader(Wrapping(NO_FAULT, &log_));
    EXPECT_EQ(E_FAIL, reader.Open(Write(GetParam().file).c_str()));
    EXPECT_EQ(nullptr, reader.GetFormat());
    EXPECT_FALSE(reader.HasFile());
    EXPECT_EQ(0, log_.liveFiles);
}

INSTANTIATE_TEST_SUITE_P(Files, WaveRefusedTest, ::testing::ValuesIn(RefusedCases()), CaseName());

TEST_F(WaveReaderTest, RefusesPathsThatAreNoFile) {
    for (const std::string& path :
         {dir_.Path().string(), (dir_.Path() / "missing.wav").string(), std::string()}) {
        WaveOnlyReader reader;
        EXPECT_EQ(E_FAIL, reader.Open(path.c_str())) << path;
        EXPECT_EQ(nullptr, reader.GetFormat());
        EXPECT_FALSE(reader.HasFile());
    }
}

// --- Data chunk ------------------------------------------------------------------------

// A data chunk after the end the RIFF size declares is not in the file either (mmio under
// Wine finds it, the program's own layer does not).
TEST_F(WaveReaderTest, NoDataChunkFailsHoldingFormatAndFile) {
    const Bytes fmt = FormatBody(1, 1, 8000, 8);
    for (const Bytes& file :
         {BuildRiff({{"fmt ", fmt}}),
          BuildRiff({{"fmt ", fmt}, {"data", PatternBytes(8)}}, "RIFF", "WAVE", 28)}) {
        {
            WaveOnlyReader reader(Wrapping(NO_FAULT, &log_));
            EXPECT_EQ(E_FAIL, reader.Open(Write(file).c_str()));
            ASSERT_NE(nullptr, reader.GetFormat());
            EXPECT_EQ(8000u, reader.GetFormat()->nSamplesPerSec);
            EXPECT_EQ(0u, reader.GetDataRemaining());
            EXPECT_TRUE(reader.HasFile());
            EXPECT_EQ(1, log_.liveFiles);
        }
        EXPECT_EQ(0, log_.liveFiles);  // the leak checker covers the format record
    }
}

// A declared data size beyond the file opens with that count, which no read can deliver;
// so does a stream writer's unknown size, with the RIFF size unknown as well.
TEST_F(WaveReaderTest, DataPastEndOfFileOpensButCannotBeRead) {
    const Bytes fmt = FormatBody(1, 1, 8000, 8);
    const std::pair<Bytes, uint32_t> cases[] = {
        {BuildRiff({{"fmt ", fmt}, {"data", {1, 2, 3}, 100}}), 100u},
        {BuildRiff({{"fmt ", fmt}, {"data", {1, 2}, 0xFFFFFFFFu}}, "RIFF", "WAVE", 0xFFFFFFFFu),
         0xFFFFFFFFu},
    };
    for (const auto& [file, declared] : cases) {
        SCOPED_TRACE(declared);
        WaveOnlyReader reader;
        ASSERT_EQ(S_OK, reader.Open(Write(file).c_str()));
        EXPECT_EQ(declared, reader.GetDataRemaining());
        Bytes out(100);
        uint32_t actual = 7;
        EXPECT_EQ(E_FAIL, reader.Read(100, out.data(), &actual));
        EXPECT_EQ(0u, actual);
        EXPECT_EQ(S_OK, reader.Reset());
        EXPECT_EQ(declared, reader.GetDataRemaining());
    }
}

TEST_F(WaveReaderTest, EmptyDataChunkReadsNothing) {
    WaveOnlyReader reader;
    ASSERT_EQ(S_OK, reader.Open(Write(BuildPcmWave(2, 44100, 16, {})).c_str()));
    EXPECT_EQ(0u, reader.GetDataRemaining());
    EXPECT_TRUE(ReadRest(&reader).empty());
}

TEST_F(WaveReaderTest, RemainingCountFollowsReadsAndResets) {
    const Bytes data = PatternBytes(500, 11);
    WaveOnlyReader reader;
    ASSERT_EQ(S_OK, reader.Open(Write(BuildPcmWave(1, 8000, 8, data)).c_str()));
    EXPECT_EQ(500u, reader.GetDataRemaining());

    Bytes out(600, 0xEE);
    uint32_t actual = 0;
    ASSERT_EQ(S_OK, reader.Read(200, out.data(), &actual));
    EXPECT_EQ(200u, actual);
    EXPECT_EQ(300u, reader.GetDataRemaining());
    // Above the remaining count: only the rest, and nothing past it is written.
    ASSERT_EQ(S_OK, reader.Read(1000, out.data() + 200, &actual));
    EXPECT_EQ(300u, actual);
    EXPECT_EQ(0u, reader.GetDataRemaining());
    EXPECT_EQ(data, Bytes(out.begin(), out.begin() + 500));
    EXPECT_EQ(0xEE, out[500]);
    // Nothing remaining.
    ASSERT_EQ(S_OK, reader.Read(10, out.data(), &actual));
    EXPECT_EQ(0u, actual);

    ASSERT_EQ(S_OK, reader.Reset());
    EXPECT_EQ(500u, reader.GetDataRemaining());
    EXPECT_EQ(data, ReadRest(&reader));
    EXPECT_EQ(0u, reader.GetDataRemaining());
}

TEST_F(WaveReaderTest, ReadsDataLargerThanTheBufferThroughIt) {
    const Bytes data = PatternBytes(300001, 13);
    WaveOnlyReader reader(Wrapping(NO_FAULT, &log_));
    ASSERT_EQ(S_OK, reader.Open(Write(BuildPcmWave(2, 44100, 16, data)).c_str()));
    const int readsAfterOpen = log_.reads;
    // Uneven pieces so that copies straddle buffer refills.
    Bytes out;
    for (uint32_t piece : {1u, 4095u, 70001u, 8193u, 300000u}) {
        Bytes part(piece);
        uint32_t actual = 0;
        ASSERT_EQ(S_OK, reader.Read(piece, part.data(), &actual));
        out.insert(out.end(), part.begin(), part.begin() + actual);
    }
    EXPECT_EQ(data, out);
    EXPECT_EQ(readsAfterOpen, log_.reads);
    EXPECT_GE(log_.advances, 300001 / 65536);
    EXPECT_LE(log_.advances, 300001 / 1024);
    ASSERT_EQ(S_OK, reader.Reset());
    EXPECT_EQ(data, ReadRest(&reader));
}

// --- Failures of the file layer --------------------------------------------------------

struct ReadFaultCase {
    const char* name;
    unsigned fault;
    bool remainingLowered;
};

class WaveReadFaultTest : public WaveReaderTest,
                          public ::testing::WithParamInterface<ReadFaultCase> {};

TEST_P(WaveReadFaultTest, ReadFailsReportingNothing) {
    // Larger than any layer's I/O buffer, so that the Read must refill it.
    constexpr uint32_t SIZE = 200000;
    WaveOnlyReader reader(Wrapping(GetParam().fault, &log_));
    ASSERT_EQ(S_OK, reader.Open(Write(BuildPcmWave(1, 8000, 8, PatternBytes(SIZE))).c_str()));
    Bytes out(SIZE);
    uint32_t actual = 99;
    EXPECT_EQ(E_FAIL, reader.Read(SIZE, out.data(), &actual));
    EXPECT_EQ(0u, actual);
    EXPECT_EQ(GetParam().remainingLowered ? 0u : SIZE, reader.GetDataRemaining());
    EXPECT_EQ(S_OK, reader.Reset());
    EXPECT_EQ(SIZE, reader.GetDataRemaining());
}

INSTANTIATE_TEST_SUITE_P(Faults, WaveReadFaultTest,
                         ::testing::Values(ReadFaultCase{"GetInfo", FAIL_GET_INFO, false},
                                           ReadFaultCase{"Advance", FAIL_ADVANCE, true},
                                           ReadFaultCase{"SetInfo", FAIL_SET_INFO, true}),
                         CaseName());

TEST_F(WaveReaderTest, SeekFailureFailsOpenHoldingFormatAndFile) {
    WaveOnlyReader reader(Wrapping(FAIL_SEEK, &log_));
    EXPECT_EQ(E_FAIL, reader.Open(Write(BuildPcmWave(1, 8000, 8, {1, 2})).c_str()));
    EXPECT_NE(nullptr, reader.GetFormat());
    EXPECT_TRUE(reader.HasFile());
    EXPECT_EQ(E_FAIL, reader.Reset());
    EXPECT_EQ(S_OK, reader.Close());
    EXPECT_EQ(0, log_.liveFiles);
}

TEST_F(WaveReaderTest, ReaderWithoutFileFailsReads) {
    WaveOnlyReader reader;
    uint8_t byte = 0;
    uint32_t actual = 5;
    EXPECT_EQ(E_FAIL, reader.Reset());
    EXPECT_EQ(E_FAIL, reader.Read(1, &byte, &actual));
    EXPECT_EQ(0u, actual);
    EXPECT_EQ(S_OK, reader.Close());
}

}  // namespace
