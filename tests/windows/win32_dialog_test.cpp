// The Win32 dialog adapter against the real dialog manager: the effects the handlers
// rely on, and the native fake models, hold on the platform.
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <string>

#include "app/win32/win32_dialog.h"
#include "control/player_state.h"
#include "res/resource.h"
#include "sound/sound_layer.h"
#include "sound/sound_output.h"

namespace {

int g_notifications = 0;
int g_timerTicks = 0;

INT_PTR CALLBACK CountingProc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_NOTIFY)
        ++g_notifications;
    if (message == WM_TIMER)
        ++g_timerTicks;
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// The thumb rectangle a slider reports now, and the one it reports once its thumb has
// really moved away and back: they differ when the thumb is drawn off its position.
::testing::AssertionResult ThumbWhereItsPositionPutsIt(HWND slider) {
    RECT shown, moved;
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&shown));
    const LRESULT pos = SendMessageA(slider, TBM_GETPOS, 0, 0);
    const LRESULT other = pos == SendMessageA(slider, TBM_GETRANGEMAX, 0, 0) ? pos - 1 : pos + 1;
    SendMessageA(slider, TBM_SETPOS, FALSE, other);
    SendMessageA(slider, TBM_SETPOS, TRUE, pos);
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&moved));
    if (EqualRect(&shown, &moved))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "thumb at x " << shown.left << ".." << shown.right << ", its position puts it at "
           << moved.left << ".." << moved.right;
}

std::string Text(HWND window) {
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class Win32DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCommonControls();
        window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                     CountingProc, 0);
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOW);
        Pump(50);
        g_notifications = 0;
        g_timerTicks = 0;
    }
    void TearDown() override { DestroyWindow(window_); }

    HWND window_ = nullptr;
};

TEST_F(Win32DialogTest, PostedThumbsLandAfterTheHandlerWithinTheRangeAndNotify) {
    Win32Dialog dialog(window_);
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMin, 0);
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMax, 40);
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetPos, 55);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_PAUSE_BACKUP), 0);  // not yet delivered
    Pump(100);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_PAUSE_BACKUP), 40);  // kept within the range
    EXPECT_GT(g_notifications, 0);                           // the redraw notified

    dialog.PostTrackbarMessage(IDC_VOLUME, TrackbarMessage::SetRangeMax, 0);
    dialog.PostTrackbarMessage(IDC_VOLUME, TrackbarMessage::SetRangeMin, -100);
    dialog.PostTrackbarMessage(IDC_VOLUME, TrackbarMessage::SetPos, -150);
    Pump(50);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_VOLUME), -100);
}

TEST_F(Win32DialogTest, TextsEnabledStatesChecksAndFocus) {
    Win32Dialog dialog(window_);
    dialog.SetTitle("Velmorin - [Z:\\tmp\\a.wav]");
    EXPECT_EQ(Text(window_), "Velmorin - [Z:\\tmp\\a.wav]");
    dialog.SetItemText(IDC_STATUS, "Sound playing.");
    EXPECT_EQ(Text(GetDlgItem(window_, IDC_STATUS)), "Sound playing.");

    EXPECT_FALSE(dialog.IsItemEnabled(IDC_STOP));
    dialog.EnableItem(IDC_STOP, true);
    EXPECT_TRUE(dialog.IsItemEnabled(IDC_STOP));
    dialog.SetFocusItem(IDC_STOP);
    EXPECT_EQ(GetFocus(), GetDlgItem(window_, IDC_STOP));

    dialog.CheckRadioButton(IDC_MEM_DEFAULT, IDC_MEM_SOFTWARE, IDC_MEM_HARDWARE);
    dialog.CheckRadioButton(IDC_MEM_DEFAULT, IDC_MEM_SOFTWARE, IDC_MEM_DEFAULT);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_DEFAULT), 1u);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_HARDWARE), 0u);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_SOFTWARE), 0u);
}

TEST_F(Win32DialogTest, SettingARunningTimerReplacesItsInterval) {
    Win32Dialog dialog(window_);
    dialog.SetTimer(9, 20);
    Pump(150);
    EXPECT_GT(g_timerTicks, 0);
    dialog.SetTimer(9, 5000);
    g_timerTicks = 0;
    Pump(300);
    EXPECT_EQ(g_timerTicks, 0);
    dialog.KillTimer(9);
}

TEST_F(Win32DialogTest, AHotKeyHeldByOneWindowCannotBeTakenByAnother) {
    Win32Dialog dialog(window_);
    const uint16_t atom = dialog.AddGlobalAtom("velmorin-test-hotkey");
    EXPECT_GE(atom, 0xC000);
    const uint16_t key = dialog.VirtualKeyForChar('q');
    EXPECT_EQ(key & 0xFF, 'Q');
    ASSERT_TRUE(dialog.RegisterHotKey(atom, HOTKEY_MOD_ALT | 0x2, key));
    HWND other = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                    CountingProc, 0);
    Win32Dialog second(other);
    EXPECT_FALSE(second.RegisterHotKey(atom + 1, HOTKEY_MOD_ALT | 0x2, key));
    dialog.UnregisterHotKey(atom);
    EXPECT_TRUE(second.RegisterHotKey(atom + 1, HOTKEY_MOD_ALT | 0x2, key));
    second.UnregisterHotKey(atom + 1);
    DestroyWindow(other);
    dialog.DeleteGlobalAtom(atom);
}

// The program's own dialog procedure on the real dialog manager.
TEST(MainDialogOnWindows, StartsInItsFirstStateAndReleasesItsHotKeysWhenDestroyed) {
    InitCommonControls();
    PlayerState = {};
    const std::unique_ptr<SoundSystem> sound = CreatePlatformSoundSystem();
    InstallSoundSystem(sound.get());
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                     Win32MainDialogProc, 0);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Pump(150);

    EXPECT_EQ(Text(window), "Velmorin - No file loaded.");
    EXPECT_EQ(Text(GetDlgItem(window, IDC_STATUS)), "No file loaded.");
    struct Slider {
        int id;
        LRESULT min, max, pos;
    };
    for (const Slider& s :
         {Slider{IDC_FREQUENCY, 100, 100000, 100}, Slider{IDC_PAN, -20, 20, 0},
          Slider{IDC_VOLUME, -100, 0, 0}, Slider{IDC_POSITION, 0, 100, 0},
          Slider{IDC_PLAY_DURATION, 1, 240, 7}, Slider{IDC_PAUSE_DURATION, 0, 240, 10},
          Slider{IDC_PAUSE_BACKUP, 0, 40, 3}}) {
        HWND slider = GetDlgItem(window, s.id);
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), s.min) << s.id;
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), s.max) << s.id;
        EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), s.pos) << s.id;
        EXPECT_TRUE(ThumbWhereItsPositionPutsIt(slider)) << s.id;
    }
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_FOCUS_GLOBAL), 1u);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_MEM_DEFAULT), 1u);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_FOCUS_NORMAL), 0u);
    ASSERT_NE(PlayerState.hotkeyPause, 0u);

    // While the dialog holds Alt+J, nobody else can register it.
    EXPECT_FALSE(RegisterHotKey(nullptr, 0x7001, MOD_ALT, 'J'));
    DestroyWindow(window);
    EXPECT_TRUE(RegisterHotKey(nullptr, 0x7001, MOD_ALT, 'J'));
    UnregisterHotKey(nullptr, 0x7001);
    EXPECT_EQ(SoundOutput.device, nullptr);  // the teardown released the device
    InstallSoundSystem(nullptr);
    PlayerState = {};
}

}  // namespace
