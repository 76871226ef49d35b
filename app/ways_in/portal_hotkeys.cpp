#include "app/ways_in/portal_hotkeys.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "control/hotkeys.h"
#include "res/build_info.h"

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr int kCallTimeoutMs = 5000;

// A reply of a portal's Request: 0 when the user or the desktop agreed.
uint32_t ResponseOf(GVariant* parameters, GVariant** results) {
    guint32 response = 2;
    g_variant_get(parameters, "(u@a{sv})", &response, results);
    return response;
}

}  // namespace

bool PortalHotKeys::Available() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return false;
    // Newer portals know a program outside a sandbox by the id it registers; older ones
    // have no such interface, and the error is of no consequence.
    GVariant* registered = g_dbus_connection_call_sync(
        bus, kPortal, kPortalPath, "org.freedesktop.host.portal.Registry", "Register",
        g_variant_new("(sa{sv})", VELMORIN_APP_ID, nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, nullptr, nullptr);
    if (registered != nullptr)
        g_variant_unref(registered);
    GVariant* version = g_dbus_connection_call_sync(
        bus, kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kShortcuts, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (version == nullptr)
        return false;
    g_variant_unref(version);
    return true;
}

std::string PortalHotKeys::Trigger(uint32_t modifiers, uint32_t virtualKey) {
    if (virtualKey > 0xFF || !std::isalnum(static_cast<int>(virtualKey)))
        return "";
    std::string trigger;
    if (modifiers & HOTKEY_MOD_CONTROL)
        trigger += "CTRL+";
    if (modifiers & HOTKEY_MOD_ALT)
        trigger += "ALT+";
    if (modifiers & HOTKEY_MOD_SHIFT)
        trigger += "SHIFT+";
    if (modifiers & HOTKEY_MOD_WIN)
        trigger += "LOGO+";
    return trigger + static_cast<char>(std::tolower(static_cast<int>(virtualKey)));
}

PortalHotKeys::PortalHotKeys(MessageSink& sink, Dialog& dialog)
    : sink_(sink), dialog_(dialog), bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {}

PortalHotKeys::~PortalHotKeys() {
    CloseSession();
}

bool PortalHotKeys::Register(int id, uint32_t modifiers, uint32_t virtualKey) {
    const std::string trigger = Trigger(modifiers, virtualKey);
    if (trigger.empty() || shortcuts_.count(id) != 0)
        return false;
    for (const auto& entry : shortcuts_) {
        if (entry.second.trigger == trigger)
            return false;
    }
    const HotKeyPurpose* purpose = HotKeyPurposeOf(id);
    Shortcut shortcut;
    shortcut.name = purpose != nullptr ? purpose->name : "hotkey-" + std::to_string(id);
    shortcut.description = purpose != nullptr ? purpose->description : trigger;
    shortcut.trigger = trigger;
    shortcuts_[id] = shortcut;
    // The hotkeys registered together go to the portal together, once the handler is done.
    if (!askSource_)
        askSource_ = SourceOwner(g_idle_add(&PortalHotKeys::OnAsk, this));
    return true;
}

void PortalHotKeys::Unregister(int id) {
    shortcuts_.erase(id);
    if (shortcuts_.empty())
        CloseSession();
}

gboolean PortalHotKeys::OnAsk(gpointer self) {
    auto* keys = static_cast<PortalHotKeys*>(self);
    keys->askSource_.Forget();
    keys->Ask();
    return G_SOURCE_REMOVE;
}

SubscriptionOwner PortalHotKeys::Await(const std::string& token, GDBusSignalCallback callback) {
    // The portal answers on a request object whose path it builds from the caller's unique
    // name and the token; listening before the call means no answer is missed.
    std::string sender = g_dbus_connection_get_unique_name(bus_.get()) + 1;
    for (char& c : sender) {
        if (c == '.')
            c = '_';
    }
    const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    return SubscriptionOwner({bus_.get(), g_dbus_connection_signal_subscribe(
                                              bus_.get(), kPortal, "org.freedesktop.portal.Request",
                                              "Response", path.c_str(), nullptr,
                                              G_DBUS_SIGNAL_FLAGS_NONE, callback, this, nullptr)});
}

GVariant* PortalHotKeys::Unasked(bool markAsked) {
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    for (auto& entry : shortcuts_) {
        Shortcut& s = entry.second;
        if (s.asked)
            continue;
        s.asked = markAsked;
        GVariantBuilder details;
        g_variant_builder_init(&details, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&details, "{sv}", "description",
                              g_variant_new_string(s.description.c_str()));
        g_variant_builder_add(&details, "{sv}", "preferred_trigger",
                              g_variant_new_string(s.trigger.c_str()));
        g_variant_builder_add(&shortcuts, "(sa{sv})", s.name.c_str(), &details);
    }
    return g_variant_builder_end(&shortcuts);
}

void PortalHotKeys::MarkBound(uint32_t response, GVariant* results) {
    GVariant* list = response == 0
                         ? g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"))
                         : nullptr;
    if (list == nullptr)
        return;
    GVariantIter iter;
    g_variant_iter_init(&iter, list);
    const gchar* name = nullptr;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &name, nullptr)) {
        for (auto& entry : shortcuts_) {
            if (entry.second.name == name)
                entry.second.bound = true;
        }
    }
    g_variant_unref(list);
}

