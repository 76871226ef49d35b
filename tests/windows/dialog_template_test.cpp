// The compiled main dialog template, and the real dialog created from it, against the
// layout the program is designed with. The expected values are written out here; they
// are not read back from the resource script.
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/windows/resource_reader.h"

namespace {

// Control kinds: every control has WS_CHILD besides these styles.
constexpr DWORD kPush = BS_PUSHBUTTON | WS_VISIBLE | WS_DISABLED | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kPlainSlider = TBS_HORZ | TBS_BOTH | TBS_NOTICKS | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kEndTickSlider = TBS_HORZ | TBS_TOP | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kTickSlider = TBS_HORZ | TBS_TOP | TBS_AUTOTICKS | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE | WS_GROUP | WS_VISIBLE;
constexpr DWORD kValue = SS_CENTER | SS_CENTERIMAGE | WS_GROUP | WS_VISIBLE;
constexpr DWORD kEndLabel = SS_CENTER | SS_CENTERIMAGE | WS_GROUP | WS_VISIBLE;
constexpr DWORD kHiddenLabel = SS_LEFT | WS_GROUP;
constexpr DWORD kHiddenRadio = BS_AUTORADIOBUTTON;

struct Expected {
    int id;
    const char* cls;
    DWORD style;
    DWORD exStyle;
    const char* text;
    short x, y, cx, cy;
};

const char kButton[] = "Button";
const char kStatic[] = "Static";
const char kTrackbar[] = "msctls_trackbar32";

const Expected kControls[50] = {
    {IDC_SKIP_BACK, kButton, kPush, 0, "<<", 7, 184, 22, 14},
    {IDC_PLAY, kButton, kPush, 0, "&Play", 31, 184, 24, 14},
    {IDC_SKIP_FORWARD, kButton, kPush, 0, ">>", 57, 184, 22, 14},
    {IDC_PAUSE, kButton, kPush, 0, "P&ause", 82, 184, 29, 14},
    {IDC_STOP, kButton, kPush, 0, "&Stop", 115, 184, 22, 14},
    {IDC_LOOP, kButton, kCheck, 0, "&Loop sound", 153, 188, 53, 10},
    {IDC_POSITION, kTrackbar, kPlainSlider, 0, "Slider1", 131, 26, 103, 15},
    {IDC_FREQUENCY, kTrackbar, kPlainSlider, 0, "Slider1", 131, 43, 103, 15},
    {IDC_PAN, kTrackbar, kPlainSlider, 0, "Slider2", 131, 61, 103, 15},
    {IDC_VOLUME, kTrackbar, kPlainSlider, 0, "Slider3", 131, 77, 103, 15},
    {IDC_AUTOPAUSE, kButton, kCheck, 0, "Use automatic pausing", 7, 98, 88, 10},
    {IDC_PLAY_DURATION, kTrackbar, kEndTickSlider, 0, "Slider3", 131, 109, 103, 15},
    {IDC_PAUSE_DURATION, kTrackbar, kEndTickSlider, 0, "Slider3", 131, 131, 103, 15},
    {IDC_PAUSE_BACKUP, kTrackbar, kTickSlider, 0, "Slider3", 131, 152, 103, 15},
    {-1, kStatic, kLabel, 0, "Status", 7, 9, 42, 13},
    {IDC_STATUS, kStatic, kLabel, WS_EX_CLIENTEDGE, "Static", 79, 7, 197, 13},
    {-1, kStatic, kLabel, 0, "Frequency", 7, 44, 42, 13},
    {IDC_FREQUENCY_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 44, 43, 13},
    {-1, kStatic, kEndLabel, 0, "100 Hz", 107, 44, 25, 13},
    {-1, kStatic, kEndLabel, 0, "100 kHz", 232, 45, 30, 13},
    {-1, kStatic, kLabel, 0, "Pan", 7, 62, 42, 13},
    {IDC_PAN_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 62, 43, 13},
    {-1, kStatic, kEndLabel, 0, "Left", 117, 62, 15, 13},
    {-1, kStatic, kEndLabel, 0, "Right", 232, 62, 30, 13},
    {-1, kStatic, kLabel, 0, "Volume", 7, 78, 42, 13},
    {IDC_VOLUME_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 78, 43, 13},
    {-1, kStatic, kEndLabel, 0, "Low", 117, 78, 15, 13},
    {-1, kStatic, kEndLabel, 0, "High", 232, 78, 30, 13},
    {-1, kStatic, kHiddenLabel, 0, "Focus", 231, 11, 20, 8},
    {IDC_FOCUS_NORMAL, kButton, kHiddenRadio, 0, "Normal", 223, 8, 38, 10},
    {IDC_FOCUS_STICKY, kButton, kHiddenRadio, 0, "Sticky", 219, 8, 35, 10},
    {IDC_FOCUS_GLOBAL, kButton, kHiddenRadio, 0, "Global", 225, 8, 36, 10},
    {-1, kStatic, kHiddenLabel, 0, "Buffer Memory", 230, 27, 46, 8},
    {IDC_MEM_DEFAULT, kButton, kHiddenRadio, 0, "Default", 223, 25, 39, 10},
    {IDC_MEM_HARDWARE, kButton, kHiddenRadio, 0, "Hardware", 221, 24, 47, 10},
    {IDC_MEM_SOFTWARE, kButton, kHiddenRadio, 0, "Software", 227, 24, 44, 10},
    {-1, kStatic, kLabel, 0, "Position", 8, 28, 42, 13},
    {IDC_POSITION_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 28, 43, 13},
    {-1, kStatic, kLabel, 0, "Play Duration", 7, 110, 45, 13},
    {-1, kStatic, kLabel, 0, "Pause Duration", 7, 132, 51, 13},
    {-1, kStatic, kLabel, 0, "Pause backup", 7, 154, 48, 13},
    {IDC_PLAY_DURATION_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 111, 43, 13},
    {IDC_PAUSE_DURATION_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 131, 43, 13},
    {IDC_PAUSE_BACKUP_TEXT, kStatic, kValue, WS_EX_STATICEDGE, "0", 57, 152, 43, 13},
    {-1, kStatic, kEndLabel, 0, "Shorter", 106, 111, 26, 13},
    {-1, kStatic, kEndLabel, 0, "Shorter", 106, 133, 26, 13},
    {-1, kStatic, kEndLabel, 0, "Less", 106, 152, 26, 13},
    {-1, kStatic, kEndLabel, 0, "Longer", 232, 114, 33, 13},
    {-1, kStatic, kEndLabel, 0, "Longer", 232, 133, 33, 13},
    {-1, kStatic, kEndLabel, 0, "More", 232, 157, 33, 13},
};

std::string ClassName(const std::string& nameOrOrdinal) {
    if (nameOrOrdinal == "#128")
        return kButton;
    if (nameOrOrdinal == "#130")
        return kStatic;
    return nameOrOrdinal;
}

const BYTE* LoadTemplate(LPCSTR name, LPCSTR type) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, name, type);
    if (info == nullptr)
        return nullptr;
    return static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
}

