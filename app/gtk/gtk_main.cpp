// The native Linux program: the main dialog over GTK 3, sound through the linked layer.
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/gtk/gtk_dialog.h"
#include "app/ways_in/hidraw_pedals.h"
#include "app/main_dialog.h"
#include "app/ways_in/mpris_player.h"
#include "app/ways_in/portal_hotkeys.h"
#include "app/ways_in/x11_hotkeys.h"
#include "res/build_info.h"
#include "sound/sound_layer.h"

namespace {

// A path as the file chooser would give it: absolute (a file:// URI becomes its path).
std::string ChosenPath(const std::string& argument) {
    GFile* file = g_file_new_for_commandline_arg(argument.c_str());
    gchar* path = g_file_get_path(file);
    std::string chosen = path != nullptr ? path : argument;
    g_free(path);
    g_object_unref(file);
    return chosen;
}

// A Wayland session lets no program grab keys for the whole session; there the hotkeys
// come through the desktop's shortcuts portal, where it has one.
bool HotKeysThroughPortal() {
    const char* wayland = g_getenv("WAYLAND_DISPLAY");
    return wayland != nullptr && wayland[0] != '\0' && PortalHotKeys::Available();
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("Velmorin %s\n", VELMORIN_VERSION);
            return 0;
        case CommandLine::Action::Misuse:
            std::fprintf(stderr, "velmorin: %s\n%s", line.problem.c_str(), UsageText().c_str());
            return 2;
        case CommandLine::Action::Run:
            break;
    }
    // The desktop matches the window to its entry, and so to its name and icon, by this.
    g_set_prgname(VELMORIN_APP_ID);
    g_set_application_name("Velmorin");
    // Nothing is read at start and nothing written: no settings store, no recent files.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    // Without the portal the hotkeys are X11 key grabs, and under Wayland the program runs
    // through XWayland; with it, as a Wayland client.
    const bool portal = HotKeysThroughPortal();
    gdk_set_allowed_backends(portal ? "wayland,x11" : "x11");
    // The dialog draws nothing with OpenGL. GTK's probe for it at start loads the system's
    // GL driver (with Mesa's software one, LLVM: some 45 MiB of memory and tens of
    // milliseconds); a GDK_GL the user set stands.
    g_setenv("GDK_GL", "disable", FALSE);
    int gtkArgc = 1;  // the arguments are the program's own, none of them GTK's
    if (!gtk_init_check(&gtkArgc, &argv)) {
        std::fprintf(stderr, "velmorin: cannot open the display\n");
        return 1;
    }
    g_object_set(gtk_settings_get_default(), "gtk-recent-files-enabled", FALSE, nullptr);
    const std::unique_ptr<SoundSystem> sound = CreatePlatformSoundSystem();
    InstallSoundSystem(sound.get());
    KeepPitchOption keepPitch(sound.get());
    {
        GtkMainDialog dialog(MainDialogProc, &keepPitch);
        // The ways in besides the window, picked once: the hotkeys', the media keys' and the
        // foot pedals'.
        std::unique_ptr<HotKeyWayIn> hotkeys;
        if (portal)
            hotkeys = std::make_unique<PortalHotKeys>(dialog, dialog);
        else
            hotkeys = std::make_unique<X11HotKeys>(dialog);
        dialog.UseHotKeys(hotkeys.get());
        MprisPlayer media(dialog, dialog, &keepPitch);
        dialog.AddWayIn(&media);
        // VELMORIN_DEVICE_ROOT is for tests only: a tree of fake devices in place of /.
        const char* devices = g_getenv("VELMORIN_DEVICE_ROOT");
        HidrawPedals pedals(dialog, dialog, devices != nullptr ? devices : "/");
        if (!line.path.empty())
            dialog.OpenAtStart(ChosenPath(line.path));
        dialog.Run();
    }
    // The exit status is 1 however the dialog ended.
    return 1;
}
