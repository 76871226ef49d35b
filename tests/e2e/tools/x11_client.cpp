// Test-only: an X11 client that does one thing to the display in $DISPLAY.
//
//   x11_client grab KEY       grabs Alt+KEY on the root window (with the Caps Lock and
//                             Num Lock variants), prints "grabbed" and holds it until ended
//   x11_client close WINDOW   asks the window (decimal or 0x id) to close, as a window
//                             manager's close box does (WM_DELETE_WINDOW)
//   x11_client focus          prints the id of the window that has the keyboard focus
//
// Exit status 0 on success, 1 when the display or the grab fails.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace {

bool g_failed = false;

int OnError(Display*, XErrorEvent*) {
    g_failed = true;
    return 0;
}

int Grab(Display* display, const char* key) {
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key));
    if (code == 0)
        return 1;
    XSetErrorHandler(OnError);
    const Window root = DefaultRootWindow(display);
    for (unsigned locks :
         {0u, unsigned{LockMask}, unsigned{Mod2Mask}, unsigned{LockMask | Mod2Mask}})
        XGrabKey(display, code, Mod1Mask | locks, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    if (g_failed)
        return 1;
    std::printf("grabbed\n");
    std::fflush(stdout);
    for (;;)
        pause();
}

int Close(Display* display, const char* id) {
    const Window window = std::strtoul(id, nullptr, 0);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || argc < 2)
        return 1;
    if (std::strcmp(argv[1], "grab") == 0 && argc == 3)
        return Grab(display, argv[2]);
    if (std::strcmp(argv[1], "close") == 0 && argc == 3)
        return Close(display, argv[2]);
    if (std::strcmp(argv[1], "focus") == 0) {
        Window focus;
        int revert;
        XGetInputFocus(display, &focus, &revert);
        std::printf("%lu\n", focus);
        return 0;
    }
    return 1;
}
