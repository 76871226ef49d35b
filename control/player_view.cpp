#include "control/player_view.h"

#include "control/file_open.h"
#include "control/player_state.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"

namespace {

uint32_t BytesPerSecond() {
    const WaveFileReader* reader = SoundOutput.reader.get();
    return reader != nullptr && reader->Opened() ? reader->GetFormat()->nAvgBytesPerSec : 0;
}

}  // namespace

bool PlayerView::operator==(const PlayerView& other) const {
    return loaded == other.loaded && active == other.active && paused == other.paused &&
           canPlay == other.canPlay && path == other.path && lengthUs == other.lengthUs &&
           sampleRate == other.sampleRate && frequency == other.frequency;
}

PlayerView ViewPlayer(Dialog& dialog) {
    PlayerView view;
    view.loaded = SoundOutput.reader != nullptr && SoundOutput.reader->Opened();
    view.active = dialog.IsItemEnabled(IDC_STOP);
    view.paused = view.active && PlayerState.paused == 1;
    view.canPlay = dialog.IsItemEnabled(IDC_PLAY);
    view.frequency = dialog.GetTrackbarPos(IDC_FREQUENCY);
    if (view.loaded) {
        view.sampleRate = SoundOutput.reader->GetFormat()->nSamplesPerSec;
        view.path = chosenPath;
        const uint32_t rate = BytesPerSecond();
        view.lengthUs = rate == 0 ? 0 : uint64_t{PlayerState.dataLength} * 1000000u / rate;
    }
    return view;
}

int64_t PlayPositionUs(const PlayerView& view) {
    const uint32_t rate = BytesPerSecond();
    if (!view.active || rate == 0)
        return 0;
    // While paused, where the resume starts from: a skip meanwhile moves only the stopped
    // buffer's cursor, which the resume sets anew.
    const int32_t at = view.paused ? PlayerState.resumePosition : GetPlayPosition();
    return at < 0 ? 0 : static_cast<int64_t>(uint64_t{static_cast<uint32_t>(at)} * 1000000u / rate);
}
