#include "sound/mixer/sample_format.h"

#include <cstring>

namespace {

constexpr uint16_t kFloat = 3;
constexpr uint16_t kExtensible = 0xFFFE;
constexpr uint16_t kExtensibleExtra = 22;
// The sub-format GUID's bytes after its first two (the format tag): KSDATAFORMAT_SUBTYPE_*.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The format tag the record stands for, or 0 for an extensible record of another kind.
uint16_t EffectiveTag(const WaveFormat* format) {
    if (format->wFormatTag != kExtensible)
        return format->wFormatTag;
    if (format->cbSize < kExtensibleExtra)
        return 0;
    const uint8_t* guid = WaveFormatExtra(format) + 6;  // after valid bits and channel mask
    if (std::memcmp(guid + 2, kSubFormatTail, sizeof kSubFormatTail) != 0)
        return 0;
    return static_cast<uint16_t>(guid[0] | guid[1] << 8);
}

int32_t Signed24(const uint8_t* p) {
    const uint32_t value = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    return static_cast<int32_t>(value << 8) >> 8;
}

float Sample(SampleEncoding encoding, const uint8_t* p) {
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return static_cast<float>(int{p[0]} - 128) / 128.0f;
        case SampleEncoding::Signed16: {
            int16_t value;
            std::memcpy(&value, p, 2);
            return static_cast<float>(value) / 32768.0f;
        }
        case SampleEncoding::Signed24:
            return static_cast<float>(Signed24(p)) / 8388608.0f;
        case SampleEncoding::Signed32: {
            int32_t value;
            std::memcpy(&value, p, 4);
            return static_cast<float>(static_cast<double>(value) / 2147483648.0);
        }
        case SampleEncoding::Float32: {
            float value;
            std::memcpy(&value, p, 4);
            return value;
        }
    }
    return 0.0f;
}

}  // namespace

bool DescribeSamples(const WaveFormat* format, SampleLayout* layout) {
    if (format == nullptr || format->nChannels < 1 || format->nChannels > 2 ||
        format->nSamplesPerSec == 0) {
        return false;
    }
    const uint16_t tag = EffectiveTag(format);
    const uint16_t bits = format->wBitsPerSample;
    SampleEncoding encoding;
    if (tag == WAVE_FORMAT_PCM_TAG && bits == 8) {
        encoding = SampleEncoding::Unsigned8;
    } else if (tag == WAVE_FORMAT_PCM_TAG && bits == 16) {
        encoding = SampleEncoding::Signed16;
    } else if (tag == WAVE_FORMAT_PCM_TAG && bits == 24) {
        encoding = SampleEncoding::Signed24;
    } else if (tag == WAVE_FORMAT_PCM_TAG && bits == 32) {
        encoding = SampleEncoding::Signed32;
    } else if (tag == kFloat && bits == 32) {
        encoding = SampleEncoding::Float32;
    } else {
        return false;
    }
    if (format->nBlockAlign != format->nChannels * bits / 8)
        return false;
    *layout = {encoding, format->nChannels, format->nBlockAlign, format->nSamplesPerSec};
    return true;
}

void ToStereoFloat(const SampleLayout& layout, const uint8_t* data, size_t frames, float* out) {
    const size_t width = layout.blockAlign / layout.channels;
    for (size_t frame = 0; frame < frames; ++frame, data += layout.blockAlign) {
        const float left = Sample(layout.encoding, data);
        *out++ = left;
        *out++ = layout.channels == 2 ? Sample(layout.encoding, data + width) : left;
    }
}
