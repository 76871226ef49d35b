// The GTK dialog adapter on real GTK under an X display: the effects of app/dialog.h hold
// as under the Win32 dialog manager. Scenarios run inside the dialog's own handlers;
// timing checks compare measured intervals, never the length of a sleep.
#include <fcntl.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/gtk/gtk_dialog.h"
#include "app/ways_in/hidraw_pedals.h"
#include "app/ways_in/x11_hotkeys.h"
#include "control/player_state.h"
#include "res/resource.h"
#include "sound/sound_layer.h"

// Last: Xlib's macros (None, Bool) would break the declarations above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace {

constexpr uintptr_t kTick = 7, kOther = 8;

double NowMs() {
    return static_cast<double>(g_get_monotonic_time()) / 1000.0;
}

// Iterates the main loop until done() holds or the deadline passes.
bool IterateUntil(const std::function<bool()>& done, double seconds = 10) {
    const double deadline = NowMs() + seconds * 1000;
    const guint wake = g_timeout_add(
        5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done() && NowMs() < deadline)
        g_main_context_iteration(nullptr, TRUE);
    g_source_remove(wake);
    return done();
}

// The visible dialog box titled so (any, for null), or null.
GtkWidget* FindBox(const char* title) {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* w = windows; w != nullptr; w = w->next) {
        auto* window = GTK_WINDOW(w->data);
        if (GTK_IS_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window)) &&
            (title == nullptr || g_strcmp0(gtk_window_get_title(window), title) == 0))
            found = GTK_WIDGET(window);
    }
    g_list_free(windows);
    return found;
}

GtkMainDialog* g_running = nullptr;

// A scenario that stalls fails, and is ended instead of hanging the run.
gboolean OnStalled(gpointer) {
    ADD_FAILURE() << "the scenario stalled";
    if (GtkWidget* box = FindBox(nullptr))
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_CANCEL);
    g_running->EndDialog(-1);
    g_running->Dispatch(0, 0, 0);
    return G_SOURCE_CONTINUE;
}

intptr_t RunGuarded(GtkMainDialog& dialog) {
    g_running = &dialog;
    const guint watchdog = g_timeout_add_seconds(20, OnStalled, nullptr);
    const intptr_t code = dialog.Run();
    g_source_remove(watchdog);
    return code;
}

void SendKey(GtkWidget* window, guint keyval) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(window, event);
    gdk_event_free(event);
}

// A slider's adjustment as "lower..upper at value, page size", and its thumb.
std::string Slider(GtkMainDialog& dialog, int id) {
    GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(dialog.Item(id)));
    char text[80];
    std::snprintf(text, sizeof text, "%g..%g at %g, page %g, thumb %d", gtk_adjustment_get_lower(a),
                  gtk_adjustment_get_upper(a), gtk_adjustment_get_value(a),
                  gtk_adjustment_get_page_size(a), dialog.GetTrackbarPos(id));
    return text;
}

TEST(GtkDialog, PostedTrackbarMessagesLandAfterTheHandlerInOrderAndEachSliderNotifiesOnce) {
    std::vector<uintptr_t> notified;
    int32_t panInHandler = -1, panAtFirstNotify = -1, frequencyAtFirstNotify = -1;
    int step = 0;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        auto& self = static_cast<GtkMainDialog&>(d);
        if (message == WINMSG_INITDIALOG) {
            d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetRangeMax, 20);
            d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetRangeMin, -20);
            d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetPos, 50);
            d.PostTrackbarMessage(IDC_FREQUENCY, TrackbarMessage::SetPos, 30);
            d.PostTrackbarMessage(IDC_FREQUENCY, TrackbarMessage::SetPos, 60);
            panInHandler = d.GetTrackbarPos(IDC_PAN);
            d.SetTimer(kTick, 0);
        } else if (message == WINMSG_NOTIFY) {
            if (notified.empty() && step == 0) {
                panAtFirstNotify = d.GetTrackbarPos(IDC_PAN);
                frequencyAtFirstNotify = d.GetTrackbarPos(IDC_FREQUENCY);
            }
            notified.push_back(wParam);
        } else if (message == WINMSG_TIMER && step == 0) {
            // The posts' notifications came before this tick: one per changed slider.
            std::sort(notified.begin(), notified.end());
            EXPECT_EQ(notified, (std::vector<uintptr_t>{IDC_FREQUENCY, IDC_PAN}));
            // Page size 0, so that the thumb reaches the maximum.
            EXPECT_EQ(Slider(self, IDC_PAN), "-20..20 at 20, page 0, thumb 20");
            EXPECT_EQ(Slider(self, IDC_FREQUENCY), "0..100 at 60, page 0, thumb 60");
            EXPECT_EQ(Slider(self, IDC_VOLUME), "0..100 at 0, page 0, thumb 0");
            notified.clear();
            // A drag: the thumb is where the user put it at once, the notification follows.
            gtk_range_set_value(GTK_RANGE(self.Item(IDC_PAN)), -7);
            EXPECT_EQ(d.GetTrackbarPos(IDC_PAN), -7);
            EXPECT_TRUE(notified.empty());
            step = 1;
        } else if (message == WINMSG_TIMER && step == 1) {
            EXPECT_EQ(notified, std::vector<uintptr_t>{IDC_PAN});
            EXPECT_EQ(Slider(self, IDC_PAN), "-20..20 at -7, page 0, thumb -7");
            d.EndDialog(0);
        }
        return 0;
    });
    EXPECT_EQ(RunGuarded(dialog), 0);
    EXPECT_EQ(panInHandler, 0);  // not yet delivered while the handler runs
    EXPECT_EQ(panAtFirstNotify, 20);
    EXPECT_EQ(frequencyAtFirstNotify, 60);  // in the order posted
}

