#include "app/gtk/gtk_dialog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "app/gtk/gtk_text_box.h"
#include "res/resource.h"

extern const unsigned char kMainIconFile[];
extern const size_t kMainIconFileSize;

namespace {

// The shortest timer Windows delivers: SetTimer takes 10 ms at the least, and the system
// clock ticks every 15.6 ms.
constexpr uint32_t kShortestTimerMs = 16;
// A shortest timer whose ticks change nothing in the window slows down to this.
constexpr guint kIdleTimerMs = 250;
constexpr const char* kWidgetName = "velmorin";

// A timer's source wakes at the ready time the dialog sets for each tick (a timeout
// source would set its own, a fixed period on). It keeps that time itself: glib's own
// (g_source_set_ready_time) wakes the loop whenever it is set, which cost every tick a
// second pass of the loop.
struct TimerSource {
    GSource base;
    gint64 readyAt;
};

gint64& ReadyAt(GSource* source) {
    return reinterpret_cast<TimerSource*>(source)->readyAt;
}

constexpr gint64 kNever = G_MAXINT64;

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

// A source of that kind that stays attached, dispatching whenever its ready time is set to
// one that has come: arming it costs no allocation, and the loop it is armed from sees it
// before it next sleeps.
GSource* AttachDueSource(GSourceFunc callback, gpointer data, gint priority, SourceOwner* owner) {
    GSource* source = g_source_new(&kTimerFuncs, sizeof(TimerSource));
    ReadyAt(source) = kNever;
    g_source_set_priority(source, priority);
    g_source_set_can_recurse(source, TRUE);
    g_source_set_callback(source, callback, data, nullptr);
    *owner = SourceOwner(g_source_attach(source, nullptr));
    g_source_unref(source);
    return source;
}

bool IsSlider(ControlKind kind) {
    return kind == ControlKind::PlainSlider || kind == ControlKind::EndTickSlider ||
           kind == ControlKind::TickSlider;
}

bool IsHidden(ControlKind kind) {
    return kind == ControlKind::HiddenLabel || kind == ControlKind::HiddenRadio;
}

// The boxes whose texts change while a sound plays (the status line, the position and the
// other values) draw their text themselves: a label's new text lays the whole window out
// again, a drawn one only repaints its box.
bool IsDrawnText(ControlKind kind) {
    return kind == ControlKind::StatusBox || kind == ControlKind::Value;
}

// GTK 3.24 gives a scale with marks a clip that reaches back to the window's origin, so
// that each text repainted near the top left drew the marked sliders again, every mark of
// them: most of what a repaint cost while a sound plays. Their clip is cut back to what
// lies near the slider, where all it draws is.
void TrimMarkedScaleClip(GtkWidget* scale, GdkRectangle* allocation, gpointer) {
    GtkAllocation clip;
    gtk_widget_get_clip(scale, &clip);
    const int margin = allocation->height;
    const GdkRectangle near{allocation->x - margin, allocation->y - margin,
                            allocation->width + 2 * margin, allocation->height + 2 * margin};
    GdkRectangle trimmed;
    if (gdk_rectangle_intersect(&clip, &near, &trimmed))
        gtk_widget_set_clip(scale, &trimmed);
}

void InstallStyle() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Compact controls, so that each fits its template rectangle as on Windows.
    const std::string css = DialogFontCss() +
                            "#velmorin button { padding: 0 2px; min-height: 0; min-width: 0; }\n"
                            "#velmorin check { margin: 0 2px 0 0; }\n"
                            "#velmorin scale { padding: 0 4px; min-height: 0; }\n"
                            "#velmorin frame > border { padding: 0; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

}  // namespace

std::string DialogFontCss() {
    return std::string("#velmorin, #velmorin * { font-family: \"") + kMainFontFace +
           "\"; font-size: " + std::to_string(kMainFontPoints) + "pt; }\n";
}

DialogBaseUnits MeasureBaseUnits(GtkWidget* widget) {
    PangoContext* context = gtk_widget_get_pango_context(widget);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, kMainFontFace);
    pango_font_description_set_size(font, kMainFontPoints * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, font, nullptr);
    const int ascentDescent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics) +
                                                pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    g_object_unref(layout);
    pango_font_description_free(font);
    return BaseUnitsFromFont(width, ascentDescent > 0 ? ascentDescent : height);
}

std::string MnemonicLabel(const char* text) {
    std::string label;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '&' && p[1] == '&') {
            label += '&';
            ++p;
        } else if (*p == '&') {
            label += '_';
        } else if (*p == '_') {
            label += "__";
        } else {
            label += *p;
        }
    }
    return label;
}

