// The sound layer's buffer contract (sound/sound_layer.h) as one test suite that every
// implementation runs: each test binary instantiates SoundContractTest with the subjects
// it can build (a fake on a virtual clock natively, DirectSound under Wine).
#ifndef VELMORIN_TESTS_COMMON_SOUND_CONTRACT_H
#define VELMORIN_TESTS_COMMON_SOUND_CONTRACT_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "sound/sound_layer.h"
#include "wave/wave_file_reader.h"

// One implementation of the layer, with a clock of its own.
class SoundContractSubject {
  public:
    virtual ~SoundContractSubject() = default;
    virtual SoundDevice& Device() = 0;
    // The size of the buffers the cases make, in 8-bit mono at 8000 samples a second.
    virtual uint32_t BufferBytes() const = 0;
    // Lets time pass until `done` holds, for at most `soundMs` of sound plus whatever slack
    // the clock needs; false when it never held.
    virtual bool Until(const std::function<bool()>& done, uint32_t soundMs) = 0;
    // Lets some time pass, where any amount will do.
    virtual void Pass(uint32_t ms) = 0;
};

struct SoundContractParam {
    std::string name;
    std::function<std::unique_ptr<SoundContractSubject>()> make;
};

class SoundContractTest : public ::testing::TestWithParam<SoundContractParam> {
  protected:
    void SetUp() override;
    void TearDown() override;

    SoundBuffer& Buffer() { return *buffer_; }
    uint32_t Size() const { return size_; }
    bool Playing();
    uint32_t Cursor();
    bool Until(const std::function<bool()>& done, uint32_t soundMs) {
        return subject_->Until(done, soundMs);
    }
    void Pass(uint32_t ms) { subject_->Pass(ms); }

  private:
    std::unique_ptr<SoundContractSubject> subject_;
    std::unique_ptr<SoundBuffer> buffer_;
    uint32_t size_ = 0;
};

inline std::string SoundContractName(const ::testing::TestParamInfo<SoundContractParam>& info) {
    return info.param.name;
}

#endif