TEST(GtkDialog, ATickWaitsForPostedThumbsAndTheirNotificationsAndAnUnchangedThumbSendsNone) {
    // Two timers fall due in one pass of the main loop (the first one's handler held the
    // loop up); the first posts a new pan thumb and the frequency thumb it already has.
    // The second must see the pan's notification first, and the frequency must send none.
    int ticks = 0, rounds = 0, unchangedNotified = 0, seenBeforeNotify = 0;
    int32_t posted = 0, notified = 0;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t id, intptr_t) -> intptr_t {
        if (message == WINMSG_INITDIALOG) {
            d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetRangeMin, -100);
            d.SetTimer(kTick, 20);
            d.SetTimer(kOther, 20);
        } else if (message == WINMSG_NOTIFY) {
            if (id == IDC_FREQUENCY)
                ++unchangedNotified;
            if (id == IDC_PAN)
                notified = d.GetTrackbarPos(IDC_PAN);
        } else if (message == WINMSG_TIMER && id == kTick) {
            if (++ticks % 2 == 1) {
                g_usleep(60000);  // both timers are due when the loop goes on
            } else {
                posted = -(ticks / 2);
                d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetPos, posted);
                d.PostTrackbarMessage(IDC_FREQUENCY, TrackbarMessage::SetPos, 0);
            }
        } else if (message == WINMSG_TIMER && id == kOther) {
            if (notified != posted)
                ++seenBeforeNotify;
            if (++rounds == 40)
                d.EndDialog(0);
        }
        return 0;
    });
    EXPECT_EQ(RunGuarded(dialog), 0);
    EXPECT_GE(ticks, 20);
    EXPECT_EQ(seenBeforeNotify, 0);
    EXPECT_EQ(unchangedNotified, 0);
}

TEST(GtkDialog, TimersTakeANewIntervalHaveAFloorIdleSlowlyAndStopWhenKilled) {
    int phase = 0, ticks = 0, zeroTicks = 0, lateTicks = 0, otherTicks = 0;
    double start = 0, interval20 = 0, firstGap = 0, interval200 = 0, interval0 = 0, killedAt = 0;
    double idleGap = 0, commandAt = 0, afterCommand = 0;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t id, intptr_t) -> intptr_t {
        if (message == WINMSG_INITDIALOG) {
            d.SetTimer(kTick, 20);
            start = NowMs();
        }
        if (message == WINMSG_COMMAND)
            commandAt = NowMs();
        if (message != WINMSG_TIMER)
            return 0;
        const double now = NowMs();
        if (id == kOther) {
            // By now a killed 0 ms timer would have ticked twenty times over.
            if (now - killedAt >= 20 * interval0 && ++otherTicks >= 3)
                d.EndDialog(0);
            return 0;
        }
        ++ticks;
        if (phase == 0 && ticks == 10) {
            interval20 = (now - start) / ticks;
            d.SetTimer(kTick, 200);  // replaces the 20 ms period with a new one
            start = now, ticks = 0, phase = 1;
        } else if (phase == 1) {
            if (ticks == 1)
                firstGap = now - start;
            if (ticks == 3) {
                interval200 = (now - start) / ticks;
                d.SetTimer(kTick, 0);
                start = now, ticks = 0, phase = 2;
            }
        } else if (phase == 2 && (ticks < 10 || now - start < 200)) {
            d.SetItemText(IDC_STATUS, std::to_string(ticks).c_str());  // each tick shows
        } else if (phase == 2) {
            interval0 = (now - start) / ticks;
            zeroTicks = ticks;
            start = now, ticks = 0, phase = 3;
        } else if (phase == 3 && ticks == 8) {
            // Ticks that change nothing come less and less often; any other message
            // brings the next one back at once.
            idleGap = now - start;
            start = now, phase = 4;
            g_idle_add(
                [](gpointer self) -> gboolean {
                    static_cast<GtkMainDialog*>(self)->Deliver(WINMSG_COMMAND, 1234);
                    return G_SOURCE_REMOVE;
                },
                &d);
        } else if (phase == 3) {
            start = now;
        } else if (phase == 4) {
            afterCommand = now - commandAt;
            d.KillTimer(kTick);
            d.SetTimer(kOther, 25);
            killedAt = now, phase = 5;
        } else if (phase == 5) {
            ++lateTicks;
        }
        return 0;
    });
    EXPECT_EQ(RunGuarded(dialog), 0);
    std::printf(
        "timers: 20 ms -> %.1f ms a tick; after SetTimer 200 ms the first tick at %.1f ms, "
        "then %.1f ms a tick; 0 ms -> %.2f ms a tick (%d ticks, %.0f in 200 ms); idle, the 8th "
        "tick %.0f ms after the 7th; after a command the next tick in %.1f ms\n",
        interval20, firstGap, interval200, interval0, zeroTicks, 200 / interval0, idleGap,
        afterCommand);
    EXPECT_GE(interval20, 20 * 0.75);
    EXPECT_GE(firstGap, 200 * 0.75);  // the old period did not tick again
    EXPECT_GE(interval200, 200 * 0.75);
    EXPECT_GE(interval0, 16 * 0.75);  // the 16 ms floor: about 12 in 200 ms, not a busy loop
    EXPECT_LT(interval0, interval200 / 2);
    EXPECT_GE(idleGap, 10 * interval0);  // idle: a few ticks a second, not a hundred
    EXPECT_LT(afterCommand, idleGap / 4);
    EXPECT_EQ(lateTicks, 0);
}