GdkPixbuf* LoadProgramIcon(int pixels) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("ico", nullptr);
    if (loader == nullptr)
        return nullptr;
    gdk_pixbuf_loader_set_size(loader, pixels, pixels);
    gdk_pixbuf_loader_write(loader, kMainIconFile, kMainIconFileSize, nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* icon = gdk_pixbuf_loader_get_pixbuf(loader);
    if (icon != nullptr)
        g_object_ref(icon);
    g_object_unref(loader);
    return icon;
}

GtkMainDialog::GtkMainDialog(DialogProcedure procedure) : procedure_(std::move(procedure)) {
    Build();
}

GtkMainDialog::~GtkMainDialog() = default;

void GtkMainDialog::Build() {
    InstallStyle();
    windowOwner_.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    window_ = windowOwner_.get();
    gtk_widget_set_name(window_, kWidgetName);
    gtk_window_set_title(GTK_WINDOW(window_), "Velmorin");
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    base_ = MeasureBaseUnits(window_);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), box);
    BuildMenu(box);
    layout_ = gtk_fixed_new();
    gtk_widget_set_size_request(layout_, DialogUnitsToPixelsX(kMainDialogSize.width, base_),
                                DialogUnitsToPixelsY(kMainDialogSize.height, base_));
    gtk_box_pack_start(GTK_BOX(box), layout_, TRUE, TRUE, 0);

    GSList* radioGroup = nullptr;
    GList* tabOrder = nullptr;
    controls_.reserve(kMainControlCount);
    for (size_t i = 0; i < kMainControlCount; ++i) {
        const TemplateControl& t = kMainControls[i];
        Control c{t.id, t.kind, nullptr, nullptr, t.text, {}, 0, true};
        const std::string mnemonic = MnemonicLabel(t.text);
        // A hidden label starts a radio group and the control after its trio ends it.
        if (t.kind != ControlKind::HiddenRadio)
            radioGroup = nullptr;
        switch (t.kind) {
            case ControlKind::Push:
                c.widget = gtk_button_new_with_mnemonic(mnemonic.c_str());
                gtk_widget_set_sensitive(c.widget, FALSE);
                break;
            case ControlKind::Check:
                c.widget = gtk_check_button_new_with_mnemonic(mnemonic.c_str());
                break;
            case ControlKind::PlainSlider:
            case ControlKind::EndTickSlider:
            case ControlKind::TickSlider:
                c.widget =
                    gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, gtk_adjustment_new(0, 0, 0, 1, 1, 0));
                gtk_scale_set_draw_value(GTK_SCALE(c.widget), FALSE);
                // A trackbar's channel has no filled part.
                gtk_scale_set_has_origin(GTK_SCALE(c.widget), FALSE);
                gtk_scale_set_digits(GTK_SCALE(c.widget), 0);
                gtk_range_set_round_digits(GTK_RANGE(c.widget), 0);
                if (t.kind != ControlKind::PlainSlider) {
                    g_signal_connect_after(c.widget, "size-allocate",
                                           G_CALLBACK(TrimMarkedScaleClip), nullptr);
                }
                break;
            case ControlKind::HiddenRadio:
                c.widget = gtk_radio_button_new_with_label(radioGroup, t.text);
                radioGroup = gtk_radio_button_get_group(GTK_RADIO_BUTTON(c.widget));
                break;
            case ControlKind::StatusBox:
            case ControlKind::Value:
                c.widget = TextBoxNew(t.text, t.kind == ControlKind::Value);
                break;
            default:
                c.widget = gtk_label_new(t.text);
                break;
        }
        c.outer = c.widget;
        if (IsDrawnText(t.kind)) {
            c.outer = gtk_frame_new(nullptr);
            gtk_frame_set_shadow_type(GTK_FRAME(c.outer), t.kind == ControlKind::StatusBox
                                                              ? GTK_SHADOW_IN
                                                              : GTK_SHADOW_ETCHED_IN);
            gtk_container_add(GTK_CONTAINER(c.outer), c.widget);
        }
        if (GTK_IS_LABEL(c.widget)) {
            const bool left = t.kind == ControlKind::Label || t.kind == ControlKind::StatusBox ||
                              t.kind == ControlKind::HiddenLabel;
            gtk_label_set_xalign(GTK_LABEL(c.widget), left ? 0.0f : 0.5f);
            gtk_label_set_yalign(GTK_LABEL(c.widget),
                                 t.kind == ControlKind::HiddenLabel ? 0.0f : 0.5f);
            gtk_label_set_ellipsize(GTK_LABEL(c.widget), PANGO_ELLIPSIZE_NONE);
            gtk_label_set_single_line_mode(GTK_LABEL(c.widget), FALSE);
        }
        gtk_widget_set_size_request(c.outer, DialogUnitsToPixelsX(t.rect.width, base_),
                                    DialogUnitsToPixelsY(t.rect.height, base_));
        gtk_fixed_put(GTK_FIXED(layout_), c.outer, DialogUnitsToPixelsX(t.rect.x, base_),
                      DialogUnitsToPixelsY(t.rect.y, base_));
        if (IsHidden(t.kind))
            gtk_widget_set_no_show_all(c.outer, TRUE);
        if (t.kind == ControlKind::Push || t.kind == ControlKind::Check) {
            g_signal_connect(c.widget, "clicked", G_CALLBACK(OnClicked), this);
            g_signal_connect(c.widget, "mnemonic-activate", G_CALLBACK(OnMnemonic), this);
        }
        if (IsSlider(t.kind)) {
            c.valueHandler =
                g_signal_connect(c.widget, "value-changed", G_CALLBACK(OnValueChanged), this);
        }
        if (t.kind == ControlKind::Push || t.kind == ControlKind::Check || IsSlider(t.kind))
            tabOrder = g_list_append(tabOrder, c.outer);
        else
            gtk_widget_set_can_focus(c.widget, FALSE);
        g_object_set_data(G_OBJECT(c.widget), "velmorin-id", GINT_TO_POINTER(t.id));
        controls_.push_back(c);
    }
    for (Control& c : controls_) {
        if (IsSlider(c.kind))
            ShowTrack(c);
    }
    // Tab follows template order, not the controls' places.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(layout_), tabOrder);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(tabOrder);

    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
}

