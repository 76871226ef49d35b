#include "app/gtk/gtk_due_source.h"

#include <algorithm>

namespace {

struct TimerSource {
    GSource base;
    gint64 readyAt;
};
gboolean PrepareTimer(GSource* source, gint* timeout) {
    if (ReadyAt(source) == kNever) {
        *timeout = -1;
        return FALSE;
    }
    const gint64 left = ReadyAt(source) - g_source_get_time(source);
    *timeout = left <= 0 ? 0 : static_cast<gint>(std::min<gint64>((left + 999) / 1000, G_MAXINT));
    return left <= 0;
}

gboolean CheckTimer(GSource* source) {
    return ReadyAt(source) <= g_source_get_time(source);
}

gboolean DispatchTimer(GSource*, GSourceFunc callback, gpointer data) {
    return callback(data);
}
GSourceFuncs kTimerFuncs = {PrepareTimer, CheckTimer, DispatchTimer, nullptr, nullptr, nullptr};

}  // namespace

gint64& ReadyAt(GSource* source) {
    return reinterpret_cast<TimerSource*>(source)->readyAt;
}

GSource* NewDueSource() {
    GSource* source = g_source_new(&kTimerFuncs, sizeof(TimerSource));
    ReadyAt(source) = kNever;
    return source;
}

GSource* AttachDueSource(GSourceFunc callback, gpointer data, gint priority, SourceOwner* owner) {
    GSource* source = NewDueSource();
    g_source_set_priority(source, priority);
    g_source_set_can_recurse(source, TRUE);
    g_source_set_callback(source, callback, data, nullptr);
    *owner = SourceOwner(g_source_attach(source, nullptr));
    g_source_unref(source);
    return source;
}