TEST(GtkDialog, ModalBoxesKeepTimersArrivingAndReturnOnceClosed) {
    gchar* folder = g_dir_make_tmp("velmorin-gtk-XXXXXX", nullptr);
    ASSERT_NE(folder, nullptr);
    const std::string wave = std::string(folder) + "/take.wav";
    ASSERT_TRUE(g_file_set_contents(wave.c_str(), "RIFF", 4, nullptr));
    char chosen[512] = "", tooShort[8] = "";
    constexpr char kFilter[] = "Wave Files\0*.wav\0All Files\0*.*\0";
    const uint32_t flags = OPEN_FILE_MUST_EXIST | OPEN_HIDE_READONLY;
    const OpenFileRequest request{kFilter,           1,     chosen, sizeof chosen, folder,
                                  "Open Sound File", flags, ".wav"};
    OpenFileRequest longPath = request;
    longPath.file = tooShort;
    longPath.maxFile = sizeof tooShort;

    int box = 0, ticks = 0, openedAt = 0, ticksWhileOpen[4] = {};
    double openedAtMs = 0, firstTickMs[4] = {};
    bool open = false, selected = false, returned[4] = {};
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == WINMSG_INITDIALOG)
            d.SetTimer(kTick, 50);
        if (message != WINMSG_TIMER)
            return 0;
        ++ticks;
        if (open) {
            // The box's own loop delivers the box opener's own timer, a period after the
            // tick that opened it; after a few ticks the user closes the box.
            if (ticks - openedAt == 1)
                firstTickMs[box] = NowMs() - openedAtMs;
            if (ticks - openedAt < 5)
                return 0;
            if (GtkWidget* b = FindBox("Velmorin test"))
                gtk_dialog_response(GTK_DIALOG(b), GTK_RESPONSE_OK);
            if (GtkWidget* b = FindBox(kAboutCaption))
                gtk_window_activate_default(GTK_WINDOW(b));  // Enter: its OK button
            GtkWidget* chooser = FindBox("Open Sound File");
            if (chooser == nullptr)
                return 0;
            auto* files = GTK_FILE_CHOOSER(chooser);
            if (!selected) {
                // What the decoder opens comes first and is chosen; then the request's.
                GSList* filters = gtk_file_chooser_list_filters(files);
                EXPECT_EQ(g_slist_length(filters), 3u);
                auto* decoded = GTK_FILE_FILTER(g_slist_nth_data(filters, 0));
                auto* wav = GTK_FILE_FILTER(g_slist_nth_data(filters, 1));
                auto* all = GTK_FILE_FILTER(g_slist_nth_data(filters, 2));
                g_slist_free(filters);
                EXPECT_STREQ(gtk_file_filter_get_name(decoded), "Sound and Video Files");
                EXPECT_STREQ(gtk_file_filter_get_name(wav), "Wave Files");
                EXPECT_STREQ(gtk_file_filter_get_name(all), "All Files");
                EXPECT_EQ(gtk_file_chooser_get_filter(files), decoded);
                auto shows = [](GtkFileFilter* filter, const char* name) {
                    GtkFileFilterInfo info{GTK_FILE_FILTER_DISPLAY_NAME, nullptr, nullptr, name,
                                           nullptr};
                    return gtk_file_filter_filter(filter, &info) != FALSE;
                };
                EXPECT_TRUE(shows(decoded, "Talk.MP3") && shows(decoded, "call.m4a") &&
                            shows(decoded, "meeting.webm") && shows(decoded, "take.wav"));
                EXPECT_FALSE(shows(decoded, "notes.txt") || shows(decoded, "photo.png"));
                EXPECT_TRUE(shows(wav, "X.WAV") && shows(wav, "take.wav"));
                EXPECT_FALSE(shows(wav, "README") || shows(wav, "take.wav.txt"));
                EXPECT_TRUE(shows(all, "README") && shows(all, "notes.txt"));  // dot or none
                gtk_file_chooser_select_filename(files, wave.c_str());
                selected = true;
            }
            // The folder loads in the background; once the file is selected, Open.
            gchar* name = gtk_file_chooser_get_filename(files);
            if (g_strcmp0(name, wave.c_str()) == 0)
                gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
            g_free(name);
            return 0;
        }
        open = true, openedAt = ticks, openedAtMs = NowMs();
        if (box == 0) {
            returned[0] = d.ShowMessageBox(MessageBoxOwner::MainDialog, "Text", "Velmorin test",
                                           MESSAGEBOX_OK) == COMMAND_OK;
        } else if (box == 1) {
            d.ShowAboutBox();
            returned[1] = true;
        } else if (box == 2) {
            returned[2] = d.ChooseOpenFile(request);
        } else {
            returned[3] = !d.ChooseOpenFile(longPath);
        }
        selected = false, open = false;
        ticksWhileOpen[box] = ticks - openedAt;
        if (++box == 4)
            d.EndDialog(0);
        return 0;
    });
    EXPECT_EQ(RunGuarded(dialog), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(returned[i]) << "box " << i;
        EXPECT_GE(ticksWhileOpen[i], 5) << "box " << i;
        EXPECT_GE(firstTickMs[i], 50 * 0.75) << "box " << i;  // no extra tick at once
        std::printf("box %d: %d ticks of 50 ms while open, the first %.1f ms after opening\n", i,
                    ticksWhileOpen[i], firstTickMs[i]);
    }
    EXPECT_EQ(chosen, wave);
    uint16_t needed = 0;
    std::memcpy(&needed, tooShort, 2);
    EXPECT_EQ(needed, wave.size() + 1);  // the size the path needs, with its NUL
    g_remove(wave.c_str());
    g_rmdir(folder);
    g_free(folder);
}

