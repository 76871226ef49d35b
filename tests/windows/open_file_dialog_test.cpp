// The real open-file dialog through the adapter, answered by a timer that runs inside its
// modal loop: what the platform leaves in the file buffer when the dialog fails.
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/win32/win32_dialog.h"

namespace {

std::string g_typed;
int g_ticks = 0;

// Types g_typed into the file name box and presses Open; a dialog still up later (some
// box the platform raised instead) is cancelled, so the test cannot hang.
void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD) {
    HWND open = FindWindowA(nullptr, "Open Sound File");
    ++g_ticks;
    if (open == nullptr)
        return;
    if (g_ticks < 50) {
        // The explorer-style dialog has its file name in cmb13, the old style in edt1.
        SetDlgItemTextA(open, cmb13, g_typed.c_str());
        SetDlgItemTextA(open, edt1, g_typed.c_str());
        PostMessageA(open, WM_COMMAND, IDOK, 0);
    } else {
        PostMessageA(GetForegroundWindow(), WM_CLOSE, 0, 0);
        PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
    }
}

TEST(OpenFileDialog, APathTooLongForTheBufferFailsAndLeavesTheSizeItNeeded) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    Win32Dialog dialog(owner);
    // Just past the buffer: Wine 8's dialog itself crashes on typed paths of 270 characters
    // and more, so the test stays below that.
    g_typed = "Z:\\tmp\\" + std::string(251, 'x') + ".wav";
    g_ticks = 0;
    char file[260] = "Z:\\tmp\\chosen before.wav";
    const OpenFileRequest request{"Wave Files\0*.wav\0All Files\0*.*\0",
                                  1,
                                  file,
                                  260,
                                  "Z:\\tmp",
                                  "Open Sound File",
                                  OPEN_HIDE_READONLY,
                                  ".wav"};
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, Answer);
    const bool chosen = dialog.ChooseOpenFile(request);
    KillTimer(nullptr, timer);
    DestroyWindow(owner);
    EXPECT_FALSE(chosen);
    EXPECT_LT(g_ticks, 50) << "the dialog did not take the typed path";
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    const unsigned needed = static_cast<uint8_t>(file[0]) | static_cast<uint8_t>(file[1]) << 8;
    std::printf("size left in the buffer: %u for a path of %zu characters\n", needed,
                g_typed.size());
    EXPECT_EQ(needed, g_typed.size() + 1);
}

}  // namespace
