// Test-only: prints the state of another process's top-level window and its controls.
//
//   inspector <title-prefix>   the first visible top-level window whose title starts so
//
// Output, one line each:
//   window <hwnd-hex> title=<title>
//   control id=<id> class=<class> enabled=<0|1> visible=<0|1> check=<n> pos=<p> min=<a>
//           max=<b> icon=<0|1> text=<text>           (one line per child, in z-order)
//           channel=<l,t,r,b> thumb=<l,t,r,b> origin=<x,y>
// check is -1 for non-buttons; pos/min/max are 0 for non-trackbars; icon is 1 for a static
// control that shows an icon. channel and thumb are a trackbar's TBM_GETCHANNELRECT and
// TBM_GETTHUMBRECT in its client coordinates (0,0,0,0 for other controls); origin is the
// control's client origin on the screen. Exit status 2 when no such window exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string TextOf(HWND window) {
    char buffer[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, &result);
    std::string text(buffer);
    // Keep one line per control: line feeds inside a text are shown as \n.
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

LRESULT Ask(HWND window, UINT message) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    return static_cast<LRESULT>(result);
}

// A message whose answer is a RECT written through lParam: the pointer must be one of
// the window's own process, so the RECT is lent from there.
RECT AskRect(HWND window, UINT message) {
    RECT rect = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr)
        return rect;
    void* remote = VirtualAllocEx(process, nullptr, sizeof rect, MEM_COMMIT, PAGE_READWRITE);
    if (remote != nullptr) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(window, message, 0, reinterpret_cast<LPARAM>(remote),
                                SMTO_ABORTIFHUNG, 2000, &result) != 0)
            ReadProcessMemory(process, remote, &rect, sizeof rect, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return rect;
}

struct Search {
    const char* prefix;
    HWND found;
};

BOOL CALLBACK FindWindowByPrefix(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window))
        return TRUE;
    char title[512] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strncmp(title, search->prefix, std::strlen(search->prefix)) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: inspector <title-prefix>\n");
        return 64;
    }
    Search search{argv[1], nullptr};
    EnumWindows(FindWindowByPrefix, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
        return 2;

    char title[512] = {};
    GetWindowTextA(search.found, title, sizeof title);
    std::printf("window %p title=%s\n", static_cast<void*>(search.found), title);
    for (HWND child = GetWindow(search.found, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[128] = {};
        GetClassNameA(child, cls, sizeof cls);
        long check = -1;
        LRESULT pos = 0, min = 0, max = 0;
        int icon = 0;
        RECT channel = {}, thumb = {};
        if (_stricmp(cls, "Button") == 0) {
            check = static_cast<long>(Ask(child, BM_GETCHECK));
        } else if (_stricmp(cls, "Static") == 0) {
            icon = Ask(child, STM_GETICON) != 0 ? 1 : 0;
        } else if (_stricmp(cls, TRACKBAR_CLASSA) == 0) {
            pos = Ask(child, TBM_GETPOS);
            min = Ask(child, TBM_GETRANGEMIN);
            max = Ask(child, TBM_GETRANGEMAX);
            channel = AskRect(child, TBM_GETCHANNELRECT);
            thumb = AskRect(child, TBM_GETTHUMBRECT);
        }
        POINT origin = {0, 0};
        ClientToScreen(child, &origin);
        std::printf(
            "control id=%d class=%s enabled=%d visible=%d check=%ld pos=%ld min=%ld max=%ld "
            "icon=%d channel=%ld,%ld,%ld,%ld thumb=%ld,%ld,%ld,%ld origin=%ld,%ld text=%s\n",
            GetDlgCtrlID(child), cls, IsWindowEnabled(child) ? 1 : 0,
            (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) ? 1 : 0, check, static_cast<long>(pos),
            static_cast<long>(min), static_cast<long>(max), icon, channel.left, channel.top,
            channel.right, channel.bottom, thumb.left, thumb.top, thumb.right, thumb.bottom,
            origin.x, origin.y, TextOf(child).c_str());
    }
    return 0;
}
