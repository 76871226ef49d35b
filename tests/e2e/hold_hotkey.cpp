// Test-only: registers Alt+<key> as a system-wide hotkey and holds it for some seconds,
// as another program that took the key first would.
//
//   hold_hotkey <letter> <seconds>     exit status 0 once it held the key, 1 if it could not
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3)
        return 64;
    const UINT key = static_cast<UINT>(std::toupper(static_cast<unsigned char>(argv[1][0])));
    if (!RegisterHotKey(nullptr, 1, MOD_ALT, key))
        return 1;
    std::printf("holding\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + static_cast<DWORD>(std::atoi(argv[2]) * 1000);
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(20);
    }
    UnregisterHotKey(nullptr, 1);
    return 0;
}
