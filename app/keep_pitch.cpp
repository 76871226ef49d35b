#include "app/keep_pitch.h"

#include "sound/sound_layer.h"

void KeepPitchOption::Set(bool on) {
    if (on == on_)
        return;
    // A layer that cannot keep the pitch leaves the option unchecked; the watchers show it.
    if (sound_ == nullptr || sound_->KeepPitch(on) >= 0)
        on_ = on;
    for (const auto& watcher : watchers_)
        watcher();
}