TEST(GtkDialog, AFileNamedAtStartIsChosenOnceInitialisationIsThroughWithoutAChooser) {
    for (const char* path : {"/tmp/take one.wav", "/tmp/a-path-too-long.wav"}) {
        std::vector<std::string> log;
        char chosen[20] = "";
        GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t id, intptr_t) -> intptr_t {
            if (message == WINMSG_INITDIALOG) {
                d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetPos, 5);
                log.push_back("init");
            } else if (message == WINMSG_NOTIFY) {
                log.push_back("notify");
            } else if (message == WINMSG_COMMAND && id == IDM_FILE_OPEN) {
                const OpenFileRequest request{"All\0*.*\0",         1,     chosen,
                                              sizeof chosen,        "",    "Open",
                                              OPEN_FILE_MUST_EXIST, ".wav"};
                // A file that does not exist: what it is, is the program's to find out.
                log.push_back(d.ChooseOpenFile(request) ? std::string("chosen ") + chosen
                                                        : "too long, " + std::to_string(chosen[0]));
                d.EndDialog(0);
            }
            return 0;
        });
        dialog.OpenAtStart(path);
        EXPECT_EQ(RunGuarded(dialog), 0);
        EXPECT_EQ(log, (std::vector<std::string>{
                           "init", "notify",
                           path[5] == 't' ? "chosen /tmp/take one.wav" : "too long, 25"}));
    }
}

TEST(GtkDialog, EndDialogDestroysAfterTheHandlerAndKeysAndTheCloseBoxSendCommands) {
    std::vector<std::string> log;
    int step = 0;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        auto* window = static_cast<GtkWidget*>(d.Window());
        if (message == WINMSG_INITDIALOG) {
            d.SetTimer(kTick, 0);
        } else if (message == WINMSG_COMMAND) {
            log.push_back("command " + std::to_string(wParam));
            if (wParam == COMMAND_CANCEL && step == 1)
                step = 2;  // the close box only asks
            if (wParam == COMMAND_CANCEL && step == 3) {
                // Esc, delivered within the tick's handler: the dialog goes once that returns.
                d.EndDialog(42);
                d.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetPos, 5);
                log.push_back("handler returns");
            }
        } else if (message == WINMSG_TIMER && step == 0) {
            gtk_window_close(GTK_WINDOW(window));
            step = 1;
        } else if (message == WINMSG_TIMER && step == 2) {
            d.SetFocusItem(IDC_LOOP);
            SendKey(window, GDK_KEY_Return);  // a check box: the dialog's OK
            EXPECT_EQ(d.IsButtonChecked(IDC_LOOP), 0u);
            d.EnableItem(IDC_PLAY, true);
            d.SetFocusItem(IDC_PLAY);
            SendKey(window, GDK_KEY_Return);  // a push button: not the dialog's OK
            step = 3;
            SendKey(window, GDK_KEY_Escape);
            log.push_back("tick handler returns");
        } else if (message == WINMSG_NOTIFY || message == WINMSG_DESTROY) {
            log.push_back(message == WINMSG_NOTIFY ? "notify" : "destroy");
        }
        return 0;
    });
    EXPECT_EQ(RunGuarded(dialog), 42);
    EXPECT_EQ(log,
              (std::vector<std::string>{"command 2", "command 1", "command 2", "handler returns",
                                        "tick handler returns", "destroy"}));

    // Ended while it initialises: never shown, destroyed once WM_INITDIALOG has returned.
    std::vector<std::string> early;
    int maps = 0;
    GtkMainDialog first([&](Dialog& d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == WINMSG_INITDIALOG) {
            d.EndDialog(5);
            d.SetTimer(kTick, 0);
            early.push_back("init returns");
        } else if (message != 0) {
            early.push_back(message == WINMSG_DESTROY ? "destroy" : std::to_string(message));
        }
        return 0;
    });
    g_signal_connect(first.Toplevel(), "map",
                     G_CALLBACK(+[](GtkWidget*, gpointer count) { ++*static_cast<int*>(count); }),
                     &maps);
    EXPECT_EQ(RunGuarded(first), 5);
    EXPECT_EQ(maps, 0);
    EXPECT_EQ(early, (std::vector<std::string>{"init returns", "destroy"}));
}

