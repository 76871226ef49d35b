// A model of the Windows dialog manager running the main dialog, for native tests.
//
// It keeps the effects the handlers rely on: controls by identifier with text, enabled
// state, check state, thumb and range; posted trackbar messages applied only after the
// handler returns, in order, with the thumb kept within the range; a slider that was
// redrawn sends WM_NOTIFY once the posted messages are through; SetTimer on a running id
// replaces its interval; a virtual clock delivers WM_TIMER; EndDialog destroys the
// dialog (WM_DESTROY) once the current handler has returned. Every call the handlers
// make is also written to a log, for tests of order.
#ifndef VELMORIN_TESTS_NATIVE_FAKE_DIALOG_H
#define VELMORIN_TESTS_NATIVE_FAKE_DIALOG_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/atom_table.h"
#include "app/dialog.h"

struct FakeControl {
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool slider = false;
    unsigned check = 0;
    int32_t pos = 0;
    int32_t rangeMin = 0;
    int32_t rangeMax = 100;
};

// What the user does in one open-file dialog.
struct OpenFileAnswer {
    enum Kind { Choose, Cancel, Fail } kind;
    std::string path;                 // Choose: what the user picked
    std::function<void()> whileOpen;  // runs while the dialog is up (its modal loop)
};

// One open-file dialog as the program asked for it.
struct OpenFileAsked {
    std::string filter;  // the whole block, NULs included
    uint32_t filterIndex;
    std::string initialFile;
    uint32_t maxFile;
    std::string initialDir;
    std::string title;
    uint32_t flags;
    std::string defaultExtension;
};

struct ShownBox {
    MessageBoxOwner owner;
    std::string text;
    std::string caption;
    uint32_t style;
};

// Hotkeys registered by every fake dialog of the process, as the system's table:
// a combination taken by one window cannot be registered by another.
struct FakeHotKeyTable {
    static std::set<std::pair<uint32_t, uint32_t>>& Taken();
};

class FakeDialog : public Dialog {
  public:
    // The shortest interval a window timer has.
    static constexpr uint64_t kMinimumTimerMs = 10;

    FakeDialog();
    ~FakeDialog() override;

    // Creates the dialog: WM_INITDIALOG, then the posted messages.
    void Start();
    // Delivers one message and then everything it posted.
    intptr_t Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    intptr_t Command(int id) { return Send(WINMSG_COMMAND, static_cast<uintptr_t>(id)); }
    // Runs the virtual clock forward, delivering timer ticks as they fall due.
    void AdvanceMs(uint64_t ms);

    // What a user does: the check box toggles, then tells the dialog.
    void ClickCheckBox(int id);
    // The user drags a thumb: it moves within the range and the slider redraws.
    void DragSlider(int id, int32_t pos);

    FakeControl& Control(int id);
    const std::string& Title() const { return title_; }
    int Focus() const { return focus_; }
    bool Ended() const { return ended_; }
    intptr_t EndCode() const { return endCode_; }
    bool Destroyed() const { return destroyed_; }
    // Interval of a running timer, or -1 when it does not run.
    int64_t TimerInterval(uintptr_t id) const;
    uint64_t Now() const { return now_; }
    const std::vector<ShownBox>& Boxes() const { return boxes_; }
    std::vector<std::string>& Log() { return log_; }
    // Registered hotkeys: id -> (modifiers, key).
    const std::map<int, std::pair<uint32_t, uint32_t>>& RegisteredHotKeys() const {
        return hotkeys_;
    }
    IconHandle BigIcon() const { return bigIcon_; }
    IconHandle SmallIcon() const { return smallIcon_; }
    int AboutBoxesShown() const { return aboutShown_; }
    // WM_NOTIFY messages the sliders have sent on redraw.
    int SliderNotifications() const { return notifications_; }
    // The answers of the next open-file dialogs, in order; without one the user cancels.
    void AnswerOpenFile(OpenFileAnswer answer) { openAnswers_.push_back(std::move(answer)); }
    const std::vector<OpenFileAsked>& OpenFileDialogs() const { return openAsked_; }
    void SetWindowsDirectory(std::string directory) { windowsDirectory_ = std::move(directory); }
    // Paths as on Linux: '/' between directories, the first dialog in `documents`.
    void UsePosixPaths(std::string documents) {
        windowsDirectory_ = std::move(documents);
        firstFolderName_ = "";
        separator_ = '/';
    }
    // Makes every RegisterHotKey of this dialog for this key fail, as if another
    // program held it.
    void TakeHotKeyElsewhere(uint32_t modifiers, uint32_t key);

    // Dialog
    void* Window() override { return this; }
    void EndDialog(intptr_t result) override;
    void SetTitle(const char* text) override;
    void SetItemText(int id, const char* text) override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) override;
    void SetFocusItem(int id) override;
    unsigned IsButtonChecked(int id) override;
    void CheckRadioButton(int first, int last, int check) override;
    int32_t GetTrackbarPos(int id) override;
    void PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) override;
    IconHandle LoadMainIcon() override;
    void PostSetIcon(IconSize size, IconHandle icon) override;
    void SetTimer(uintptr_t id, uint32_t milliseconds) override;
    void KillTimer(uintptr_t id) override;
    uint16_t AddGlobalAtom(const char* name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    uint16_t VirtualKeyForChar(char c) override;
    bool RegisterHotKey(int id, uint32_t modifiers, uint32_t key) override;
    void UnregisterHotKey(int id) override;
    int ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                       uint32_t style) override;
    void ShowAboutBox() override;
    bool ChooseOpenFile(const OpenFileRequest& request) override;
    uint32_t QueryFirstFolderParent(char* buffer, uint32_t size) override;
    const char* FirstFolderName() override { return firstFolderName_; }
    char PathSeparator() override { return separator_; }

    // The process's global atom table.
    static AtomTable& Atoms();

  private:
    struct Posted {
        bool trackbar;
        int id;
        TrackbarMessage message;
        int32_t value;
        IconSize iconSize;
        IconHandle icon;
    };
    struct Timer {
        uint64_t interval;
        uint64_t due;
    };

    intptr_t Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void Pump();

    std::map<int, FakeControl> controls_;
    std::vector<Posted> posted_;
    std::vector<int> redrawn_;
    std::map<uintptr_t, Timer> timers_;
    std::map<int, std::pair<uint32_t, uint32_t>> hotkeys_;
    std::vector<std::pair<uint32_t, uint32_t>> takenElsewhere_;
    std::vector<ShownBox> boxes_;
    std::deque<OpenFileAnswer> openAnswers_;
    std::vector<OpenFileAsked> openAsked_;
    std::string windowsDirectory_ = "C:\\windows";
    const char* firstFolderName_ = "My Documents";
    char separator_ = '\\';
    std::vector<std::string> log_;
    std::string title_ = "Velmorin";
    IconHandle bigIcon_ = nullptr;
    IconHandle smallIcon_ = nullptr;
    int focus_ = 0;
    int aboutShown_ = 0;
    int notifications_ = 0;
    uint64_t now_ = 0;
    bool ended_ = false;
    bool destroyed_ = false;
    intptr_t endCode_ = 0;
};

// The same model tied to a real window of the platform's, for layers that need one (the
// sound device's cooperation level).
class WindowedFakeDialog : public FakeDialog {
  public:
    explicit WindowedFakeDialog(void* window) : window_(window) {}
    void* Window() override { return window_; }

  private:
    void* window_;
};

#endif