void GtkMainDialog::BuildMenu(GtkWidget* box) {
    GtkWidget* bar = gtk_menu_bar_new();
    for (size_t m = 0; m < kMainMenuCount; ++m) {
        const TemplateMenu& menu = kMainMenu[m];
        GtkWidget* top = gtk_menu_item_new_with_mnemonic(MnemonicLabel(menu.text).c_str());
        GtkWidget* popup = gtk_menu_new();
        for (size_t i = 0; i < menu.count; ++i) {
            const TemplateMenuItem& item = menu.items[i];
            GtkWidget* entry =
                item.id == 0 ? gtk_separator_menu_item_new()
                             : gtk_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
            if (item.id != 0) {
                g_object_set_data(G_OBJECT(entry), "velmorin-id", GINT_TO_POINTER(item.id));
                g_signal_connect(entry, "activate", G_CALLBACK(OnMenuItem), this);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(popup), entry);
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), popup);
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
}

GtkMainDialog::Control* GtkMainDialog::Find(int id) {
    if (id == -1)
        return nullptr;
    for (Control& c : controls_) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

GtkWidget* GtkMainDialog::Item(int id) {
    Control* c = Find(id);
    return c == nullptr ? nullptr : c->widget;
}

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

void GtkMainDialog::SetTitle(const char* text) {
    if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(window_)), text) != 0)
        ++changes_;
    gtk_window_set_title(GTK_WINDOW(window_), text);
}

void GtkMainDialog::SetItemText(int id, const char* text) {
    Control* c = Find(id);
    if (c == nullptr)
        return;
    // The same text again changes nothing on screen; skipping it spares a relayout on
    // every poll tick.
    if (c->text == text)
        return;
    ++changes_;
    c->text = text;
    if (GTK_IS_LABEL(c->widget) || IsDrawnText(c->kind)) {
        c->shown = false;
        ShowTexts();
    } else if (GTK_IS_BUTTON(c->widget)) {
        gtk_button_set_label(GTK_BUTTON(c->widget), MnemonicLabel(text).c_str());
    }
}

void GtkMainDialog::ShowTexts() {
    // A text that changes at every poll tick would be laid out and painted up to 60 times
    // a second, which costs several per cent of a core; the eye reads no more than about
    // 20 changes a second. The first change after a quiet spell shows at once.
    const gint64 now = g_get_monotonic_time();
    const gint64 due = textsShownAt_ + gint64{kTextIntervalMs} * 1000;
    if (now < due) {
        // While a sound plays the next tick's text comes within the shortest period after
        // that and shows then; this source only when none does.
        if (textDue_ == nullptr)
            textDue_ = AttachDueSource(&GtkMainDialog::OnShowTexts, this, G_PRIORITY_DEFAULT,
                                       &textSource_);
        ReadyAt(textDue_) = due + gint64{kShortestTimerMs} * 1000;
        return;
    }
    if (textDue_ != nullptr)
        ReadyAt(textDue_) = kNever;
    textsShownAt_ = now;
    for (Control& c : controls_) {
        if (c.shown)
            continue;
        c.shown = true;
        if (IsDrawnText(c.kind))
            TextBoxShow(c.widget, c.text.c_str());
        else if (GTK_IS_LABEL(c.widget))
            gtk_label_set_text(GTK_LABEL(c.widget), c.text.c_str());
    }
}