// A sound system that keeps the pitch when it may, and says what it was asked.
class PitchSystem final : public SoundSystem {
  public:
    int32_t InitializeCom() override { return S_OK; }
    void UninitializeCom() override {}
    int32_t CreateDevice(std::unique_ptr<SoundDevice>*) override { return E_FAIL; }
    void Sleep(uint32_t) override {}
    int32_t KeepPitch(bool keep) override {
        asked.push_back(keep);
        return able ? S_OK : E_NOTIMPL;
    }
    bool able = true;
    std::vector<bool> asked;
};

TEST(GtkDialog, KeepPitchIsACheckUnderOptionsBeforeHelpThatSetsTheSoundSystemAndSendsNothing) {
    PitchSystem sound;
    KeepPitchOption keepPitch(&sound);
    int commands = 0;
    GtkMainDialog dialog(
        [&](Dialog&, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
            commands += message == WINMSG_COMMAND;
            return 0;
        },
        &keepPitch);
    // The window's box: the menu bar, then the controls' layout.
    GList* tops = gtk_container_get_children(
        GTK_CONTAINER(gtk_widget_get_parent(gtk_widget_get_parent(dialog.Item(IDC_PLAY)))));
    GtkWidget* bar = GTK_WIDGET(tops->data);
    g_list_free(tops);
    std::vector<std::string> labels;
    GList* menus = gtk_container_get_children(GTK_CONTAINER(bar));
    for (GList* m = menus; m != nullptr; m = m->next)
        labels.push_back(gtk_menu_item_get_label(GTK_MENU_ITEM(m->data)));
    ASSERT_EQ(labels, (std::vector<std::string>{"_File", "_Options", "_Help"}));
    GList* items = gtk_container_get_children(
        GTK_CONTAINER(gtk_menu_item_get_submenu(GTK_MENU_ITEM(g_list_nth_data(menus, 1)))));
    g_list_free(menus);
    ASSERT_EQ(g_list_length(items), 1u);
    auto* keep = GTK_CHECK_MENU_ITEM(items->data);
    g_list_free(items);
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(keep)), "_Keep Pitch");
    EXPECT_FALSE(gtk_check_menu_item_get_active(keep));

    gtk_menu_item_activate(GTK_MENU_ITEM(keep));
    EXPECT_TRUE(keepPitch.On());
    gtk_menu_item_activate(GTK_MENU_ITEM(keep));
    EXPECT_FALSE(keepPitch.On());
    // A layer that cannot: the check goes back off.
    sound.able = false;
    gtk_menu_item_activate(GTK_MENU_ITEM(keep));
    EXPECT_FALSE(keepPitch.On());
    EXPECT_FALSE(gtk_check_menu_item_get_active(keep));
    EXPECT_EQ(sound.asked, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(commands, 0);
}

