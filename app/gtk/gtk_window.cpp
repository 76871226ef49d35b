// Building the window from the dialog template: its controls at their template places,
// the menu, the style and the icon, and the signals that turn input into messages.
#include <cctype>
#include <cmath>
#include <cstring>

#include "app/gtk/gtk_control_kinds.h"
#include "app/gtk/gtk_dialog.h"
#include "app/gtk/gtk_text_box.h"
#include "res/resource.h"

extern const unsigned char kMainIconFile[];
extern const size_t kMainIconFileSize;

namespace {

constexpr const char* kWidgetName = "velmorin";

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

GtkMainDialog::GtkMainDialog(DialogProcedure procedure, KeepPitchOption* keepPitch)
    : procedure_(std::move(procedure)), keepPitch_(keepPitch) {
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
        // The native edition's options go before Help, the last.
        if (keepPitch_ != nullptr && m + 1 == kMainMenuCount)
            gtk_menu_shell_append(GTK_MENU_SHELL(bar), BuildOptions());
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

GtkWidget* GtkMainDialog::BuildOptions() {
    GtkWidget* top = gtk_menu_item_new_with_mnemonic(MnemonicLabel("&Options").c_str());
    GtkWidget* popup = gtk_menu_new();
    GtkWidget* keep = gtk_check_menu_item_new_with_mnemonic(MnemonicLabel("&Keep Pitch").c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(keep), keepPitch_->On());
    g_signal_connect(keep, "toggled", G_CALLBACK(OnKeepPitch), this);
    // The check shows the option, also where the sound layer refused it.
    keepPitch_->Watch([keep, option = keepPitch_] {
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(keep), option->On());
    });
    gtk_menu_shell_append(GTK_MENU_SHELL(popup), keep);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), popup);
    return top;
}

void GtkMainDialog::OnKeepPitch(GtkCheckMenuItem* item, gpointer self) {
    static_cast<GtkMainDialog*>(self)->keepPitch_->Set(gtk_check_menu_item_get_active(item) != 0);
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
