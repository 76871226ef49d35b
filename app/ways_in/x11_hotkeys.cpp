#include "app/ways_in/x11_hotkeys.h"

#include <keybinder.h>

#include "app/dialog.h"

#include <cctype>
#include <set>

namespace {

// The accelerators bound in this process, by any instance: keybinder unbinds by string
// and handler alone, so two instances holding one accelerator would unbind each other's.
std::set<std::string>& Taken() {
    static std::set<std::string> taken;
    return taken;
}
}  // namespace

X11HotKeys::X11HotKeys(MessageSink& sink) : sink_(sink) {
    static bool initialised = false;
    if (!initialised) {
        keybinder_init();
        initialised = true;
    }
}

X11HotKeys::~X11HotKeys() {
    for (const auto& entry : bound_) {
        keybinder_unbind(entry.second.c_str(), &X11HotKeys::OnKey);
        Taken().erase(entry.second);
    }
}

std::string X11HotKeys::Accelerator(uint32_t modifiers, uint32_t virtualKey) {
    // Letters and digits: their virtual-key code is the capital letter or the digit. A
    // shift state in the high byte has no place in a grab.
    if (virtualKey > 0xFF || !std::isalnum(static_cast<int>(virtualKey)))
        return "";
    std::string accelerator;
    if (modifiers & HOTKEY_MOD_ALT)
        accelerator += "<Alt>";
    if (modifiers & HOTKEY_MOD_CONTROL)
        accelerator += "<Control>";
    if (modifiers & HOTKEY_MOD_SHIFT)
        accelerator += "<Shift>";
    if (modifiers & HOTKEY_MOD_WIN)
        accelerator += "<Super>";
    accelerator += static_cast<char>(std::tolower(static_cast<int>(virtualKey)));
    return accelerator;
}

bool X11HotKeys::Register(int id, uint32_t modifiers, uint32_t virtualKey) {
    const std::string accelerator = Accelerator(modifiers, virtualKey);
    if (accelerator.empty() || bound_.count(id) != 0 || Taken().count(accelerator) != 0)
        return false;
    if (!keybinder_bind(accelerator.c_str(), &X11HotKeys::OnKey, this))
        return false;
    bound_[id] = accelerator;
    Taken().insert(accelerator);
    return true;
}

void X11HotKeys::Unregister(int id) {
    auto it = bound_.find(id);
    if (it == bound_.end())
        return;
    keybinder_unbind(it->second.c_str(), &X11HotKeys::OnKey);
    Taken().erase(it->second);
    bound_.erase(it);
}

void X11HotKeys::OnKey(const char* keystring, void* self) {
    auto* hotkeys = static_cast<X11HotKeys*>(self);
    for (const auto& entry : hotkeys->bound_) {
        if (entry.second == keystring) {
            hotkeys->sink_.Deliver(WINMSG_HOTKEY, static_cast<uintptr_t>(entry.first));
            return;
        }
    }
}
