#include "app/gtk/gtk_text_box.h"

#include <gtk/gtk-a11y.h>

namespace {

struct TextBox {
    GtkDrawingArea parent;
    gchar* text;
    gboolean centred;
};
struct TextBoxClass {
    GtkDrawingAreaClass parent;
};

struct TextBoxAccessible {
    GtkWidgetAccessible parent;
};
struct TextBoxAccessibleClass {
    GtkWidgetAccessibleClass parent;
};

GType text_box_get_type();
GType text_box_accessible_get_type();
void text_box_accessible_text_init(AtkTextIface* iface);

G_DEFINE_TYPE(TextBox, text_box, GTK_TYPE_DRAWING_AREA)
G_DEFINE_TYPE_WITH_CODE(TextBoxAccessible, text_box_accessible, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TEXT, text_box_accessible_text_init))

TextBox* BoxOf(gpointer widget) {
    return G_TYPE_CHECK_INSTANCE_CAST(widget, text_box_get_type(), TextBox);
}

void text_box_init(TextBox* box) {
    box->text = g_strdup("");
}

void text_box_finalize(GObject* object) {
    g_free(BoxOf(object)->text);
    G_OBJECT_CLASS(text_box_parent_class)->finalize(object);
}

gboolean text_box_draw(GtkWidget* widget, cairo_t* cr) {
    const TextBox* box = BoxOf(widget);
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, box->text);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    const int x = box->centred ? (gtk_widget_get_allocated_width(widget) - width) / 2 : 2;
    const int y = (gtk_widget_get_allocated_height(widget) - height) / 2;
    gtk_render_layout(gtk_widget_get_style_context(widget), cr, x, y, layout);
    g_object_unref(layout);
    return FALSE;
}

void text_box_class_init(TextBoxClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = text_box_finalize;
    GTK_WIDGET_CLASS(klass)->draw = text_box_draw;
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), text_box_accessible_get_type());
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), ATK_ROLE_LABEL);
}

// The shown text of the box behind an accessible; "" once the widget is gone.
const gchar* AccessibleText(AtkText* text) {
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(text));
    return widget != nullptr ? BoxOf(widget)->text : "";
}

gint CharacterCount(AtkText* text) {
    return static_cast<gint>(g_utf8_strlen(AccessibleText(text), -1));
}

gchar* GetText(AtkText* text, gint start, gint end) {
    const gint count = CharacterCount(text);
    if (end < 0 || end > count)
        end = count;
    start = CLAMP(start, 0, end);
    return g_utf8_substring(AccessibleText(text), start, end);
}

gunichar GetCharacterAtOffset(AtkText* text, gint offset) {
    if (offset < 0 || offset >= CharacterCount(text))
        return 0;
    return g_utf8_get_char(g_utf8_offset_to_pointer(AccessibleText(text), offset));
}

// A character at a time, or else the whole text: it is one line, one sentence.
gchar* GetStringAtOffset(AtkText* text, gint offset, AtkTextGranularity granularity, gint* start,
                         gint* end) {
    const gint count = CharacterCount(text);
    if (granularity == ATK_TEXT_GRANULARITY_CHAR) {
        *start = CLAMP(offset, 0, count);
        *end = MIN(*start + 1, count);
    } else {
        *start = 0;
        *end = count;
    }
    return GetText(text, *start, *end);
}

gint GetCaretOffset(AtkText*) {
    return -1;  // nothing to place a caret in
}

void text_box_accessible_text_init(AtkTextIface* iface) {
    iface->get_text = GetText;
    iface->get_character_count = CharacterCount;
    iface->get_character_at_offset = GetCharacterAtOffset;
    iface->get_string_at_offset = GetStringAtOffset;
    iface->get_caret_offset = GetCaretOffset;
}

void text_box_accessible_init(TextBoxAccessible*) {}
void text_box_accessible_class_init(TextBoxAccessibleClass*) {}

}  // namespace

GtkWidget* TextBoxNew(const char* text, bool centred) {
    auto* box = BoxOf(g_object_new(text_box_get_type(), nullptr));
    box->centred = centred ? TRUE : FALSE;
    TextBoxShow(GTK_WIDGET(box), text);
    return GTK_WIDGET(box);
}

void TextBoxShow(GtkWidget* widget, const char* text) {
    TextBox* box = BoxOf(widget);
    if (g_strcmp0(box->text, text) == 0)
        return;
    // The deletion is announced while the old text still stands, since a listener reads
    // what went from the range it names.
    AtkObject* accessible = gtk_widget_get_accessible(widget);
    const gint removed = static_cast<gint>(g_utf8_strlen(box->text, -1));
    if (removed > 0)
        g_signal_emit_by_name(accessible, "text-changed::delete", 0, removed);
    g_free(box->text);
    box->text = g_strdup(text);
    const gint inserted = static_cast<gint>(g_utf8_strlen(text, -1));
    if (inserted > 0)
        g_signal_emit_by_name(accessible, "text-changed::insert", 0, inserted);
    atk_object_set_name(accessible, text);
    gtk_widget_queue_draw(widget);
}

const char* TextBoxText(GtkWidget* box) {
    return BoxOf(box)->text;
}
