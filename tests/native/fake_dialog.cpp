#include "tests/native/fake_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "app/main_dialog.h"
#include "app/trackbar_state.h"
#include "res/resource.h"

namespace {

const char* TrackbarName(TrackbarMessage message) {
    switch (message) {
        case TrackbarMessage::SetPos:
            return "SetPos";
        case TrackbarMessage::SetRangeMin:
            return "SetRangeMin";
        case TrackbarMessage::SetRangeMax:
            return "SetRangeMax";
    }
    return "?";
}

}  // namespace

std::set<std::pair<uint32_t, uint32_t>>& FakeHotKeyTable::Taken() {
    static std::set<std::pair<uint32_t, uint32_t>> taken;
    return taken;
}

AtomTable& FakeDialog::Atoms() {
    static AtomTable atoms;
    return atoms;
}

FakeDialog::FakeDialog() {
    // The controls with identifiers, as the template creates them.
    for (int id : {IDC_SKIP_BACK, IDC_PLAY, IDC_SKIP_FORWARD, IDC_PAUSE, IDC_STOP}) {
        controls_[id].enabled = false;
    }
    controls_[IDC_LOOP];
    controls_[IDC_AUTOPAUSE];
    for (int id : {IDC_POSITION, IDC_FREQUENCY, IDC_PAN, IDC_VOLUME, IDC_PLAY_DURATION,
                   IDC_PAUSE_DURATION, IDC_PAUSE_BACKUP}) {
        controls_[id].slider = true;
    }
    controls_[IDC_STATUS].text = "Static";
    for (int id : {IDC_FREQUENCY_TEXT, IDC_PAN_TEXT, IDC_VOLUME_TEXT, IDC_POSITION_TEXT,
                   IDC_PLAY_DURATION_TEXT, IDC_PAUSE_DURATION_TEXT, IDC_PAUSE_BACKUP_TEXT}) {
        controls_[id].text = "0";
    }
    for (int id = IDC_FOCUS_NORMAL; id <= IDC_MEM_SOFTWARE; ++id) {
        controls_[id].visible = false;
    }
}

FakeDialog::~FakeDialog() {
    // A test that ends without closing the dialog must not leave hotkeys taken.
    for (const auto& entry : hotkeys_) {
        FakeHotKeyTable::Taken().erase(entry.second);
    }
    for (const auto& combo : takenElsewhere_) {
        FakeHotKeyTable::Taken().erase(combo);
    }
}

FakeControl& FakeDialog::Control(int id) {
    auto it = controls_.find(id);
    if (it == controls_.end()) {
        // Addressing a control the dialog lacks is a fault of the code under test.
        throw std::out_of_range("no control " + std::to_string(id));
    }
    return it->second;
}

void FakeDialog::Start() {
    Send(WINMSG_INITDIALOG);
}

intptr_t FakeDialog::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return MainDialogProc(*this, message, wParam, lParam);
}

intptr_t FakeDialog::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (destroyed_)
        return 0;
    intptr_t result = Dispatch(message, wParam, lParam);
    Pump();
    if (ended_ && !destroyed_) {
        destroyed_ = true;
        Dispatch(WINMSG_DESTROY, 0, 0);
        timers_.clear();
        posted_.clear();
    }
    return result;
}

void FakeDialog::Pump() {
    while (!posted_.empty() || !redrawn_.empty()) {
        while (!posted_.empty()) {
            Posted p = posted_.front();
            posted_.erase(posted_.begin());
            if (!p.trackbar) {
                (p.iconSize == IconSize::Big ? bigIcon_ : smallIcon_) = p.icon;
                continue;
            }
            FakeControl& c = Control(p.id);
            TrackbarState state{c.rangeMin, c.rangeMax, c.pos};
            const bool changed = state.Apply(p.message, p.value);
            c.rangeMin = state.rangeMin;
            c.rangeMax = state.rangeMax;
            c.pos = state.pos;
            if (changed && std::find(redrawn_.begin(), redrawn_.end(), p.id) == redrawn_.end()) {
                redrawn_.push_back(p.id);
            }
        }
        // Painting comes after the posted messages; a painted slider notifies.
        std::vector<int> painted;
        painted.swap(redrawn_);
        for (size_t i = 0; i < painted.size() && !ended_; ++i) {
            ++notifications_;
            Dispatch(WINMSG_NOTIFY, 0, 0);
        }
    }
}

