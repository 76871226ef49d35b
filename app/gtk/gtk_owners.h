// Small move-only owners for GLib and GTK objects, each released once by its owner.
#ifndef VELMORIN_APP_GTK_GTK_OWNERS_H
#define VELMORIN_APP_GTK_GTK_OWNERS_H

#include <gtk/gtk.h>

#include <memory>
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

#endif
