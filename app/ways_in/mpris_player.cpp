#include "app/ways_in/mpris_player.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include "res/build_info.h"
#include "res/resource.h"
#include "sound/speed.h"

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

constexpr const char* kInterfaces = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="CanSetFullscreen" type="b" access="read"/>
    <property name="Fullscreen" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="read"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

// The Player properties whose changes are announced.
constexpr const char* kAnnounced[] = {"PlaybackStatus", "Metadata",   "CanGoNext", "CanGoPrevious",
                                      "CanPlay",        "CanPause",   "CanSeek",   "Rate",
                                      "MinimumRate",    "MaximumRate"};

bool Own(GDBusConnection* bus, const std::string& name, BusNameOwner* owned) {
    constexpr guint32 kDoNotQueue = 4, kPrimaryOwner = 1;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (reply == nullptr)
        return false;
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    if (result != kPrimaryOwner)
        return false;
    *owned = BusNameOwner({bus, name});
    return true;
}

}  // namespace

MprisPlayer::MprisPlayer(MessageSink& sink, Dialog& dialog, KeepPitchOption* keepPitch)
    : sink_(sink),
      dialog_(dialog),
      keepPitch_(keepPitch),
      bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
    if (!bus_)
        return;
    if (keepPitch_ != nullptr)
        keepPitch_->Watch([this] { Announce(); });
    node_ = NodeInfoOwner(g_dbus_node_info_new_for_xml(kInterfaces, nullptr));
    static const GDBusInterfaceVTable vtable = {
        &MprisPlayer::OnCall, &MprisPlayer::OnGet, &MprisPlayer::OnSet, {}};
    for (int i = 0; i < 2; ++i) {
        objects_[i] =
            RegisteredObjectOwner({bus_.get(), g_dbus_connection_register_object(
                                                   bus_.get(), kPath, node_.Get()->interfaces[i],
                                                   &vtable, this, nullptr, nullptr)});
    }
    // One name per player: a second Velmorin takes an instance name, as players do.
    const std::string name = std::string(kRoot) + ".velmorin";
    const std::string instance = name + ".instance" + std::to_string(getpid());
    if (!Own(bus_.get(), name, &name_))
        Own(bus_.get(), instance, &name_);
    shown_ = ViewPlayer(dialog_);
}

void MprisPlayer::Act(RemoteAction action) {
    DeliverRemoteAction(sink_, dialog_, action);
}

void MprisPlayer::OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                         const gchar* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer self) {
    auto* player = static_cast<MprisPlayer*>(self);
    const std::string call = method;
    // Answered first: what the call starts may open a modal box, which the caller must not
    // wait for.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (g_strcmp0(interface, kRoot) == 0) {
        if (call == "Raise")
            gtk_window_present(GTK_WINDOW(player->dialog_.Window()));
        else if (call == "Quit")
            player->Act(RemoteAction::Quit);
        return;
    }
    static const std::map<std::string, RemoteAction> actions = {
        {"PlayPause", RemoteAction::PlayPause}, {"Play", RemoteAction::Play},
        {"Pause", RemoteAction::Pause},         {"Stop", RemoteAction::Stop},
        {"Next", RemoteAction::Next},           {"Previous", RemoteAction::Previous}};
    if (auto it = actions.find(call); it != actions.end()) {
        player->Act(it->second);
    } else if (call == "Seek") {
        gint64 offset = 0;
        g_variant_get(parameters, "(x)", &offset);
        RemoteAction action{};
        if (ActionForSeek(offset, &action))
            player->Act(action);
    }
}

GVariant* MprisPlayer::OnGet(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                             const gchar* property, GError**, gpointer self) {
    return static_cast<MprisPlayer*>(self)->Property(interface, property);
}