TEST(MainDialogTemplate, HeaderAndEveryControlAreAsDesigned) {
    const BYTE* base =
        LoadTemplate(MAKEINTRESOURCEA(IDD_MAIN), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(base, nullptr);
    ResourceReader r(base);
    EXPECT_EQ(r.Word(), 1);       // extended template
    EXPECT_EQ(r.Word(), 0xFFFF);  // its signature
    EXPECT_EQ(r.Dword(), 0u);     // help id
    EXPECT_EQ(r.Dword(), 0u);     // extended style
    EXPECT_EQ(r.Dword(), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                            DS_MODALFRAME | DS_CENTER | DS_SETFONT));
    const WORD count = r.Word();
    ASSERT_EQ(count, 50);
    EXPECT_EQ(static_cast<short>(r.Word()), 0);
    EXPECT_EQ(static_cast<short>(r.Word()), 0);
    EXPECT_EQ(static_cast<short>(r.Word()), 283);
    EXPECT_EQ(static_cast<short>(r.Word()), 205);
    EXPECT_EQ(r.NameOrOrdinal(), "#131");  // menu IDR_MAINMENU
    EXPECT_EQ(r.NameOrOrdinal(), "");      // the standard dialog class
    EXPECT_EQ(r.String(), "Velmorin");
    EXPECT_EQ(r.Word(), 8);  // points
    EXPECT_EQ(r.Word(), 0);  // weight
    EXPECT_EQ(r.Byte(), 0);  // italic
    EXPECT_EQ(r.Byte(), 1);  // DEFAULT_CHARSET
    EXPECT_EQ(r.String(), "MS Sans Serif");

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const Expected& e = kControls[i];
        r.AlignDword();
        EXPECT_EQ(r.Dword(), 0u);  // help id
        EXPECT_EQ(r.Dword(), e.exStyle);
        EXPECT_EQ(r.Dword(), e.style | WS_CHILD);
        EXPECT_EQ(static_cast<short>(r.Word()), e.x);
        EXPECT_EQ(static_cast<short>(r.Word()), e.y);
        EXPECT_EQ(static_cast<short>(r.Word()), e.cx);
        EXPECT_EQ(static_cast<short>(r.Word()), e.cy);
        EXPECT_EQ(static_cast<int32_t>(r.Dword()), e.id);
        EXPECT_STRCASEEQ(ClassName(r.NameOrOrdinal()).c_str(), e.cls);
        EXPECT_EQ(r.NameOrOrdinal(), e.text);
        r.Skip(r.Word());  // creation data
    }
}