TEST(GtkDialog, ControlsStandAtTheirTemplateRectanglesWithTheirStatesAndMnemonics) {
    std::vector<uintptr_t> commands;
    unsigned loopAtCommand = 2;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        if (message == WINMSG_COMMAND) {
            commands.push_back(wParam);
            if (wParam == IDC_LOOP)
                loopAtCommand = d.IsButtonChecked(IDC_LOOP);
        }
        return 0;
    });
    ASSERT_EQ(kMainControlCount, 50u);
    GtkWidget* layout = gtk_widget_get_parent(dialog.Item(IDC_PLAY));
    GList* children = gtk_container_get_children(GTK_CONTAINER(layout));
    ASSERT_EQ(g_list_length(children), 50u);
    gtk_widget_show_all(dialog.Toplevel());
    ASSERT_TRUE(IterateUntil([&] { return gtk_widget_get_mapped(dialog.Item(IDC_STATUS)); }));
    IterateUntil([] { return !gtk_events_pending(); });

    const DialogBaseUnits base = dialog.BaseUnits();
    std::printf("base units %d x %d; controls GTK made larger than their template:\n", base.x,
                base.y);
    int hidden = 0;
    GList* child = children;
    for (size_t i = 0; i < kMainControlCount; ++i, child = child->next) {
        const TemplateControl& t = kMainControls[i];
        auto* outer = GTK_WIDGET(child->data);
        if (t.id != -1) {
            GtkWidget* item = dialog.Item(t.id);
            EXPECT_TRUE(item == outer || gtk_widget_get_parent(item) == outer) << t.id;
        }
        if (t.kind == ControlKind::Push) {
            EXPECT_FALSE(dialog.IsItemEnabled(t.id)) << t.id;  // nothing to play yet
        }
        if (t.kind == ControlKind::HiddenLabel || t.kind == ControlKind::HiddenRadio) {
            EXPECT_FALSE(gtk_widget_get_visible(outer)) << t.text;
            ++hidden;
            continue;
        }
        int x = -1, y = -1;
        ASSERT_TRUE(gtk_widget_translate_coordinates(outer, layout, 0, 0, &x, &y));
        const int w = DialogUnitsToPixelsX(t.rect.width, base);
        const int h = DialogUnitsToPixelsY(t.rect.height, base);
        const int aw = gtk_widget_get_allocated_width(outer);
        const int ah = gtk_widget_get_allocated_height(outer);
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(DialogUnitsToPixelsX(t.rect.x, base),
                                                       DialogUnitsToPixelsY(t.rect.y, base)))
            << t.id << " " << t.text;
        EXPECT_TRUE(aw >= w && ah >= h) << t.id << " " << t.text << ": " << aw << "x" << ah;
        if (aw > w || ah > h)
            std::printf("  %d \"%s\": template %dx%d px at %d,%d, actual %dx%d px\n", t.id, t.text,
                        w, h, x, y, aw, ah);
    }
    g_list_free(children);
    EXPECT_EQ(hidden, 8);

    // The hidden radio buttons keep their groups' checks.
    dialog.CheckRadioButton(IDC_FOCUS_GLOBAL, IDC_FOCUS_GLOBAL, IDC_FOCUS_GLOBAL);
    dialog.CheckRadioButton(IDC_MEM_DEFAULT, IDC_MEM_SOFTWARE, IDC_MEM_HARDWARE);
    dialog.CheckRadioButton(IDC_MEM_DEFAULT, IDC_MEM_SOFTWARE, IDC_MEM_DEFAULT);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_DEFAULT), 1u);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_HARDWARE), 0u);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_MEM_SOFTWARE), 0u);
    EXPECT_EQ(dialog.IsButtonChecked(IDC_FOCUS_GLOBAL), 1u);  // another group
    EXPECT_TRUE(dialog.IsItemEnabled(IDC_LOOP));

    // Mnemonics act at once, not a quarter second later as GTK's own activation does.
    GtkWidget* play = dialog.Item(IDC_PLAY);
    EXPECT_EQ(gtk_label_get_mnemonic_keyval(GTK_LABEL(gtk_bin_get_child(GTK_BIN(play)))),
              GDK_KEY_p);
    dialog.EnableItem(IDC_PLAY, true);
    gtk_widget_mnemonic_activate(play, FALSE);
    EXPECT_EQ(commands, std::vector<uintptr_t>{IDC_PLAY});
    gtk_widget_mnemonic_activate(dialog.Item(IDC_LOOP), FALSE);
    EXPECT_EQ(commands, (std::vector<uintptr_t>{IDC_PLAY, IDC_LOOP}));
    EXPECT_EQ(loopAtCommand, 1u);  // toggled before the command
    EXPECT_EQ(dialog.IsButtonChecked(IDC_LOOP), 1u);
}

// What a screen reader's review of the window reads from a drawn text box, and when.
struct TextEvent {
    bool inserted;
    gint offset, length;
    std::string text;  // the range named, read when announced
    double at;
};

void OnTextChanged(AtkObject* accessible, gint offset, gint length, gpointer events) {
    GSignalInvocationHint* hint = g_signal_get_invocation_hint(accessible);
    gchar* text = atk_text_get_text(ATK_TEXT(accessible), offset, offset + length);
    static_cast<std::vector<TextEvent>*>(events)->push_back(
        {g_quark_to_string(hint->detail) == std::string("insert"), offset, length, text, NowMs()});
    g_free(text);
}

std::string AccessibleText(GtkWidget* widget) {
    gchar* text = atk_text_get_text(ATK_TEXT(gtk_widget_get_accessible(widget)), 0, -1);
    std::string result = text;
    g_free(text);
    return result;
}

TEST(GtkDialog, DrawnTextsReadAsLabelsAndChangeAtMostTenTimesASecond) {
    std::vector<TextEvent> events;
    int ticks = 0;
    double start = 0;
    std::string shownAtOnce;
    GtkMainDialog dialog([&](Dialog& d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == WINMSG_INITDIALOG) {
            d.SetTimer(kTick, 0);
            start = NowMs();
        }
        if (message != WINMSG_TIMER || NowMs() - start < 150)  // a quiet spell first
            return 0;
        if (++ticks <= 40) {
            d.SetItemText(IDC_STATUS, ("Playing " + std::to_string(ticks)).c_str());
            if (ticks == 1)
                shownAtOnce = AccessibleText(dialog.Item(IDC_STATUS));
            if (ticks == 40)
                d.SetItemText(IDC_POSITION_TEXT, "12345");
        } else if (AccessibleText(dialog.Item(IDC_STATUS)) == "Playing 40") {
            d.EndDialog(0);
        }
        return 0;
    });
    AtkObject* status = gtk_widget_get_accessible(dialog.Item(IDC_STATUS));
    g_signal_connect(status, "text-changed", G_CALLBACK(OnTextChanged), &events);
    std::string shown = AccessibleText(dialog.Item(IDC_STATUS));  // the template's
    EXPECT_EQ(shown, atk_object_get_name(status));
    EXPECT_EQ(RunGuarded(dialog), 0);

    EXPECT_EQ(atk_object_get_role(status), ATK_ROLE_LABEL);
    EXPECT_STREQ(atk_object_get_name(status), "Playing 40");
    EXPECT_EQ(atk_text_get_character_count(ATK_TEXT(status)), 10);
    EXPECT_EQ(AccessibleText(dialog.Item(IDC_POSITION_TEXT)), "12345");

    // The first change after a quiet spell shows at once; later ones at most every 100 ms,
    // each announced as the old text going and the new one coming.
    EXPECT_EQ(shownAtOnce, "Playing 1");
    ASSERT_GE(events.size(), 4u);
    double lastShown = 0;
    int shows = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        const TextEvent& e = events[i];
        if (!e.inserted) {
            EXPECT_EQ(e.text, shown) << i;
            continue;
        }
        EXPECT_EQ(e.text.compare(0, 8, "Playing "), 0) << e.text;
        if (shows++ > 0) {
            EXPECT_GE(e.at - lastShown, 99.0) << e.text;
        }
        shown = e.text, lastShown = e.at;
    }
    EXPECT_EQ(shown, "Playing 40");
}