gboolean GtkMainDialog::OnShowTexts(gpointer self) {
    auto* dialog = static_cast<GtkMainDialog*>(self);
    ReadyAt(dialog->textDue_) = kNever;
    dialog->ShowTexts();
    return G_SOURCE_CONTINUE;
}

void GtkMainDialog::EnableItem(int id, bool enable) {
    Control* c = Find(id);
    if (c == nullptr)
        return;
    if (gtk_widget_get_sensitive(c->widget) != (enable ? TRUE : FALSE))
        ++changes_;
    gtk_widget_set_sensitive(c->widget, enable ? TRUE : FALSE);
}

bool GtkMainDialog::IsItemEnabled(int id) {
    Control* c = Find(id);
    return c != nullptr && gtk_widget_get_sensitive(c->widget);
}

void GtkMainDialog::SetFocusItem(int id) {
    ++changes_;
    if (Control* c = Find(id))
        gtk_widget_grab_focus(c->widget);
}

unsigned GtkMainDialog::IsButtonChecked(int id) {
    Control* c = Find(id);
    if (c == nullptr || !GTK_IS_TOGGLE_BUTTON(c->widget))
        return 0;
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->widget)) ? 1 : 0;
}

void GtkMainDialog::CheckRadioButton(int first, int last, int check) {
    ++changes_;
    // The checked one first: a GTK radio group always keeps one button checked.
    if (Control* c = Find(check); c != nullptr && GTK_IS_TOGGLE_BUTTON(c->widget))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->widget), TRUE);
    for (int id = first; id <= last; ++id) {
        Control* c = Find(id);
        if (id != check && c != nullptr && GTK_IS_TOGGLE_BUTTON(c->widget))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->widget), FALSE);
    }
}

int32_t GtkMainDialog::GetTrackbarPos(int id) {
    Control* c = Find(id);
    return c != nullptr && IsSlider(c->kind) ? c->track.pos : 0;
}

void GtkMainDialog::PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) {
    posted_.push_back({true, id, message, value, IconSize::Small, nullptr});
    SchedulePump();
}

void GtkMainDialog::ShowTrack(Control& c) {
    const TrackbarState& t = c.track;
    GtkAdjustment* adjustment = gtk_range_get_adjustment(GTK_RANGE(c.widget));
    const double upper = std::max(t.rangeMin, t.rangeMax);
    const bool range = gtk_adjustment_get_lower(adjustment) != t.rangeMin ||
                       gtk_adjustment_get_upper(adjustment) != upper;
    // An unchanged adjustment is left alone: reconfiguring it lays the whole window out
    // again, and the poll posts the same thumb many times a second.
    if (!range && gtk_adjustment_get_value(adjustment) == t.pos)
        return;
    g_signal_handler_block(c.widget, c.valueHandler);
    // Page size 0, so that the thumb reaches the maximum.
    gtk_adjustment_configure(adjustment, t.pos, t.rangeMin, upper, 1,
                             std::max(1, (t.rangeMax - t.rangeMin) / 5), 0);
    g_signal_handler_unblock(c.widget, c.valueHandler);
    if (c.kind == ControlKind::PlainSlider || !range)
        return;
    gtk_scale_clear_marks(GTK_SCALE(c.widget));
    if (c.kind == ControlKind::EndTickSlider || t.rangeMax - t.rangeMin > 1000) {
        gtk_scale_add_mark(GTK_SCALE(c.widget), t.rangeMin, GTK_POS_TOP, nullptr);
        gtk_scale_add_mark(GTK_SCALE(c.widget), t.rangeMax, GTK_POS_TOP, nullptr);
        return;
    }
    for (int32_t v = t.rangeMin; v <= t.rangeMax; ++v)
        gtk_scale_add_mark(GTK_SCALE(c.widget), v, GTK_POS_TOP, nullptr);
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

IconHandle GtkMainDialog::LoadMainIcon() {
    if (!icon_) {
        icon_.reset(LoadProgramIcon(32));
        icon16_.reset(LoadProgramIcon(16));
    }
    return icon_.get();
}

void GtkMainDialog::PostSetIcon(IconSize size, IconHandle icon) {
    ++changes_;
    posted_.push_back({false, 0, TrackbarMessage::SetPos, 0, size, icon});
    SchedulePump();
}

void GtkMainDialog::SetTimer(uintptr_t id, uint32_t milliseconds) {
    KillTimer(id);
    ++changes_;
    const guint interval = std::max(milliseconds, kShortestTimerMs);
    // May recurse: a modal box opened from a tick's handler runs a nested loop, in which
    // this timer goes on ticking, as it does under the dialog manager's modal loops.
    GSource* source = g_source_new(&kTimerFuncs, sizeof(TimerSource));
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

uint16_t GtkMainDialog::AddGlobalAtom(const char* name) {
    return atoms_.Add(name);
}

void GtkMainDialog::DeleteGlobalAtom(uint16_t atom) {
    atoms_.Delete(atom);
}

uint16_t GtkMainDialog::VirtualKeyForChar(char c) {
    // Letters and digits: the key code is the capital letter or the digit; the high byte
    // says whether the keyboard needs Shift for the character.
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u))
        return 0xFFFF;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
    if (!gdk_keymap_get_entries_for_keyval(keymap, gdk_unicode_to_keyval(u), &keys, &count))
        return 0xFFFF;
    const bool shifted = count > 0 && keys[0].level == 1;
    g_free(keys);
    return static_cast<uint16_t>((shifted ? 0x100 : 0) | std::toupper(u));
}

