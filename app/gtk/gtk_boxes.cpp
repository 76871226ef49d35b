// The modal boxes of the GTK dialog: message boxes, the About box and the file chooser.
// Each runs a nested main loop, so the main dialog's timers and hotkeys go on meanwhile.
#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/gtk/gtk_dialog.h"
#include "res/dialog_template.h"
#include "wave/decoded_data.h"

namespace {

constexpr char kDecodedFilterName[] = "Sound and Video Files";

// A Windows filter pattern as a GTK one: "*.*" matches every name, and letters match
// either case.
std::string GlobPattern(const std::string& pattern) {
    if (pattern == "*.*")
        return "*";
    std::string glob;
    for (char c : pattern) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            glob += '[';
            glob += static_cast<char>(std::tolower(u));
            glob += static_cast<char>(std::toupper(u));
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

void AddFilters(GtkFileChooser* chooser, const char* block, uint32_t index) {
    std::vector<GtkFileFilter*> filters;
    for (const char* p = block; *p != '\0';) {
        const char* description = p;
        p += std::strlen(p) + 1;
        const std::string patterns = p;
        p += patterns.size() + 1;
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, description);
        size_t start = 0;
        while (start <= patterns.size()) {
            const size_t end = std::min(patterns.find(';', start), patterns.size());
            gtk_file_filter_add_pattern(filter,
                                        GlobPattern(patterns.substr(start, end - start)).c_str());
            start = end + 1;
        }
        gtk_file_chooser_add_filter(chooser, filter);
        filters.push_back(filter);
        if (*p == '\0' && patterns.empty())
            break;
    }
    if (index >= 1 && index <= filters.size())
        gtk_file_chooser_set_filter(chooser, filters[index - 1]);
}

void PlaceAt(GtkWidget* layout, GtkWidget* child, DialogRect rect, DialogBaseUnits base) {
    gtk_widget_set_size_request(child, DialogUnitsToPixelsX(rect.width, base),
                                DialogUnitsToPixelsY(rect.height, base));
    gtk_fixed_put(GTK_FIXED(layout), child, DialogUnitsToPixelsX(rect.x, base),
                  DialogUnitsToPixelsY(rect.y, base));
}

GtkWidget* WrappedLabel(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    return label;
}

}  // namespace

int GtkMainDialog::ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                                  uint32_t style) {
    GtkWindow* parent = owner == MessageBoxOwner::MainDialog ? GTK_WINDOW(window_) : nullptr;
    const GtkMessageType type =
        (style & MESSAGEBOX_ICONERROR) != 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_OTHER;
    WidgetOwner boxOwner(
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", text));
    GtkWidget* box = boxOwner.get();
    gtk_window_set_title(GTK_WINDOW(box), caption);
    // A screen reader names a message box by its type ("Error"); the caption is what the
    // user sees.
    atk_object_set_name(gtk_widget_get_accessible(box), caption);
    if (parent == nullptr)
        gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(box));
    return COMMAND_OK;
}

void GtkMainDialog::ShowAboutBox() {
    WidgetOwner owner(gtk_dialog_new());
    GtkWidget* about = owner.get();
    gtk_widget_set_name(about, "velmorin");
    gtk_window_set_title(GTK_WINDOW(about), kAboutCaption);
    gtk_window_set_transient_for(GTK_WINDOW(about), GTK_WINDOW(window_));
    gtk_window_set_modal(GTK_WINDOW(about), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(about), FALSE);
    GtkWidget* layout = gtk_fixed_new();
    gtk_widget_set_size_request(layout, DialogUnitsToPixelsX(kAboutSize.width, base_),
                                DialogUnitsToPixelsY(kAboutSize.height, base_));
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(about))), layout, TRUE, TRUE,
                       0);

    GtkWidget* ok = gtk_button_new_with_label("OK");
    PlaceAt(layout, ok, kAboutOkButton, base_);
    g_signal_connect_swapped(ok, "clicked", G_CALLBACK(gtk_dialog_response), about);
    PlaceAt(layout, WrappedLabel(kAboutSummary), kAboutSummaryRect, base_);
    GtkWidget* icon = LoadMainIcon() != nullptr
                          ? gtk_image_new_from_pixbuf(static_cast<GdkPixbuf*>(LoadMainIcon()))
                          : gtk_image_new();
    PlaceAt(layout, icon, kAboutIcon, base_);
    PlaceAt(layout, WrappedLabel(kAboutContact), kAboutContactRect, base_);
    // OK is the default button: Enter closes the box, as Esc and the close box do.
    gtk_widget_set_can_default(ok, TRUE);
    gtk_widget_grab_default(ok);
    gtk_widget_grab_focus(ok);

    // At the top left of the main dialog's client area, below its menu.
    gint x = 0, y = 0, dx = 0, dy = 0;
    GdkWindow* main = gtk_widget_get_window(window_);
    if (main != nullptr && gtk_widget_translate_coordinates(layout_, window_, 0, 0, &dx, &dy)) {
        gdk_window_get_origin(main, &x, &y);
        gtk_window_move(GTK_WINDOW(about), x + dx, y + dy);
    }
    gtk_widget_show_all(about);
    gtk_dialog_run(GTK_DIALOG(about));
}

namespace {

// Hands a chosen path to the program as GetOpenFileNameA does: false, with the size needed
// in the first two bytes, when it does not fit.
bool HandOver(const std::string& path, const OpenFileRequest& request) {
    if (path.size() + 1 > request.maxFile) {
        const auto needed = static_cast<uint16_t>(path.size() + 1);
        if (request.maxFile >= 2)
            std::memcpy(request.file, &needed, 2);
        return false;
    }
    std::memcpy(request.file, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

bool GtkMainDialog::ChooseOpenFile(const OpenFileRequest& request) {
    if (!startPath_.empty())
        return HandOver(std::exchange(startPath_, std::string()), request);
    WidgetOwner owner(gtk_file_chooser_dialog_new(
        request.title, GTK_WINDOW(window_), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr));
    GtkWidget* chooser = owner.get();
    GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_local_only(files, TRUE);
    // What the decoder opens comes first and is chosen, so that an MP3 shows without a
    // change of filter; the program's own filters follow as it asks for them.
    if (DecodedFilePatterns()[0] != '\0') {
        std::string block = std::string(kDecodedFilterName) + '\0' + DecodedFilePatterns() + '\0';
        AddFilters(files, block.c_str(), 1);
        AddFilters(files, request.filter, 0);
    } else {
        AddFilters(files, request.filter, request.filterIndex);
    }
    if (request.initialDir != nullptr && request.initialDir[0] != '\0')
        gtk_file_chooser_set_current_folder(files, request.initialDir);
    // The path chosen last is offered again: its folder, with it selected.
    if (request.file[0] == '/')
        gtk_file_chooser_set_filename(files, request.file);

    bool chosen = false;
    while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(files);
        std::string path = name != nullptr ? name : "";
        g_free(name);
        // A typed name without its extension means the .wav file of that name.
        if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) && request.defaultExtension &&
            g_file_test((path + request.defaultExtension).c_str(), G_FILE_TEST_IS_REGULAR)) {
            path += request.defaultExtension;
        }
        if ((request.flags & OPEN_FILE_MUST_EXIST) != 0 &&
            !g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) {
            continue;  // only an existing file closes the dialog
        }
        chosen = HandOver(path, request);
        break;
    }
    return chosen;
}
