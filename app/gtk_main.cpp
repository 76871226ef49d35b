// The native Linux program: the main dialog over GTK 3, sound through PulseAudio.
#include <gtk/gtk.h>

#include "app/gtk_dialog.h"
#include "app/main_dialog.h"
#include "sound/pulse_layer.h"
#include "sound/sound_layer.h"

int main(int argc, char** argv) {
    // Nothing is read at start and nothing written: no settings store, no recent files.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    // The hotkeys are X11 key grabs; under Wayland the program runs through XWayland.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv))
        return 1;
    g_object_set(gtk_settings_get_default(), "gtk-recent-files-enabled", FALSE, nullptr);
    PulseSoundSystem sound;
    InstallSoundSystem(&sound);
    {
        GtkMainDialog dialog(MainDialogProc);
        dialog.Run();
    }
    // The exit status is 1 however the dialog ended.
    return 1;
}
