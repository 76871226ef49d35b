// The dialog manager's queue: messages delivered one at a time, posted ones applied after
// the handler that posted them (with the notifications they cause), and the timers.
#include <algorithm>

#include "app/gtk/gtk_control_kinds.h"
#include "app/gtk/gtk_dialog.h"
#include "app/gtk/gtk_due_source.h"
#include "res/resource.h"

namespace {

// A shortest timer whose ticks change nothing in the window slows down to this.
constexpr guint kIdleTimerMs = 250;

}  // namespace

intptr_t GtkMainDialog::Run() {
    loop_.reset(g_main_loop_new(nullptr, FALSE));
    Dispatch(WINMSG_INITDIALOG, 0, 0);
    // After what initialisation posted, as a message the user's choice would send.
    if (!startPath_.empty() && !destroyed_ && !ended_)
        Deliver(WINMSG_COMMAND, IDM_FILE_OPEN);
    if (!destroyed_) {
        gtk_widget_show_all(window_);
        g_main_loop_run(loop_.get());
    }
    gtk_widget_hide(window_);
    return endCode_;
}

intptr_t GtkMainDialog::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (destroyed_)
        return 0;
    if (message != WINMSG_TIMER || shortestTick_ == 0)
        WakeTimers();
    ++depth_;
    const intptr_t result = procedure_(*this, message, wParam, lParam);
    --depth_;
    if (depth_ == 0 && ended_ && !destroyed_)
        Destroy();
    if (!destroyed_) {
        for (WayIn* way : ways_)
            way->AfterMessage();
    }
    return result;
}

void GtkMainDialog::Deliver(uint32_t message, uintptr_t wParam) {
    // Posted messages, and the notifications of the sliders they redraw, come first, as
    // the dialog manager's queue has them: a timer's handler never sees a thumb that was
    // posted before it ticked without the notification that follows.
    if (!posted_.empty() || !redrawn_.empty())
        Pump();
    Dispatch(message, wParam, 0);
}

void GtkMainDialog::Destroy() {
    // The dialog goes once the handler that ended it has returned: WM_DESTROY, then
    // nothing more reaches the procedure.
    ++depth_;
    procedure_(*this, WINMSG_DESTROY, 0, 0);
    --depth_;
    destroyed_ = true;
    timers_.clear();
    posted_.clear();
    redrawn_.clear();
    if (loop_)
        g_main_loop_quit(loop_.get());
}

void GtkMainDialog::EndDialog(intptr_t result) {
    if (ended_)
        return;
    ended_ = true;
    endCode_ = result;
}

void GtkMainDialog::MarkRedrawn(int id) {
    if (std::find(redrawn_.begin(), redrawn_.end(), id) == redrawn_.end())
        redrawn_.push_back(id);
    SchedulePump();
}

void GtkMainDialog::SchedulePump() {
    if (destroyed_)
        return;
    // Before any other source; and, able to recurse, also in a modal box's loop that a
    // notification's handler opens.
    if (pumpDue_ == nullptr)
        pumpDue_ = AttachDueSource(&GtkMainDialog::OnPump, this, G_PRIORITY_HIGH, &pumpSource_);
    ReadyAt(pumpDue_) = 0;
}

bool GtkMainDialog::PumpScheduled() const {
    return pumpDue_ != nullptr && ReadyAt(pumpDue_) != kNever;
}

gboolean GtkMainDialog::OnPump(gpointer self) {
    auto* dialog = static_cast<GtkMainDialog*>(self);
    ReadyAt(dialog->pumpDue_) = kNever;
    dialog->Pump();
    return G_SOURCE_CONTINUE;
}

