#include "control/pedals.h"

#include <algorithm>
#include <cstdio>

namespace {

struct KnownPedal {
    uint16_t vendor;
    uint16_t product;
};

constexpr KnownPedal kPedals[] = {
    {0x05F3, 0x00FF},  // VEC / Infinity IN-USB-1, IN-USB-2 (PI Engineering)
    {0x0911, 0x1844},  // Philips ACC2310, ACC2320
    {0x0911, 0x091A},  // Philips ACC2330
};

constexpr uint8_t kReportIdItem = 0x85;  // Global item, tag 8, one byte of data
constexpr uint8_t kLongItem = 0xFE;

}  // namespace

bool IsKnownPedal(uint16_t vendor, uint16_t product) {
    return std::any_of(std::begin(kPedals), std::end(kPedals), [&](const KnownPedal& p) {
        return p.vendor == vendor && p.product == product;
    });
}

bool ParseHidId(const std::string& uevent, uint16_t* vendor, uint16_t* product) {
    size_t line = 0;
    while (line < uevent.size()) {
        const size_t end = std::min(uevent.find('\n', line), uevent.size());
        unsigned bus = 0, v = 0, p = 0;
        char tail = 0;
        const std::string text = uevent.substr(line, end - line);
        if (std::sscanf(text.c_str(), "HID_ID=%x:%x:%x%c", &bus, &v, &p, &tail) == 3 &&
            v <= 0xFFFF && p <= 0xFFFF) {
            *vendor = static_cast<uint16_t>(v);
            *product = static_cast<uint16_t>(p);
            return true;
        }
        line = end + 1;
    }
    return false;
}

bool NumbersReports(const std::vector<uint8_t>& descriptor) {
    // Short items: a prefix byte whose low two bits give 0, 1, 2 or 4 bytes of data; a
    // long item gives its data size in the byte after the prefix.
    size_t at = 0;
    while (at < descriptor.size()) {
        const uint8_t prefix = descriptor[at];
        if (prefix == kLongItem) {
            if (at + 1 >= descriptor.size())
                return false;
            at += 3 + descriptor[at + 1];
            continue;
        }
        if (prefix == kReportIdItem)
            return true;
        const size_t sizes[] = {0, 1, 2, 4};
        at += 1 + sizes[prefix & 0x3];
    }
    return false;
}

uint8_t PedalsDown(const uint8_t* report, size_t size, bool numbered) {
    const size_t at = numbered ? 1 : 0;
    return size > at ? static_cast<uint8_t>(report[at] & (PEDAL_LEFT | PEDAL_MIDDLE | PEDAL_RIGHT))
                     : 0;
}

void PedalControl::Report(uint8_t down, uint64_t nowMs, std::vector<RemoteAction>* actions) {
    const uint8_t pressed = static_cast<uint8_t>(down & ~down_);
    const uint8_t released = static_cast<uint8_t>(down_ & ~down);
    down_ = down;
    if (pressed & PEDAL_MIDDLE)
        actions->push_back(RemoteAction::Play);
    if (released & PEDAL_MIDDLE)
        actions->push_back(RemoteAction::Pause);
    if (pressed & PEDAL_LEFT) {
        actions->push_back(RemoteAction::Previous);
        leftDue_ = nowMs + kRepeatMs;
    }
    if (pressed & PEDAL_RIGHT) {
        actions->push_back(RemoteAction::Next);
        rightDue_ = nowMs + kRepeatMs;
    }
    if (released & PEDAL_LEFT)
        leftDue_ = 0;
    if (released & PEDAL_RIGHT)
        rightDue_ = 0;
}

void PedalControl::Tick(uint64_t nowMs, std::vector<RemoteAction>* actions) {
    // In the order they fell due; a late tick makes up for the repeats it missed.
    for (;;) {
        const bool left = leftDue_ != 0 && leftDue_ <= nowMs;
        const bool right = rightDue_ != 0 && rightDue_ <= nowMs;
        if (!left && !right)
            return;
        if (left && (!right || leftDue_ <= rightDue_)) {
            actions->push_back(RemoteAction::Previous);
            leftDue_ += kRepeatMs;
        } else {
            actions->push_back(RemoteAction::Next);
            rightDue_ += kRepeatMs;
        }
    }
}

uint64_t PedalControl::NextTickMs() const {
    if (leftDue_ == 0)
        return rightDue_;
    return rightDue_ == 0 ? leftDue_ : std::min(leftDue_, rightDue_);
}

void PedalControl::Forget() {
    down_ = 0;
    leftDue_ = rightDue_ = 0;
}
