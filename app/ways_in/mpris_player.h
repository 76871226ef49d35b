// The program as a media player on the session bus (MPRIS: org.mpris.MediaPlayer2 and its
// Player interface), so that the keyboard's media keys, headset buttons and the desktop's
// media controls reach it whatever program has the keyboard, on Wayland and X11 alike.
//
// Each call becomes what the window's button or hotkey of the same meaning does
// (control/remote_control.h), delivered to the sink; the properties are read from what the
// player shows (control/player_view.h), and their changes are announced after each message
// the dialog handled. While Keep Pitch is checked, Rate is the speed and a rate set moves the
// Frequency slider as a drag of it would; otherwise Rate is 1 and cannot be set. Without a
// session bus it does nothing.
#ifndef VELMORIN_APP_WAYS_IN_MPRIS_PLAYER_H
#define VELMORIN_APP_WAYS_IN_MPRIS_PLAYER_H

#include <gio/gio.h>

#include <map>
#include <string>

#include "app/dialog.h"
#include "app/keep_pitch.h"
#include "app/gtk/gtk_owners.h"
#include "app/ways_in/way_in.h"
#include "control/player_view.h"
#include "control/remote_control.h"

class MprisPlayer final : public WayIn {
  public:
    MprisPlayer(MessageSink& sink, Dialog& dialog, KeepPitchOption* keepPitch = nullptr);
    ~MprisPlayer() override = default;
    MprisPlayer(const MprisPlayer&) = delete;
    MprisPlayer& operator=(const MprisPlayer&) = delete;

    void AfterMessage() override;
    // The bus name owned: org.mpris.MediaPlayer2.velmorin, with an instance suffix when
    // another player has that; "" without a session bus.
    const std::string& BusName() const { return name_.Get().name; }

  private:
    void Act(RemoteAction action);
    GVariant* Property(const char* interface, const char* name);
    bool SetRate(double rate);
    void Announce();

    static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                       gpointer self);
    static GVariant* OnGet(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                           const gchar* property, GError** error, gpointer self);
    static gboolean OnSet(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                          const gchar* property, GVariant* value, GError** error, gpointer self);

    MessageSink& sink_;
    Dialog& dialog_;
    KeepPitchOption* keepPitch_;
    GObjectOwner<GDBusConnection> bus_;
    NodeInfoOwner node_;
    BusNameOwner name_;  // given back after the objects are gone
    RegisteredObjectOwner objects_[2];
    PlayerView shown_;
    std::map<std::string, VariantOwner> announced_;
    std::string trackPath_;
    unsigned tracks_ = 0;
};

#endif
