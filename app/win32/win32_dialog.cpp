#include "app/win32/win32_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "app/win32/about_dialog.h"
#include "app/main_dialog.h"
#include "res/resource.h"

HINSTANCE ModuleInstance = nullptr;

void Win32Dialog::EndDialog(intptr_t result) {
    ::EndDialog(window_, result);
}

void Win32Dialog::SetTitle(const char* text) {
    SetWindowTextA(window_, text);
}

void Win32Dialog::SetItemText(int id, const char* text) {
    SetWindowTextA(GetDlgItem(window_, id), text);
}

void Win32Dialog::EnableItem(int id, bool enable) {
    EnableWindow(GetDlgItem(window_, id), enable ? TRUE : FALSE);
}

bool Win32Dialog::IsItemEnabled(int id) {
    return IsWindowEnabled(GetDlgItem(window_, id)) != 0;
}

void Win32Dialog::SetFocusItem(int id) {
    SetFocus(GetDlgItem(window_, id));
}

unsigned Win32Dialog::IsButtonChecked(int id) {
    return IsDlgButtonChecked(window_, id);
}

void Win32Dialog::CheckRadioButton(int first, int last, int check) {
    ::CheckRadioButton(window_, first, last, check);
}

int32_t Win32Dialog::GetTrackbarPos(int id) {
    return static_cast<int32_t>(SendMessageA(GetDlgItem(window_, id), TBM_GETPOS, 0, 0));
}

void Win32Dialog::PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) {
    HWND slider = GetDlgItem(window_, id);
    PostMessageA(slider, static_cast<UINT>(message), 1, value);
    // Wine's trackbar places its thumb anew only when the position changes: a new range
    // whose position stays (Pan's 0 in -20..20, after 0 in the default 0..100) keeps the
    // thumb where the old range put it. A slider lays out channel and thumb again on
    // WM_SIZE, so one with its unchanged size follows each range message; it moves
    // neither the position nor the range, and its repaint joins the range's own.
    if (message != TrackbarMessage::SetPos) {
        RECT client;
        GetClientRect(slider, &client);
        PostMessageA(slider, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
}

IconHandle Win32Dialog::LoadMainIcon() {
    auto owner = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
    return LoadIconA(owner, MAKEINTRESOURCEA(IDI_MAIN));
}

void Win32Dialog::PostSetIcon(IconSize size, IconHandle icon) {
    PostMessageA(window_, WM_SETICON, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(icon));
}

void Win32Dialog::SetTimer(uintptr_t id, uint32_t milliseconds) {
    ::SetTimer(window_, id, milliseconds, nullptr);
}

void Win32Dialog::KillTimer(uintptr_t id) {
    ::KillTimer(window_, id);
}

uint16_t Win32Dialog::AddGlobalAtom(const char* name) {
    return GlobalAddAtomA(name);
}

void Win32Dialog::DeleteGlobalAtom(uint16_t atom) {
    GlobalDeleteAtom(atom);
}

uint16_t Win32Dialog::VirtualKeyForChar(char c) {
    return static_cast<uint16_t>(VkKeyScanA(c));
}

bool Win32Dialog::RegisterHotKey(int id, uint32_t modifiers, uint32_t key) {
    return ::RegisterHotKey(window_, id, modifiers, key) != 0;
}

void Win32Dialog::UnregisterHotKey(int id) {
    ::UnregisterHotKey(window_, id);
}

int Win32Dialog::ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                                uint32_t style) {
    HWND parent = owner == MessageBoxOwner::MainDialog ? window_ : nullptr;
    return MessageBoxA(parent, text, caption, style);
}

void Win32Dialog::ShowAboutBox() {
    DialogBoxParamA(ModuleInstance, "About", window_, AboutDialogProc, 0);
}

bool Win32Dialog::ChooseOpenFile(const OpenFileRequest& request) {
    OPENFILENAMEA record;
    ZeroMemory(&record, sizeof record);
    // The record without the fields later versions appended.
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = window_;
    record.hInstance = nullptr;
    record.lpstrFilter = request.filter;
    record.lpstrCustomFilter = nullptr;
    record.nMaxCustFilter = 0;
    record.nFilterIndex = request.filterIndex;
    record.lpstrFile = request.file;
    record.nMaxFile = request.maxFile;
    record.lpstrFileTitle = nullptr;
    record.nMaxFileTitle = 0;
    record.lpstrInitialDir = request.initialDir;
    record.lpstrTitle = request.title;
    record.Flags = request.flags;
    record.nFileOffset = 0;
    record.nFileExtension = 0;
    record.lpstrDefExt = request.defaultExtension;
    record.lCustData = 0;
    record.lpfnHook = nullptr;
    record.lpTemplateName = nullptr;
    return GetOpenFileNameA(&record) == TRUE;
}

uint32_t Win32Dialog::QueryFirstFolderParent(char* buffer, uint32_t size) {
    return GetWindowsDirectoryA(buffer, size);
}

INT_PTR CALLBACK Win32MainDialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    Win32Dialog dialog(window);
    return MainDialogProc(dialog, message, wParam, lParam);
}
