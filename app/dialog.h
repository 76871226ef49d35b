// The dialog operations the handlers use, on the one main dialog window.
//
// Every adapter keeps these effects (the Win32 adapter gets them from the dialog
// manager; the test fake models them):
// - Controls are addressed by identifier each time; no control handle is kept.
// - SetTitle and SetItemText replace the text at once, whether or not it changed.
// - EnableItem sets and IsItemEnabled reads a control's enabled state at once.
// - IsButtonChecked returns the button's check state; only exactly 1 means checked.
// - CheckRadioButton checks `check` and clears every other button of first..last.
// - GetTrackbarPos is a sent TBM_GETPOS: it sees the thumb as it is now.
// - PostTrackbarMessage is a posted TBM_SETPOS/SETRANGEMIN/SETRANGEMAX with redraw:
//   it takes effect after the current handler returns, in the order posted, and the
//   thumb always stays within the range and is drawn where range and position put it.
//   A redrawn slider sends the dialog WM_NOTIFY.
// - SetTimer on an id that runs replaces its interval and starts a new period;
//   0 ms asks for the shortest interval the platform has. Ticks arrive as WM_TIMER.
// - RegisterHotKey returns false on failure; a registered hotkey sends WM_HOTKEY with
//   its id whatever window has the keyboard.
// - ShowMessageBox and ShowAboutBox are modal: they return once dismissed, and the
//   main dialog's WM_TIMER and WM_HOTKEY messages keep arriving meanwhile.
#ifndef VELMORIN_APP_DIALOG_H
#define VELMORIN_APP_DIALOG_H

#include <cstdint>

#include "base/window.h"

// Message numbers and parameters as the Windows dialog manager delivers them.
enum : uint32_t {
    WINMSG_DESTROY = 0x0002,
    WINMSG_NOTIFY = 0x004E,
    WINMSG_INITDIALOG = 0x0110,
    WINMSG_COMMAND = 0x0111,
    WINMSG_TIMER = 0x0113,
    WINMSG_HOTKEY = 0x0312,
};

enum : int { COMMAND_OK = 1, COMMAND_CANCEL = 2 };

enum class TrackbarMessage : uint32_t { SetPos = 1029, SetRangeMin = 1031, SetRangeMax = 1032 };

enum class IconSize : uint32_t { Small = 0, Big = 1 };

enum class MessageBoxOwner { None, MainDialog };

// MessageBox styles used here.
enum : uint32_t { MESSAGEBOX_OK = 0x0, MESSAGEBOX_ICONERROR = 0x10 };

// RegisterHotKey's modifier bits.
enum : uint32_t {
    HOTKEY_MOD_ALT = 0x1,
    HOTKEY_MOD_CONTROL = 0x2,
    HOTKEY_MOD_SHIFT = 0x4,
    HOTKEY_MOD_WIN = 0x8,
};

using IconHandle = void*;

// The fields of the open-file dialog's record (OPENFILENAMEA) that the program chooses;
// the adapter fills the rest: the main dialog as owner, and null or 0 everywhere else.
struct OpenFileRequest {
    const char* filter;  // description/pattern pairs, each NUL-ended, one more NUL at the end
    uint32_t filterIndex;
    char* file;  // in: the initial file name; out: the chosen path
    uint32_t maxFile;
    const char* initialDir;
    const char* title;
    uint32_t flags;
    const char* defaultExtension;
};

// Open-file dialog flags.
enum : uint32_t { OPEN_FILE_MUST_EXIST = 0x1000, OPEN_HIDE_READONLY = 0x4 };

class Dialog {
  public:
    virtual ~Dialog() = default;

    // The dialog's window handle, for platform layers that tie to a window.
    virtual WindowHandle Window() = 0;
    virtual void EndDialog(intptr_t result) = 0;
    virtual void SetTitle(const char* text) = 0;
    virtual void SetItemText(int id, const char* text) = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    virtual bool IsItemEnabled(int id) = 0;
    virtual void SetFocusItem(int id) = 0;
    virtual unsigned IsButtonChecked(int id) = 0;
    virtual void CheckRadioButton(int first, int last, int check) = 0;
    virtual int32_t GetTrackbarPos(int id) = 0;
    virtual void PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) = 0;

    // The icon IDI_MAIN from the module that owns the dialog.
    virtual IconHandle LoadMainIcon() = 0;
    // Posted WM_SETICON.
    virtual void PostSetIcon(IconSize size, IconHandle icon) = 0;

    virtual void SetTimer(uintptr_t id, uint32_t milliseconds) = 0;
    virtual void KillTimer(uintptr_t id) = 0;

    virtual uint16_t AddGlobalAtom(const char* name) = 0;
    virtual void DeleteGlobalAtom(uint16_t atom) = 0;
    // VkKeyScanA: virtual-key code in the low byte, shift state in the high byte.
    virtual uint16_t VirtualKeyForChar(char c) = 0;
    virtual bool RegisterHotKey(int id, uint32_t modifiers, uint32_t key) = 0;
    virtual void UnregisterHotKey(int id) = 0;

    virtual int ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                               uint32_t style) = 0;
    // The About box, modal, owned by the main dialog; its result is not used.
    virtual void ShowAboutBox() = 0;
    // GetOpenFileNameA, modal: true when the user chose a file (its path is in
    // request.file), false when the user cancelled or the dialog failed (for one, a path
    // longer than request.maxFile).
    virtual bool ChooseOpenFile(const OpenFileRequest& request) = 0;
    // Where the first open-file dialog of a run starts: the folder FirstFolderName()
    // inside the directory this gives, or that directory itself when the name is empty
    // (Windows: "My Documents" under the Windows directory; Linux: the documents folder).
    // GetWindowsDirectoryA's contract: the length copied without the NUL, or, when the
    // buffer is too small, the size needed with the NUL (the buffer then holds nothing
    // usable); 0 on failure.
    virtual uint32_t QueryFirstFolderParent(char* buffer, uint32_t size) = 0;
    virtual const char* FirstFolderName() = 0;
    // The separator between a path's directories: '\\' on Windows, '/' on Linux.
    virtual char PathSeparator() = 0;
};

#endif