void FakeDialog::AdvanceMs(uint64_t ms) {
    const uint64_t target = now_ + ms;
    while (!destroyed_) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due <= target &&
                (next == timers_.end() || it->second.due < next->second.due)) {
                next = it;
            }
        }
        if (next == timers_.end())
            break;
        now_ = next->second.due;
        next->second.due = now_ + next->second.interval;
        Send(WINMSG_TIMER, next->first);
    }
    now_ = target;
}

void FakeDialog::ClickCheckBox(int id) {
    FakeControl& c = Control(id);
    if (!c.enabled || !c.visible)
        return;
    c.check = c.check == 1 ? 0 : 1;
    Command(id);
}

void FakeDialog::DragSlider(int id, int32_t pos) {
    FakeControl& c = Control(id);
    c.pos = TrackbarState{c.rangeMin, c.rangeMax, c.pos}.Clamp(pos);
    Send(WINMSG_NOTIFY);
}

int64_t FakeDialog::TimerInterval(uintptr_t id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? -1 : static_cast<int64_t>(it->second.interval);
}

void FakeDialog::TakeHotKeyElsewhere(uint32_t modifiers, uint32_t key) {
    FakeHotKeyTable::Taken().insert({modifiers, key});
    takenElsewhere_.push_back({modifiers, key});
}

void FakeDialog::EndDialog(intptr_t result) {
    log_.push_back("EndDialog " + std::to_string(result));
    if (!ended_) {
        ended_ = true;
        endCode_ = result;
    }
}

void FakeDialog::SetTitle(const char* text) {
    log_.push_back(std::string("SetTitle ") + text);
    title_ = text;
}

void FakeDialog::SetItemText(int id, const char* text) {
    log_.push_back("SetItemText " + std::to_string(id) + " " + text);
    Control(id).text = text;
}

void FakeDialog::EnableItem(int id, bool enable) {
    log_.push_back("EnableItem " + std::to_string(id) + (enable ? " 1" : " 0"));
    Control(id).enabled = enable;
}

bool FakeDialog::IsItemEnabled(int id) {
    return Control(id).enabled;
}

void FakeDialog::SetFocusItem(int id) {
    log_.push_back("SetFocus " + std::to_string(id));
    Control(id);
    focus_ = id;
}

unsigned FakeDialog::IsButtonChecked(int id) {
    return Control(id).check;
}

void FakeDialog::CheckRadioButton(int first, int last, int check) {
    log_.push_back("CheckRadioButton " + std::to_string(first) + " " + std::to_string(last) + " " +
                   std::to_string(check));
    for (int id = first; id <= last; ++id) {
        Control(id).check = id == check ? 1 : 0;
    }
}

int32_t FakeDialog::GetTrackbarPos(int id) {
    FakeControl& c = Control(id);
    if (!c.slider)
        throw std::logic_error("TBM_GETPOS to a control that is no slider");
    return c.pos;
}

void FakeDialog::PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) {
    log_.push_back("PostTrackbar " + std::to_string(id) + " " + TrackbarName(message) + " " +
                   std::to_string(value));
    if (!Control(id).slider)
        throw std::logic_error("trackbar message to a control that is no slider");
    posted_.push_back({true, id, message, value, IconSize::Small, nullptr});
}

IconHandle FakeDialog::LoadMainIcon() {
    log_.push_back("LoadMainIcon");
    static int icon;
    return &icon;
}

void FakeDialog::PostSetIcon(IconSize size, IconHandle icon) {
    log_.push_back(size == IconSize::Big ? "PostSetIcon big" : "PostSetIcon small");
    posted_.push_back({false, 0, TrackbarMessage::SetPos, 0, size, icon});
}