GVariant* MprisPlayer::Property(const char* interface, const char* name) {
    const std::string p = name;
    if (g_strcmp0(interface, kRoot) == 0) {
        if (p == "CanQuit" || p == "CanRaise")
            return g_variant_new_boolean(TRUE);
        if (p == "CanSetFullscreen" || p == "Fullscreen" || p == "HasTrackList")
            return g_variant_new_boolean(FALSE);
        if (p == "Identity")
            return g_variant_new_string("Velmorin");
        if (p == "DesktopEntry")
            return g_variant_new_string(VELMORIN_APP_ID);
        return g_variant_new_strv(nullptr, 0);  // no URI opened, no type played from outside
    }
    const PlayerView view = ViewPlayer(dialog_);
    if (p == "PlaybackStatus")
        return g_variant_new_string(!view.active ? "Stopped" : view.paused ? "Paused" : "Playing");
    const bool kept = keepPitch_ != nullptr && keepPitch_->On();
    if (p == "Rate")
        return g_variant_new_double(kept ? RateForView(view) : 1.0);
    if (p == "MinimumRate" || p == "MaximumRate")
        return g_variant_new_double(!kept                ? 1.0
                                    : p == "MinimumRate" ? kSlowestSpeed
                                                         : kFastestSpeed);
    if (p == "Volume")
        return g_variant_new_double(LinearVolume(dialog_.GetTrackbarPos(IDC_VOLUME)));
    if (p == "Position")
        return g_variant_new_int64(PlayPositionUs(view));
    if (p == "CanGoNext" || p == "CanGoPrevious" || p == "CanSeek")
        return g_variant_new_boolean(view.loaded);
    if (p == "CanPlay")
        return g_variant_new_boolean(view.canPlay || view.active);
    if (p == "CanPause")  // a property of the track: a Pause while stopped does nothing
        return g_variant_new_boolean(view.loaded);
    if (p == "CanControl")
        return g_variant_new_boolean(TRUE);
    // Metadata: a new track id whenever another file is loaded.
    GVariantBuilder metadata;
    g_variant_builder_init(&metadata, G_VARIANT_TYPE_VARDICT);
    if (!view.loaded) {
        g_variant_builder_add(&metadata, "{sv}", "mpris:trackid",
                              g_variant_new_object_path(kNoTrack));
        return g_variant_builder_end(&metadata);
    }
    gchar* title = g_path_get_basename(view.path.c_str());
    gchar* uri = g_filename_to_uri(view.path.c_str(), nullptr, nullptr);
    const std::string track = "/org/velmorin/Velmorin/Track" + std::to_string(tracks_);
    g_variant_builder_add(&metadata, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(track.c_str()));
    g_variant_builder_add(&metadata, "{sv}", "mpris:length",
                          g_variant_new_int64(static_cast<gint64>(view.lengthUs)));
    g_variant_builder_add(&metadata, "{sv}", "xesam:title", g_variant_new_string(title));
    if (uri != nullptr)
        g_variant_builder_add(&metadata, "{sv}", "xesam:url", g_variant_new_string(uri));
    g_free(uri);
    g_free(title);
    return g_variant_builder_end(&metadata);
}

gboolean MprisPlayer::OnSet(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar* property, GVariant* value, GError** error, gpointer self) {
    if (g_strcmp0(property, "Rate") == 0 &&
        static_cast<MprisPlayer*>(self)->SetRate(g_variant_get_double(value)))
        return TRUE;
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s cannot be set now",
                property);
    return FALSE;
}

bool MprisPlayer::SetRate(double rate) {
    const PlayerView view = ViewPlayer(dialog_);
    if (keepPitch_ == nullptr || !keepPitch_->On() || !view.loaded)
        return false;
    // As a drag of the slider: its thumb, then its notification to the dialog.
    dialog_.PostTrackbarMessage(IDC_FREQUENCY, TrackbarMessage::SetPos,
                                FrequencyForRate(rate, view.sampleRate));
    return true;
}

void MprisPlayer::AfterMessage() {
    if (!bus_)
        return;
    const PlayerView view = ViewPlayer(dialog_);
    if (view == shown_)
        return;
    if (view.path != shown_.path || view.loaded != shown_.loaded)
        ++tracks_;
    shown_ = view;
    Announce();
}

void MprisPlayer::Announce() {
    if (!bus_)
        return;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE_VARDICT);
    bool any = false;
    for (const char* name : kAnnounced) {
        VariantOwner value(g_variant_ref_sink(Property(kPlayer, name)));
        auto it = announced_.find(name);
        if (it != announced_.end() && g_variant_equal(it->second.Get(), value.Get()))
            continue;
        g_variant_builder_add(&changed, "{sv}", name, value.Get());
        announced_[name] = std::move(value);
        any = true;
    }
    if (!any) {
        g_variant_builder_clear(&changed);
        return;
    }
    g_dbus_connection_emit_signal(bus_.get(), nullptr, kPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged",
                                  g_variant_new("(sa{sv}as)", kPlayer, &changed, nullptr), nullptr);
}
