// The dialog operations over a real Win32 dialog window.
#ifndef VELMORIN_APP_WIN32_WIN32_DIALOG_H
#define VELMORIN_APP_WIN32_WIN32_DIALOG_H

#include "base/win32_headers.h"

#include "app/dialog.h"

// The module instance, kept by the entry before the dialog is created; the About box
// template is loaded from it.
extern HINSTANCE ModuleInstance;

class Win32Dialog final : public Dialog {
  public:
    explicit Win32Dialog(HWND window) : window_(window) {}

    void* Window() override { return window_; }
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
    const char* FirstFolderName() override { return "My Documents"; }
    char PathSeparator() override { return '\\'; }

  private:
    HWND window_;
};

// The dialog procedure given to the dialog manager: hands every message to
// MainDialogProc with a Win32Dialog for the window. No C++ exception leaves it: it would
// unwind through the dialog manager.
INT_PTR CALLBACK Win32MainDialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;

#endif