void PortalHotKeys::Ask() {
    if (!bus_) {
        Refuse(false);
        return;
    }
    if (session_.empty()) {
        if (creating_)
            return;
        creating_ = true;
        const std::string token = "velmorin_session" + std::to_string(++requests_);
        createdSignal_ = Await(token, &PortalHotKeys::OnSessionCreated);
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token",
                              g_variant_new_string(token.c_str()));
        g_variant_builder_add(&options, "{sv}", "session_handle_token",
                              g_variant_new_string(token.c_str()));
        // Plasma 5.27 binds only the shortcuts named here; the bind request names them again.
        g_variant_builder_add(&options, "{sv}", "shortcuts", Unasked(false));
        g_dbus_connection_call(bus_.get(), kPortal, kPortalPath, kShortcuts, "CreateSession",
                               g_variant_new("(a{sv})", &options), G_VARIANT_TYPE("(o)"),
                               G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, nullptr);
        return;
    }
    bool any = false;
    for (const auto& entry : shortcuts_)
        any = any || !entry.second.asked;
    if (!any)
        return;
    const std::string token = "velmorin_bind" + std::to_string(++requests_);
    boundSignal_ = Await(token, &PortalHotKeys::OnBound);
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    // No parent window: a program outside a sandbox need not export one, and compositors
    // without a way to export it would otherwise hold the request.
    g_dbus_connection_call(
        bus_.get(), kPortal, kPortalPath, kShortcuts, "BindShortcuts",
        g_variant_new("(o@a(sa{sv})sa{sv})", session_.c_str(), Unasked(true), "", &options),
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, nullptr);
}

void PortalHotKeys::Refuse(bool onlyAsked) {
    // Each hotkey the portal did not bind shows its own box, as a refused registration does.
    std::set<int> refused;
    for (auto& entry : shortcuts_) {
        if (!entry.second.bound && (!onlyAsked || entry.second.asked))
            refused.insert(entry.first);
    }
    for (int id : refused) {
        shortcuts_.erase(id);
        ReportHotKeyFailure(dialog_);
    }
}

void PortalHotKeys::OnSessionCreated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar*, GVariant* parameters, gpointer self) {
    auto* keys = static_cast<PortalHotKeys*>(self);
    keys->createdSignal_.Reset();
    keys->creating_ = false;
    GVariant* results = nullptr;
    const uint32_t response = ResponseOf(parameters, &results);
    const gchar* session = nullptr;
    if (response == 0 && g_variant_lookup(results, "session_handle", "&s", &session)) {
        keys->session_ = session;
        keys->MarkBound(response, results);
    }
    g_variant_unref(results);
    if (keys->session_.empty()) {
        keys->Refuse(false);
        return;
    }
    keys->activatedSignal_ =
        SubscriptionOwner({keys->bus_.get(), g_dbus_connection_signal_subscribe(
                                                 keys->bus_.get(), kPortal, kShortcuts, "Activated",
                                                 kPortalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                 &PortalHotKeys::OnActivated, keys, nullptr)});
    keys->Ask();
}

void PortalHotKeys::OnBound(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar*, GVariant* parameters, gpointer self) {
    auto* keys = static_cast<PortalHotKeys*>(self);
    keys->boundSignal_.Reset();
    GVariant* results = nullptr;
    const uint32_t response = ResponseOf(parameters, &results);
    keys->MarkBound(response, results);
    g_variant_unref(results);
    keys->Refuse(true);
}

void PortalHotKeys::OnActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar*, GVariant* parameters, gpointer self) {
    auto* keys = static_cast<PortalHotKeys*>(self);
    const gchar* session = nullptr;
    const gchar* name = nullptr;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &name, nullptr, nullptr);
    if (keys->session_ != session)
        return;
    for (const auto& entry : keys->shortcuts_) {
        if (entry.second.bound && entry.second.name == name) {
            keys->sink_.Deliver(WINMSG_HOTKEY, static_cast<uintptr_t>(entry.first));
            return;
        }
    }
}

void PortalHotKeys::CloseSession() {
    activatedSignal_.Reset();
    if (!session_.empty() && bus_) {
        g_dbus_connection_call(bus_.get(), kPortal, session_.c_str(),
                               "org.freedesktop.portal.Session", "Close", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, nullptr);
    }
    session_.clear();
    for (auto& entry : shortcuts_)
        entry.second.asked = entry.second.bound = false;
}