TEST(GtkDialog, SlidersWithMarksLeaveTheValueBoxesOutOfWhatTheyRepaint) {
    // GTK culls by a widget's clip: one that reaches a value box redraws the slider, marks
    // and all, each time the box's text changes.
    GtkMainDialog dialog([](Dialog&, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
    const int marked[] = {IDC_PLAY_DURATION, IDC_PAUSE_DURATION, IDC_PAUSE_BACKUP};
    for (int id : marked)
        dialog.PostTrackbarMessage(id, TrackbarMessage::SetRangeMax, 40);
    gtk_widget_show_all(dialog.Toplevel());
    ASSERT_TRUE(IterateUntil([&] { return gtk_widget_get_mapped(dialog.Item(IDC_STATUS)); }));
    IterateUntil([] { return !gtk_events_pending(); });
    for (int id : marked) {
        GtkAllocation clip, own, joined;
        gtk_widget_get_clip(dialog.Item(id), &clip);
        gtk_widget_get_allocation(dialog.Item(id), &own);
        gdk_rectangle_union(&clip, &own, &joined);
        EXPECT_TRUE(gdk_rectangle_equal(&clip, &joined)) << id;  // still repaints all of itself
        for (size_t i = 0; i < kMainControlCount; ++i) {
            if (kMainControls[i].kind != ControlKind::Value)
                continue;
            GtkAllocation box;
            gtk_widget_get_allocation(gtk_widget_get_parent(dialog.Item(kMainControls[i].id)),
                                      &box);
            EXPECT_FALSE(gdk_rectangle_intersect(&clip, &box, nullptr))
                << id << " reaches " << kMainControls[i].id << ": clip " << clip.x << "," << clip.y
                << " " << clip.width << "x" << clip.height;
        }
    }
}

// A hidraw device in a tree of fake devices: its sysfs entry, and a pipe for its node.
void FakeHidraw(const std::string& root, const std::string& name, const char* hidId) {
    const std::string device = root + "/sys/class/hidraw/" + name + "/device";
    g_mkdir_with_parents(device.c_str(), 0700);
    const std::string uevent = std::string("DRIVER=hid-generic\nHID_ID=") + hidId + "\n";
    g_file_set_contents((device + "/uevent").c_str(), uevent.c_str(), -1, nullptr);
    g_file_set_contents((device + "/report_descriptor").c_str(), "\x05\x0c\x09\x03", 4, nullptr);
    mkfifo((root + "/dev/" + name).c_str(), 0600);
}

TEST(GtkDialog, PedalsAreFoundPluggedInAndPulledOutAndTheirReportsArriveAsMessages) {
    gchar* root = g_dir_make_tmp("velmorin-pedals-XXXXXX", nullptr);
    ASSERT_NE(root, nullptr);
    g_mkdir_with_parents((std::string(root) + "/dev").c_str(), 0700);
    FakeHidraw(root, "hidraw0", "0003:000005F3:000000FF");  // a VEC pedal
    FakeHidraw(root, "hidraw1", "0003:0000046D:0000C52B");  // a mouse's receiver
    std::vector<std::pair<uint32_t, uintptr_t>> messages;
    std::vector<double> skipsAt;
    GtkMainDialog dialog([&](Dialog&, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        if (message == WINMSG_COMMAND || message == WINMSG_HOTKEY)
            messages.push_back({message, wParam});
        if (message == WINMSG_HOTKEY)
            skipsAt.push_back(NowMs());
        return 0;
    });
    PlayerState.hotkeyBack = 0xC003;
    dialog.EnableItem(IDC_PLAY, true);
    HidrawPedals pedals(dialog, dialog, root);
    EXPECT_EQ(pedals.Opened(), std::vector<std::string>{"hidraw0"});
    const std::string first = std::string(root) + "/dev/hidraw0";
    int writer = open(first.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "\x02\x00", 2), 2);  // the middle pedal: Play, as enabled
    ASSERT_TRUE(IterateUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages[0], (std::pair<uint32_t, uintptr_t>{WINMSG_COMMAND, IDC_PLAY}));
    close(writer);  // pulled out: its node and its entry go
    g_remove(first.c_str());
    const std::string entry = std::string(root) + "/sys/class/hidraw/hidraw0/device/";
    g_remove((entry + "uevent").c_str());
    EXPECT_TRUE(IterateUntil([&] { return pedals.Opened().empty(); }));

    FakeHidraw(root, "hidraw2", "0003:00000911:00001844");  // a Philips pedal plugged in
    EXPECT_TRUE(
        IterateUntil([&] { return pedals.Opened() == std::vector<std::string>{"hidraw2"}; }, 1));
    writer = open((std::string(root) + "/dev/hidraw2").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    messages.clear();
    const double pressed = NowMs();
    ASSERT_EQ(write(writer, "\x01", 1), 1);  // left, held 600 ms: at once, 250 and 500 ms
    IterateUntil([&] { return NowMs() - pressed >= 600; });
    ASSERT_EQ(write(writer, "\x00", 1), 1);
    IterateUntil([&] { return NowMs() - pressed >= 900; });
    EXPECT_EQ(messages.size(), 3u);
    for (size_t i = 1; i < skipsAt.size(); ++i)
        EXPECT_NEAR(skipsAt[i] - skipsAt[i - 1], 250, 60);
    close(writer);
    PlayerState = {};
    std::string remove = std::string("rm -rf ") + root;
    EXPECT_EQ(std::system(remove.c_str()), 0);
    g_free(root);
}

void PressAltWith(Display* x, KeySym key) {
    const KeyCode alt = XKeysymToKeycode(x, XK_Alt_L), code = XKeysymToKeycode(x, key);
    XTestFakeKeyEvent(x, alt, True, CurrentTime);
    XTestFakeKeyEvent(x, code, True, CurrentTime);
    XTestFakeKeyEvent(x, code, False, CurrentTime);
    XTestFakeKeyEvent(x, alt, False, CurrentTime);
    XFlush(x);
}

TEST(GtkDialog, HotKeysArriveFromTheKeyboardAndAreRefusedWhileHeld) {
    std::vector<uintptr_t> hotkeys;
    GtkMainDialog dialog([&](Dialog&, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        if (message == WINMSG_HOTKEY)
            hotkeys.push_back(wParam);
        return 0;
    });
    X11HotKeys grabs(dialog);
    dialog.UseHotKeys(&grabs);
    Display* x = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    ASSERT_EQ(dialog.VirtualKeyForChar('j'), 'J');
    ASSERT_TRUE(dialog.RegisterHotKey(0xC001, HOTKEY_MOD_ALT, 'J'));
    PressAltWith(x, XK_j);
    ASSERT_TRUE(IterateUntil([&] { return !hotkeys.empty(); }));
    EXPECT_EQ(hotkeys, std::vector<uintptr_t>{0xC001});
    EXPECT_FALSE(dialog.RegisterHotKey(0xC002, HOTKEY_MOD_ALT, 'J'));  // held by this dialog
    GtkMainDialog second([](Dialog&, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
    X11HotKeys secondGrabs(second);
    second.UseHotKeys(&secondGrabs);
    EXPECT_FALSE(second.RegisterHotKey(0xC002, HOTKEY_MOD_ALT, 'J'));  // and so by this process

    // Another X client holds Alt+H, also with Caps Lock and Num Lock.
    Display* other = XOpenDisplay(DisplayString(x));
    ASSERT_NE(other, nullptr);
    const KeyCode h = XKeysymToKeycode(other, XK_h);
    const unsigned locks[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
    for (unsigned lock : locks)
        XGrabKey(other, h, Mod1Mask | lock, DefaultRootWindow(other), True, GrabModeAsync,
                 GrabModeAsync);
    XSync(other, False);
    EXPECT_FALSE(dialog.RegisterHotKey(0xC003, HOTKEY_MOD_ALT, 'H'));
    EXPECT_TRUE(dialog.RegisterHotKey(0xC004, HOTKEY_MOD_ALT, 'K'));  // other keys still do
    for (unsigned lock : locks)
        XUngrabKey(other, h, Mod1Mask | lock, DefaultRootWindow(other));
    XSync(other, False);
    XCloseDisplay(other);
    EXPECT_TRUE(dialog.RegisterHotKey(0xC003, HOTKEY_MOD_ALT, 'H'));  // released: free

    // Unregistered, Alt+J registers again and sends its new id, once.
    dialog.UnregisterHotKey(0xC001);
    ASSERT_TRUE(dialog.RegisterHotKey(0xC005, HOTKEY_MOD_ALT, 'J'));
    hotkeys.clear();
    PressAltWith(x, XK_j);
    PressAltWith(x, XK_h);
    ASSERT_TRUE(IterateUntil([&] { return hotkeys.size() >= 2; }));
    EXPECT_EQ(hotkeys, (std::vector<uintptr_t>{0xC005, 0xC003}));
}

}  // namespace

int main(int argc, char** argv) {
    // As the program runs: no settings store and no recent files, X11 for the key grabs.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    gdk_set_allowed_backends("x11");
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "gtk_dialog_tests: no X display\n");
        return 1;
    }
    g_object_set(gtk_settings_get_default(), "gtk-recent-files-enabled", FALSE, nullptr);
    return RUN_ALL_TESTS();
}
