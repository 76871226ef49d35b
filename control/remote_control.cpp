#include "control/remote_control.h"

#include <algorithm>
#include <cmath>

#include "control/player_state.h"
#include "res/resource.h"
#include "sound/speed.h"

namespace {

RemoteMessage HotKey(uint32_t id) {
    return {WINMSG_HOTKEY, id};
}

RemoteMessage Command(int id) {
    return {WINMSG_COMMAND, static_cast<uintptr_t>(id)};
}

}  // namespace

bool MessageForRemote(RemoteAction action, const PlayerView& view, RemoteMessage* out) {
    const bool resumes = view.active && view.paused;
    const bool pauses = view.active && !view.paused;
    const bool plays = !view.active && view.canPlay;
    switch (action) {
        case RemoteAction::PlayPause:
            if (!view.active && !plays)
                return false;
            *out = view.active ? HotKey(PlayerState.hotkeyPause) : Command(IDC_PLAY);
            return true;
        case RemoteAction::Play:
            if (!resumes && !plays)
                return false;
            *out = resumes ? HotKey(PlayerState.hotkeyPause) : Command(IDC_PLAY);
            return true;
        case RemoteAction::Pause:
            if (!pauses)
                return false;
            *out = HotKey(PlayerState.hotkeyPause);
            return true;
        case RemoteAction::Stop:
            if (!view.active)
                return false;
            *out = Command(IDC_STOP);
            return true;
        case RemoteAction::Next:
            *out = HotKey(PlayerState.hotkeyForward);
            return true;
        case RemoteAction::Previous:
            *out = HotKey(PlayerState.hotkeyBack);
            return true;
        case RemoteAction::Quit:
            *out = Command(IDM_FILE_EXIT);
            return true;
    }
    return false;
}

bool ActionForSeek(int64_t offsetUs, RemoteAction* action) {
    if (offsetUs == 0)
        return false;
    *action = offsetUs < 0 ? RemoteAction::Previous : RemoteAction::Next;
    return true;
}

double LinearVolume(int32_t volumeThumb) {
    return std::pow(10.0, volumeThumb / 20.0);
}

double RateForView(const PlayerView& view) {
    return SpeedWithPitchKept(static_cast<uint32_t>(std::max(view.frequency, 0)), view.sampleRate);
}

int32_t FrequencyForRate(double rate, uint32_t sampleRate) {
    const double speed = std::isnan(rate) ? 1.0 : std::clamp(rate, kSlowestSpeed, kFastestSpeed);
    return static_cast<int32_t>(std::lround(speed * sampleRate));
}
