// Hotkeys grabbed on the X11 root window with keybinder, so that they reach this program
// whatever X11 client has the keyboard; the usual lock modifiers (Caps Lock, Num Lock)
// are grabbed with them. Each hotkey carries the id it was registered with.
#ifndef VELMORIN_APP_WAYS_IN_X11_HOTKEYS_H
#define VELMORIN_APP_WAYS_IN_X11_HOTKEYS_H

#include <cstdint>
#include <map>
#include <string>

#include "app/ways_in/way_in.h"

class X11HotKeys final : public HotKeyWayIn {
  public:
    // Each hotkey pressed goes to `sink` as WM_HOTKEY, from the main loop.
    explicit X11HotKeys(MessageSink& sink);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    // False also when the key has no X11 counterpart here, or another client holds the
    // combination.
    bool Register(int id, uint32_t modifiers, uint32_t virtualKey) override;
    void Unregister(int id) override;

    // The keybinder accelerator for a hotkey ("<Alt>j"), or "" when there is none.
    static std::string Accelerator(uint32_t modifiers, uint32_t virtualKey);

  private:
    static void OnKey(const char* keystring, void* self);

    MessageSink& sink_;
    std::map<int, std::string> bound_;
};

#endif
