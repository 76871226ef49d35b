// The native edition's Options > Keep Pitch: whether the Frequency slider sets the speed with
// the pitch kept rather than speed and pitch together, as a tape does. Unchecked at start;
// nothing persists. A change goes to the sound system, then to each watcher (the menu's
// check, the media player's rate).
#ifndef VELMORIN_APP_KEEP_PITCH_H
#define VELMORIN_APP_KEEP_PITCH_H

#include <functional>
#include <vector>

class SoundSystem;

class KeepPitchOption {
  public:
    explicit KeepPitchOption(SoundSystem* sound) : sound_(sound) {}
    bool On() const { return on_; }
    void Set(bool on);
    void Watch(std::function<void()> watcher) { watchers_.push_back(std::move(watcher)); }

  private:
    SoundSystem* sound_;
    bool on_ = false;
    std::vector<std::function<void()>> watchers_;
};

#endif