TEST(MainMenuResource, FileAndHelpWithTheirCommands) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    char text[64];
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    GetMenuStringA(menu, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(IDM_FILE_OPEN));
    GetMenuStringA(file, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Open...");
    EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(IDM_FILE_EXIT));
    GetMenuStringA(file, 2, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "E&xit");
    HMENU help = GetSubMenu(menu, 1);
    ASSERT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(IDM_HELP_ABOUT));
    GetMenuStringA(help, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About...");
    for (HMENU m : {file, help}) {
        for (int i = 0; i < GetMenuItemCount(m); ++i) {
            const UINT state = GetMenuState(m, i, MF_BYPOSITION);
            if (state & MF_SEPARATOR)
                continue;  // a separator always reads as disabled
            EXPECT_EQ(state & (MF_GRAYED | MF_CHECKED | MF_DISABLED), 0u);
        }
    }
    DestroyMenu(menu);
}

INT_PTR CALLBACK PassiveProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

TEST(MainDialogWindow, ControlsAreCreatedInOrderWithTheirRectanglesAndHiddenRadios) {
    InitCommonControls();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                     PassiveProc, 0);
    ASSERT_NE(dialog, nullptr);

    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_NE(GetMenu(dialog), nullptr);

    RECT client;
    GetClientRect(dialog, &client);
    RECT size = {0, 0, 283, 205};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");

    int index = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, 50);
        const Expected& e = kControls[index];
        SCOPED_TRACE("control " + std::to_string(index + 1) + " " + e.text);
        EXPECT_EQ(static_cast<int>(static_cast<WORD>(GetDlgCtrlID(child))), e.id & 0xFFFF);
        char cls[64];
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_STRCASEEQ(cls, e.cls);
        char text[64];
        GetWindowTextA(child, text, sizeof text);
        EXPECT_STREQ(text, e.text);
        EXPECT_EQ((GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0,
                  (e.style & WS_VISIBLE) != 0);
        // The dialog manager converts position and size each on its own.
        RECT origin = {e.x, e.y, e.cx, e.cy};
        MapDialogRect(dialog, &origin);
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, origin.left);
        EXPECT_EQ(actual.top, origin.top);
        EXPECT_EQ(actual.right - actual.left, origin.right);
        EXPECT_EQ(actual.bottom - actual.top, origin.bottom);
    }
    EXPECT_EQ(index, 50);

    // Automatic radio buttons group from a WS_GROUP control to the next: checking one
    // member by hand clears the others of its trio and nothing beyond it.
    for (int id = IDC_FOCUS_NORMAL; id <= IDC_MEM_SOFTWARE; ++id) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    }
    const LONG labelStyle =
        GetWindowLongA(GetWindow(GetDlgItem(dialog, IDC_FOCUS_NORMAL), GW_HWNDPREV), GWL_STYLE);
    EXPECT_TRUE(labelStyle & WS_GROUP);
    for (int id : {IDC_FOCUS_NORMAL, IDC_FOCUS_STICKY, IDC_FOCUS_GLOBAL, IDC_MEM_DEFAULT,
                   IDC_MEM_HARDWARE, IDC_MEM_SOFTWARE}) {
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & (WS_GROUP | WS_TABSTOP))
            << id;
    }
    EXPECT_TRUE(
        GetWindowLongA(GetWindow(GetDlgItem(dialog, IDC_FOCUS_GLOBAL), GW_HWNDNEXT), GWL_STYLE) &
        WS_GROUP);
    EXPECT_TRUE(
        GetWindowLongA(GetWindow(GetDlgItem(dialog, IDC_MEM_SOFTWARE), GW_HWNDNEXT), GWL_STYLE) &
        WS_GROUP);
    DestroyWindow(dialog);
}

}  // namespace