void FakeDialog::SetTimer(uintptr_t id, uint32_t milliseconds) {
    log_.push_back("SetTimer " + std::to_string(id) + " " + std::to_string(milliseconds));
    const uint64_t interval = std::max<uint64_t>(milliseconds, kMinimumTimerMs);
    timers_[id] = Timer{interval, now_ + interval};
}

void FakeDialog::KillTimer(uintptr_t id) {
    log_.push_back("KillTimer " + std::to_string(id));
    timers_.erase(id);
}

uint16_t FakeDialog::AddGlobalAtom(const char* name) {
    log_.push_back(std::string("AddGlobalAtom ") + name);
    return Atoms().Add(name);
}

void FakeDialog::DeleteGlobalAtom(uint16_t atom) {
    log_.push_back("DeleteGlobalAtom " + std::to_string(atom));
    Atoms().Delete(atom);
}

uint16_t FakeDialog::VirtualKeyForChar(char c) {
    log_.push_back(std::string("VkKeyScan ") + c);
    // A US layout: letters need no shift, and their key code is the capital letter.
    return static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(c)));
}

bool FakeDialog::RegisterHotKey(int id, uint32_t modifiers, uint32_t key) {
    log_.push_back("RegisterHotKey " + std::to_string(id) + " " + std::to_string(modifiers) + " " +
                   std::to_string(key));
    auto combo = std::make_pair(modifiers, key);
    if (FakeHotKeyTable::Taken().count(combo) != 0 || hotkeys_.count(id) != 0)
        return false;
    FakeHotKeyTable::Taken().insert(combo);
    hotkeys_[id] = combo;
    return true;
}

void FakeDialog::UnregisterHotKey(int id) {
    log_.push_back("UnregisterHotKey " + std::to_string(id));
    auto it = hotkeys_.find(id);
    if (it == hotkeys_.end())
        return;
    FakeHotKeyTable::Taken().erase(it->second);
    hotkeys_.erase(it);
}

int FakeDialog::ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                               uint32_t style) {
    log_.push_back(std::string("MessageBox ") + text);
    boxes_.push_back({owner, text, caption, style});
    return 1;
}

void FakeDialog::ShowAboutBox() {
    log_.push_back("ShowAboutBox");
    ++aboutShown_;
}

bool FakeDialog::ChooseOpenFile(const OpenFileRequest& request) {
    log_.push_back(std::string("ChooseOpenFile ") + request.initialDir);
    const char* end = request.filter;
    while (end[0] != '\0' || end[1] != '\0')
        ++end;
    openAsked_.push_back({std::string(request.filter, end + 2), request.filterIndex, request.file,
                          request.maxFile, request.initialDir, request.title, request.flags,
                          request.defaultExtension});
    if (openAnswers_.empty())
        return false;
    OpenFileAnswer answer = std::move(openAnswers_.front());
    openAnswers_.pop_front();
    if (answer.whileOpen)
        answer.whileOpen();
    if (answer.kind != OpenFileAnswer::Choose)
        return false;
    // A path that does not fit the program's buffer makes the dialog fail, and, as
    // FNERR_BUFFERTOOSMALL has it, the buffer's first two bytes get the size it needed.
    if (answer.path.size() + 1 > request.maxFile) {
        const auto needed = static_cast<uint16_t>(answer.path.size() + 1);
        if (request.maxFile >= 2) {
            request.file[0] = static_cast<char>(needed & 0xFF);
            request.file[1] = static_cast<char>(needed >> 8);
        }
        return false;
    }
    std::memcpy(request.file, answer.path.c_str(), answer.path.size() + 1);
    return true;
}

uint32_t FakeDialog::QueryFirstFolderParent(char* buffer, uint32_t size) {
    const auto length = static_cast<uint32_t>(windowsDirectory_.size());
    if (length + 1 > size)
        return length + 1;
    std::memcpy(buffer, windowsDirectory_.c_str(), length + 1);
    return length;
}
