// Hotkeys through the desktop's global shortcuts portal (org.freedesktop.portal.GlobalShortcuts),
// for Wayland sessions, where no program may grab keys for the whole session: the program
// asks, the desktop binds what the user accepts, and tells the program when a shortcut is
// pressed whatever program has the keyboard.
//
// Registering only asks: the three hotkeys registered in one handler go to the portal
// together, in one session, once that handler has returned; they are named when the session
// is created (all Plasma 5.27 binds) and again in the request to bind them (where newer
// portals take them). A hotkey the portal binds in neither answer (the user refused it, or the
// portal answered an error) shows the box of a refused registration then. Each shortcut activated
// goes to the sink as WM_HOTKEY with its id.
#ifndef VELMORIN_APP_WAYS_IN_PORTAL_HOTKEYS_H
#define VELMORIN_APP_WAYS_IN_PORTAL_HOTKEYS_H

#include <gio/gio.h>

#include <map>
#include <string>

#include "app/dialog.h"
#include "app/gtk/gtk_owners.h"
#include "app/ways_in/way_in.h"

class PortalHotKeys final : public HotKeyWayIn {
  public:
    // Whether the session bus has a portal that offers global shortcuts. First registers
    // the application id with a portal that asks programs outside a sandbox for it.
    static bool Available();

    PortalHotKeys(MessageSink& sink, Dialog& dialog);
    ~PortalHotKeys() override;
    PortalHotKeys(const PortalHotKeys&) = delete;
    PortalHotKeys& operator=(const PortalHotKeys&) = delete;

    bool Register(int id, uint32_t modifiers, uint32_t virtualKey) override;
    void Unregister(int id) override;

    // The shortcut trigger the portal is offered for a hotkey ("ALT+j"), as the XDG
    // shortcuts format writes it; "" when the key has none.
    static std::string Trigger(uint32_t modifiers, uint32_t virtualKey);

  private:
    struct Shortcut {
        std::string name;
        std::string description;
        std::string trigger;
        bool asked = false;  // sent to the portal
        bool bound = false;  // and bound by it
    };

    // The shortcuts not yet sent, as both requests list them; marked sent when markAsked.
    GVariant* Unasked(bool markAsked);
    // Those the portal's answer names are bound, whichever request it answers.
    void MarkBound(uint32_t response, GVariant* results);
    void Ask();
    void Refuse(bool onlyAsked);
    SubscriptionOwner Await(const std::string& token, GDBusSignalCallback callback);
    void CloseSession();

    static gboolean OnAsk(gpointer self);
    static void OnSessionCreated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar*, GVariant* parameters, gpointer self);
    static void OnBound(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* parameters, gpointer self);
    static void OnActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar*, GVariant* parameters, gpointer self);

    MessageSink& sink_;
    Dialog& dialog_;
    GObjectOwner<GDBusConnection> bus_;  // outlives what is held on it
    std::map<int, Shortcut> shortcuts_;
    std::string session_;
    SourceOwner askSource_;
    SubscriptionOwner createdSignal_;
    SubscriptionOwner boundSignal_;
    SubscriptionOwner activatedSignal_;
    int requests_ = 0;
    bool creating_ = false;
};

#endif
