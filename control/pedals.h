// Transcription foot pedals: which USB devices are pedals, what their reports say, and what
// pressing, holding and releasing them does, on a clock of the caller's.
//
// The common pedals (VEC / Infinity IN-USB-1 and -2, Philips ACC2310/2320/2330) send input
// reports whose first data byte holds a bit per pedal: 0x01 left, 0x02 middle, 0x04 right
// (a Philips ACC2330's fourth pedal, 0x08, does nothing here). What the pedals do is the
// usual push-to-play transcription mapping, built on what the player already does:
// - middle pressed: Play (RemoteAction::Play: the pause hotkey's resume with its step back,
//   or the Play button); middle released: Pause (the pause hotkey's pause); so the
//   recording is heard while the pedal is down;
// - left: Previous (Alt+H's skip back), right: Next (Alt+K's skip forward), at once when
//   pressed and again every 250 ms while held.
#ifndef VELMORIN_CONTROL_PEDALS_H
#define VELMORIN_CONTROL_PEDALS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/remote_control.h"

enum PedalBits : uint8_t { PEDAL_LEFT = 0x01, PEDAL_MIDDLE = 0x02, PEDAL_RIGHT = 0x04 };

// Whether a USB vendor and product are a pedal read here.
bool IsKnownPedal(uint16_t vendor, uint16_t product);
// The vendor and product of a hidraw device's uevent text (its "HID_ID=0003:000005F3:
// 000000FF" line); false when it has none.
bool ParseHidId(const std::string& uevent, uint16_t* vendor, uint16_t* product);
// Whether a HID report descriptor numbers its reports (has a Report ID item): each report
// read from the device then begins with that number.
bool NumbersReports(const std::vector<uint8_t>& descriptor);
// The pedals down in one report as read (PEDAL_ bits); 0 for a report too short to say.
uint8_t PedalsDown(const uint8_t* report, size_t size, bool numbered);

class PedalControl {
  public:
    static constexpr uint64_t kRepeatMs = 250;

    // A report at `nowMs`: appends what the pedals that went down or up do.
    void Report(uint8_t down, uint64_t nowMs, std::vector<RemoteAction>* actions);
    // Time has come to `nowMs`: appends the repeats of held side pedals that fell due.
    void Tick(uint64_t nowMs, std::vector<RemoteAction>* actions);
    // When the next repeat falls due; 0 while no side pedal is held.
    uint64_t NextTickMs() const;
    // The device went away: its pedals count as up, and nothing more repeats.
    void Forget();

  private:
    uint8_t down_ = 0;
    uint64_t leftDue_ = 0;
    uint64_t rightDue_ = 0;
};

#endif
