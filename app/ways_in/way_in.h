// The native edition's ways in besides its own window and menus: what reaches the program
// from the desktop, the session bus or a device. The entry picks them once at start.
//
// A way in only turns what arrives from outside into messages the dialog procedure already
// handles (WM_HOTKEY with a hotkey's id, WM_COMMAND with a button's or menu item's id),
// delivered through a MessageSink on the user-interface thread from the GLib main loop. It
// starts no thread of its own and never reaches the sound module: whatever it does, a key
// or a button of the window could have done.
#ifndef VELMORIN_APP_WAYS_IN_WAY_IN_H
#define VELMORIN_APP_WAYS_IN_WAY_IN_H

#include <cstdint>

#include "app/dialog.h"
#include "control/remote_control.h"

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Hands a message to the dialog procedure, after whatever was posted before it and the
    // notifications that follow, as the dialog manager's queue does.
    virtual void Deliver(uint32_t message, uintptr_t wParam) = 0;
};

// Delivers the message of what `action` does in the state the dialog shows now; nothing
// when it does nothing then. Each action of several is judged after the one before it was
// delivered.
void DeliverRemoteAction(MessageSink& sink, Dialog& dialog, RemoteAction action);

class WayIn {
  public:
    virtual ~WayIn() = default;
    // The dialog has handled a message, which may have changed what it shows.
    virtual void AfterMessage() {}
};

// A way in that carries the program's hotkeys, with RegisterHotKey's contract (app/dialog.h):
// while registered, the combination sends WM_HOTKEY with its id whatever window has the
// keyboard.
class HotKeyWayIn : public WayIn {
  public:
    // RegisterHotKey's modifiers and virtual-key code. False when the id is taken or the
    // combination cannot be had.
    virtual bool Register(int id, uint32_t modifiers, uint32_t virtualKey) = 0;
    virtual void Unregister(int id) = 0;
};

#endif