void GtkMainDialog::Pump() {
    // Posted messages first, in order; then each changed slider notifies once, as it does
    // when it repaints; what those handlers post goes round again.
    while (!destroyed_ && (!posted_.empty() || !redrawn_.empty())) {
        while (!posted_.empty()) {
            const Posted p = posted_.front();
            posted_.erase(posted_.begin());
            if (!p.trackbar) {
                GObjectOwner<GdkPixbuf>& slot = p.size == IconSize::Big ? bigIcon_ : smallIcon_;
                auto* icon = static_cast<GdkPixbuf*>(p.icon);
                // The icon group's small image for the small icon.
                if (p.size == IconSize::Small && icon == icon_.get() && icon16_)
                    icon = icon16_.get();
                slot.reset(icon != nullptr ? GDK_PIXBUF(g_object_ref(icon)) : nullptr);
                GList* icons = nullptr;
                for (GdkPixbuf* i : {bigIcon_.get(), smallIcon_.get()}) {
                    if (i != nullptr)
                        icons = g_list_append(icons, i);
                }
                gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
                g_list_free(icons);
                continue;
            }
            Control* c = Find(p.id);
            if (c == nullptr || !IsSlider(c->kind))
                continue;
            // A thumb posted where it stands is not redrawn, and so sends nothing: the poll
            // posts the progress at every tick.
            if (!c->track.Apply(p.message, p.value))
                continue;
            ++changes_;
            ShowTrack(*c);
            if (std::find(redrawn_.begin(), redrawn_.end(), p.id) == redrawn_.end())
                redrawn_.push_back(p.id);
        }
        std::vector<int> painted;
        painted.swap(redrawn_);
        for (int id : painted) {
            if (destroyed_ || ended_)
                break;
            Dispatch(WINMSG_NOTIFY, static_cast<uintptr_t>(id), 0);
        }
    }
    if (posted_.empty() && redrawn_.empty() && pumpDue_ != nullptr)
        ReadyAt(pumpDue_) = kNever;
}

void GtkMainDialog::SetTimer(uintptr_t id, uint32_t milliseconds) {
    KillTimer(id);
    ++changes_;
    const guint interval = std::max(milliseconds, kShortestTimerMs);
    // May recurse: a modal box opened from a tick's handler runs a nested loop, in which
    // this timer goes on ticking, as it does under the dialog manager's modal loops.
    GSource* source = NewDueSource();
    ReadyAt(source) = g_get_monotonic_time() + gint64{interval} * 1000;
    g_source_set_can_recurse(source, TRUE);
    auto* tick = new TimerTick{this, id, interval, interval, source, 0};
    g_source_set_callback(source, &GtkMainDialog::OnTimerTick, tick,
                          [](gpointer data) { delete static_cast<TimerTick*>(data); });
    timers_[id] = Timer{SourceOwner(g_source_attach(source, nullptr)), tick};
    g_source_unref(source);
}

void GtkMainDialog::KillTimer(uintptr_t id) {
    ++changes_;
    timers_.erase(id);
}

gboolean GtkMainDialog::OnTimerTick(gpointer data) {
    auto* tick = static_cast<TimerTick*>(data);
    // The next period starts now, as WM_TIMER's does once retrieved: a box the handler
    // opens ticks one period later, not at once.
    tick->due = g_get_monotonic_time();
    ReadyAt(tick->source) = tick->due + gint64{tick->current} * 1000;
    tick->dialog->Tick(tick);
    return G_SOURCE_CONTINUE;
}

void GtkMainDialog::Tick(TimerTick* tick) {
    const uintptr_t id = tick->id;
    const bool shortest = tick->interval == kShortestTimerMs;
    const uint64_t before = changes_;
    shortestTick_ += shortest ? 1 : 0;
    Deliver(WINMSG_TIMER, id);
    shortestTick_ -= shortest ? 1 : 0;
    auto it = timers_.find(id);
    if (shortest && it != timers_.end() && it->second.tick == tick)
        BackOff(tick, changes_ != before);  // not when killed or set anew meanwhile
    // What the handler posted goes now, as the high-priority idle would have it next:
    // nothing can come between, and a pass of the loop is spared at every tick.
    if (PumpScheduled() && !destroyed_) {
        ReadyAt(pumpDue_) = kNever;
        Pump();
    }
}

void GtkMainDialog::BackOff(TimerTick* tick, bool changed) {
    // A timer asked to tick as often as it can does so while its ticks change the window
    // (a position while a sound plays); while they change nothing it ticks less and less
    // often, down to four times a second, so that an idle program does not wake the machine
    // a hundred times a second. Any other message brings it back at once.
    const guint current = changed ? kShortestTimerMs : std::min(tick->current * 2, kIdleTimerMs);
    if (current != tick->current) {
        tick->current = current;
        ReadyAt(tick->source) = tick->due + gint64{current} * 1000;
    }
}

void GtkMainDialog::WakeTimers() {
    const gint64 now = g_get_monotonic_time();
    for (auto& entry : timers_) {
        TimerTick* tick = entry.second.tick;
        if (tick->current == tick->interval)
            continue;
        tick->current = tick->interval;
        ReadyAt(tick->source) = now + gint64{tick->interval} * 1000;
    }
}
