// Small move-only owners for GLib, GTK and D-Bus objects and file descriptors, each
// released once by its owner.
#ifndef VELMORIN_APP_GTK_GTK_OWNERS_H
#define VELMORIN_APP_GTK_GTK_OWNERS_H

#include <gtk/gtk.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

template <class T>
struct GObjectUnref {
    void operator()(T* object) const { g_object_unref(object); }
};
// A reference to a GObject (a pixbuf, a loader).
template <class T>
using GObjectOwner = std::unique_ptr<T, GObjectUnref<T>>;

struct WidgetDestroy {
    void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
// A toplevel widget, destroyed with everything in it.
using WidgetOwner = std::unique_ptr<GtkWidget, WidgetDestroy>;

struct MainLoopUnref {
    void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
using MainLoopOwner = std::unique_ptr<GMainLoop, MainLoopUnref>;

// A source attached to the default main context (a timeout, an idle), removed when the
// owner goes. A source that removes itself (its callback returned G_SOURCE_REMOVE) is let
// go with Forget first.
class SourceOwner {
  public:
    SourceOwner() = default;
    explicit SourceOwner(guint id) : id_(id) {}
    ~SourceOwner() { Reset(); }
    SourceOwner(SourceOwner&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
    SourceOwner& operator=(SourceOwner&& other) noexcept {
        if (this != &other) {
            Reset();
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }
    SourceOwner(const SourceOwner&) = delete;
    SourceOwner& operator=(const SourceOwner&) = delete;

    explicit operator bool() const { return id_ != 0; }
    void Reset() {
        if (id_ != 0)
            g_source_remove(std::exchange(id_, 0));
    }
    void Forget() { id_ = 0; }

  private:
    guint id_ = 0;
};

// An owner of a value released by Release() once, and moved without a second release.
template <class Traits>
class Owned {
  public:
    using Value = typename Traits::Value;
    Owned() = default;
    explicit Owned(Value value) : value_(std::move(value)) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, Traits::None())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            value_ = std::exchange(other.value_, Traits::None());
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    const Value& Get() const { return value_; }
    explicit operator bool() const { return !(value_ == Traits::None()); }
    void Reset() {
        if (*this)
            Traits::Release(std::exchange(value_, Traits::None()));
    }
    // Lets go without releasing: what it held was released by others.
    void Forget() { value_ = Traits::None(); }

  private:
    Value value_ = Traits::None();
};

struct FdTraits {
    using Value = int;
    static int None() { return -1; }
    static void Release(int fd) { close(fd); }
};
// A file descriptor, closed by its owner.
using FdOwner = Owned<FdTraits>;

struct VariantTraits {
    using Value = GVariant*;
    static GVariant* None() { return nullptr; }
    static void Release(GVariant* value) { g_variant_unref(value); }
};
using VariantOwner = Owned<VariantTraits>;

struct NodeInfoTraits {
    using Value = GDBusNodeInfo*;
    static GDBusNodeInfo* None() { return nullptr; }
    static void Release(GDBusNodeInfo* node) { g_dbus_node_info_unref(node); }
};
using NodeInfoOwner = Owned<NodeInfoTraits>;

// What is held on a bus connection by an id: an object registered on it, a signal
// subscription. The connection must outlive the owner.
struct BusId {
    GDBusConnection* bus = nullptr;
    guint id = 0;
    bool operator==(const BusId& other) const { return bus == other.bus && id == other.id; }
};
struct RegisteredObjectTraits {
    using Value = BusId;
    static BusId None() { return {}; }
    static void Release(BusId object) {
        if (object.id != 0)  // a registration that failed holds nothing
            g_dbus_connection_unregister_object(object.bus, object.id);
    }
};
using RegisteredObjectOwner = Owned<RegisteredObjectTraits>;
struct SubscriptionTraits {
    using Value = BusId;
    static BusId None() { return {}; }
    static void Release(BusId s) {
        if (s.id != 0)
            g_dbus_connection_signal_unsubscribe(s.bus, s.id);
    }
};
using SubscriptionOwner = Owned<SubscriptionTraits>;

// A well-known name owned on a bus, given back by its owner.
struct BusName {
    GDBusConnection* bus = nullptr;
    std::string name;
    bool operator==(const BusName& other) const { return bus == other.bus && name == other.name; }
};
struct BusNameTraits {
    using Value = BusName;
    static BusName None() { return {}; }
    static void Release(const BusName& owned) {
        GVariant* reply = g_dbus_connection_call_sync(
            owned.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "ReleaseName", g_variant_new("(s)", owned.name.c_str()), nullptr,
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply != nullptr)
            g_variant_unref(reply);
    }
};
using BusNameOwner = Owned<BusNameTraits>;

#endif
