// How often a window timer requested with 0 ms fires on this platform: the rate at which
// the poll timer keeps the dialog in step with the sound. Prints ticks per second.
#include <windows.h>

#include <cstdio>

namespace {

int g_ticks = 0;

LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER)
        ++g_ticks;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = Count;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "poll_timer_rate";
    RegisterClassA(&cls);
    HWND window = CreateWindowA("poll_timer_rate", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                cls.hInstance, nullptr);
    SetTimer(window, 1, 0, nullptr);
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 3000 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    std::printf("poll timer: %.1f ticks per second (%d in %lu ms)\n",
                g_ticks * 1000.0 / (GetTickCount() - start), g_ticks,
                static_cast<unsigned long>(GetTickCount() - start));
    DestroyWindow(window);
    return 0;
}