bool GtkMainDialog::RegisterHotKey(int id, uint32_t modifiers, uint32_t key) {
    return hotkeys_ != nullptr && hotkeys_->Register(id, modifiers, key);
}

void GtkMainDialog::UnregisterHotKey(int id) {
    if (hotkeys_ != nullptr)
        hotkeys_->Unregister(id);
}

uint32_t GtkMainDialog::QueryFirstFolderParent(char* buffer, uint32_t size) {
    const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    const char* folder = documents != nullptr ? documents : g_get_home_dir();
    const size_t length = std::strlen(folder);
    if (length + 1 > size)
        return static_cast<uint32_t>(length + 1);
    std::memcpy(buffer, folder, length + 1);
    return static_cast<uint32_t>(length);
}

void GtkMainDialog::OnClicked(GtkWidget* widget, gpointer self) {
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "velmorin-id"));
    static_cast<GtkMainDialog*>(self)->Dispatch(WINMSG_COMMAND, static_cast<uintptr_t>(id), 0);
}

gboolean GtkMainDialog::OnMnemonic(GtkWidget* widget, gboolean, gpointer) {
    // At once, as the dialog manager does; GTK's own activation clicks a quarter second
    // later. A check box toggles first; its "clicked" sends the command.
    if (GTK_IS_CHECK_BUTTON(widget)) {
        GtkToggleButton* check = GTK_TOGGLE_BUTTON(widget);
        gtk_toggle_button_set_active(check, !gtk_toggle_button_get_active(check));
    } else {
        gtk_button_clicked(GTK_BUTTON(widget));
    }
    return TRUE;
}

void GtkMainDialog::OnValueChanged(GtkRange* range, gpointer self) {
    auto* dialog = static_cast<GtkMainDialog*>(self);
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(range), "velmorin-id"));
    Control* c = dialog->Find(id);
    if (c == nullptr)
        return;
    const auto pos = c->track.Clamp(static_cast<int32_t>(std::lround(gtk_range_get_value(range))));
    if (pos != c->track.pos) {
        c->track.pos = pos;
        dialog->MarkRedrawn(id);
    }
}

void GtkMainDialog::OnMenuItem(GtkMenuItem* item, gpointer self) {
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "velmorin-id"));
    static_cast<GtkMainDialog*>(self)->Dispatch(WINMSG_COMMAND, static_cast<uintptr_t>(id), 0);
}

gboolean GtkMainDialog::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // The close box asks, as Esc does; only EndDialog closes.
    static_cast<GtkMainDialog*>(self)->Dispatch(WINMSG_COMMAND, COMMAND_CANCEL, 0);
    return TRUE;
}

gboolean GtkMainDialog::OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer self) {
    auto* dialog = static_cast<GtkMainDialog*>(self);
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_Escape && modifiers == 0) {
        dialog->Dispatch(WINMSG_COMMAND, COMMAND_CANCEL, 0);
        return TRUE;
    }
    if ((event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) && modifiers == 0) {
        // Enter on a push button clicks it; anywhere else it is the dialog's OK.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        if (focus == nullptr || !GTK_IS_BUTTON(focus) || GTK_IS_TOGGLE_BUTTON(focus)) {
            dialog->Dispatch(WINMSG_COMMAND, COMMAND_OK, 0);
            return TRUE;
        }
    }
    return FALSE;
}
