#include "app/gtk/gtk_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/gtk/gtk_control_kinds.h"
#include "app/gtk/gtk_due_source.h"
#include "app/gtk/gtk_text_box.h"
#include "res/resource.h"

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
