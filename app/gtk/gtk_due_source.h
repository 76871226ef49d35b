// A GLib source that dispatches whenever the ready time it keeps has come, and stays
// attached meanwhile: arming it costs no allocation, and the loop it is armed from sees it
// before it next sleeps. (GLib's own ready time wakes the loop whenever it is set, which
// cost every timer tick a second pass of the loop.)
#ifndef VELMORIN_APP_GTK_GTK_DUE_SOURCE_H
#define VELMORIN_APP_GTK_GTK_DUE_SOURCE_H

#include <glib.h>

#include "app/gtk/gtk_owners.h"

constexpr gint64 kNever = G_MAXINT64;

// A new source, not attached and not yet due; the caller's reference.
GSource* NewDueSource();
// Attaches a new source to the default context, held by *owner, not yet due.
GSource* AttachDueSource(GSourceFunc callback, gpointer data, gint priority, SourceOwner* owner);
// Its ready time, in g_get_monotonic_time's microseconds; kNever while it is not armed.
gint64& ReadyAt(GSource* source);

#endif
