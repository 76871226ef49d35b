// Hotkeys grabbed on the X11 root window with keybinder, so that they reach this program
// whatever X11 client has the keyboard; the usual lock modifiers (Caps Lock, Num Lock)
// are grabbed with them. Each hotkey carries the id it was registered with.
#ifndef VELMORIN_APP_X11_HOTKEYS_H
#define VELMORIN_APP_X11_HOTKEYS_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class X11HotKeys {
  public:
    // Runs on the GTK main thread, from the main loop, for each hotkey pressed.
    using Handler = std::function<void(int id)>;

    explicit X11HotKeys(Handler handler);
    ~X11HotKeys();
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    // RegisterHotKey's modifiers and virtual-key code. False when the id is taken, the key
    // has no X11 counterpart here, or another client holds the combination.
    bool Register(int id, uint32_t modifiers, uint32_t virtualKey);
    void Unregister(int id);

    // The keybinder accelerator for a hotkey ("<Alt>j"), or "" when there is none.
    static std::string Accelerator(uint32_t modifiers, uint32_t virtualKey);

  private:
    static void OnKey(const char* keystring, void* self);

    Handler handler_;
    std::map<int, std::string> bound_;
};

#endif
