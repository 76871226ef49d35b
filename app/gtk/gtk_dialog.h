// The dialog operations over a GTK 3 window built from the main dialog's template
// (res/dialog_template.h), with the effects of app/dialog.h:
// - controls at their template rectangles, mapped from dialog units with the dialog
//   font's metrics; template order is creation and Tab order; the radio buttons exist,
//   grouped as the template groups them, and are never shown;
// - posted thumbs, ranges and icons are applied after the current handler returns, in
//   order; every slider whose thumb or range changed (by a post or by the user) then
//   sends WM_NOTIFY once, as a redrawn trackbar does;
// - a label's new text reaches the screen at once, or, while texts change faster, at most
//   every 50 ms (the poll rewrites the position at every tick);
// - push buttons, check boxes (toggled first), menu items and mnemonics send WM_COMMAND;
//   Esc and the close box send IDCANCEL, Enter outside a push button IDOK;
// - given a Keep Pitch option, an "&Options" pop-up before Help holds its check item, which
//   sets the option and shows it, and sends nothing;
// - timers are GLib timeouts (0 ms asks for the shortest, 16 ms as on Windows, which slows
//   down to 250 ms while its ticks change nothing in the window, and is back at 16 ms with
//   the next other message); hotkeys go to the way in
//   the entry chose for them (app/ways_in/way_in.h); a tick, a hotkey or another way in's message
//   waits until the posted messages and their notifications are through; the global atoms
//   are the adapter's own;
// - message boxes, the About box and the file chooser run nested main loops, so timers
//   and hotkeys keep arriving while they are up.
#ifndef VELMORIN_APP_GTK_GTK_DIALOG_H
#define VELMORIN_APP_GTK_GTK_DIALOG_H

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/atom_table.h"
#include "app/dialog.h"
#include "app/dialog_units.h"
#include "app/keep_pitch.h"
#include "app/gtk/gtk_owners.h"
#include "app/trackbar_state.h"
#include "app/ways_in/way_in.h"
#include "res/dialog_template.h"

using DialogProcedure = std::function<intptr_t(Dialog&, uint32_t, uintptr_t, intptr_t)>;

class GtkMainDialog final : public Dialog, public MessageSink {
  public:
    explicit GtkMainDialog(DialogProcedure procedure, KeepPitchOption* keepPitch = nullptr);
    ~GtkMainDialog() override;
    GtkMainDialog(const GtkMainDialog&) = delete;
    GtkMainDialog& operator=(const GtkMainDialog&) = delete;

    // Runs the dialog modally: WM_INITDIALOG before it is shown, then every message until
    // EndDialog; then WM_DESTROY. Returns the code given to EndDialog.
    intptr_t Run();
    // A file named at start: once the dialog has initialised, File > Open... runs as if
    // the user had chosen this path in the file chooser, which is not shown.
    void OpenAtStart(std::string path) { startPath_ = std::move(path); }
    // The way in that carries the hotkeys (none: RegisterHotKey fails), and the other ways
    // in, told after each message; each must outlive Run.
    void UseHotKeys(HotKeyWayIn* hotkeys) { hotkeys_ = hotkeys; }
    void AddWayIn(WayIn* way) { ways_.push_back(way); }

    // For tests and the entry.
    GtkWidget* Toplevel() { return window_; }
    GtkWidget* Item(int id);
    DialogBaseUnits BaseUnits() const { return base_; }

    void* Window() override { return window_; }
    void EndDialog(intptr_t result) override;
    void SetTitle(const char* text) override;
    void SetItemText(int id, const char* text) override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) override;
    void SetFocusItem(int id) override;
    unsigned IsButtonChecked(int id) override;
    void CheckRadioButton(int first, int last, int check) override;
    int32_t GetTrackbarPos(int id) override;
    void PostTrackbarMessage(int id, TrackbarMessage message, int32_t value) override;
    IconHandle LoadMainIcon() override;
    void PostSetIcon(IconSize size, IconHandle icon) override;
    void SetTimer(uintptr_t id, uint32_t milliseconds) override;
    void KillTimer(uintptr_t id) override;
    uint16_t AddGlobalAtom(const char* name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    uint16_t VirtualKeyForChar(char c) override;
    bool RegisterHotKey(int id, uint32_t modifiers, uint32_t key) override;
    void UnregisterHotKey(int id) override;
    int ShowMessageBox(MessageBoxOwner owner, const char* text, const char* caption,
                       uint32_t style) override;
    void ShowAboutBox() override;
    bool ChooseOpenFile(const OpenFileRequest& request) override;
    uint32_t QueryFirstFolderParent(char* buffer, uint32_t size) override;
    const char* FirstFolderName() override { return ""; }
    char PathSeparator() override { return '/'; }

    // Delivers a message to the procedure now; a dialog that was ended meanwhile is
    // destroyed once the outermost delivery returns.
    intptr_t Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // A message from the queue (a timer's tick, a hotkey, a message from another way in):
    // whatever was posted before it, and the notifications that follow, go first.
    void Deliver(uint32_t message, uintptr_t wParam) override;

  private:
    struct Control {
        int id;
        ControlKind kind;
        GtkWidget* widget;  // the button, scale or label
        GtkWidget* outer;   // what is placed: the widget or its frame
        std::string text;
        TrackbarState track;
        gulong valueHandler = 0;
        bool shown = true;  // the label shows `text`
    };
    struct TimerTick {
        GtkMainDialog* dialog;
        uintptr_t id;
        guint interval;  // what was asked for, at least the shortest
        guint current;   // in force: longer while the ticks of a shortest timer are idle
        GSource* source;
        gint64 due;  // when the last tick came
    };
    struct Timer {
        SourceOwner source;
        TimerTick* tick;  // owned by the source
    };
    struct Posted {
        bool trackbar;
        int id;
        TrackbarMessage message;
        int32_t value;
        IconSize size;
        IconHandle icon;
    };

    void Build();
    void BuildMenu(GtkWidget* box);
    GtkWidget* BuildOptions();
    Control* Find(int id);
    void ShowTrack(Control& control);
    void MarkRedrawn(int id);
    void SchedulePump();
    bool PumpScheduled() const;
    void Pump();
    void Destroy();
    void ShowTexts();

    static gboolean OnPump(gpointer self);
    static gboolean OnTimerTick(gpointer data);
    void Tick(TimerTick* tick);
    // A shortest timer's next period, by whether its tick changed the window.
    void BackOff(TimerTick* tick, bool changed);
    void WakeTimers();
    static gboolean OnShowTexts(gpointer self);
    static void OnClicked(GtkWidget* widget, gpointer self);
    static gboolean OnMnemonic(GtkWidget* widget, gboolean cycling, gpointer self);
    static void OnValueChanged(GtkRange* range, gpointer self);
    static void OnMenuItem(GtkMenuItem* item, gpointer self);
    static void OnKeepPitch(GtkCheckMenuItem* item, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);

    DialogProcedure procedure_;
    KeepPitchOption* keepPitch_;
    // Destroyed last, after every source that could still reach it.
    WidgetOwner windowOwner_;
    GtkWidget* window_ = nullptr;
    GtkWidget* layout_ = nullptr;
    DialogBaseUnits base_{6, 13};
    std::vector<Control> controls_;
    std::vector<Posted> posted_;
    std::vector<int> redrawn_;
    SourceOwner pumpSource_;
    GSource* pumpDue_ = nullptr;  // pumpSource_'s, once attached
    static constexpr int kTextIntervalMs = 100;
    // The shortest timer Windows delivers: SetTimer takes 10 ms at the least, and the
    // system clock ticks every 15.6 ms.
    static constexpr uint32_t kShortestTimerMs = 16;
    SourceOwner textSource_;
    GSource* textDue_ = nullptr;  // textSource_'s, once attached
    gint64 textsShownAt_ = 0;
    std::map<uintptr_t, Timer> timers_;
    // Calls that changed the window, and whether a shortest timer's tick is being handled.
    uint64_t changes_ = 0;
    int shortestTick_ = 0;
    AtomTable atoms_;
    HotKeyWayIn* hotkeys_ = nullptr;
    std::vector<WayIn*> ways_;
    GObjectOwner<GdkPixbuf> icon_;  // what LoadMainIcon hands out
    GObjectOwner<GdkPixbuf> icon16_;
    GObjectOwner<GdkPixbuf> bigIcon_;
    GObjectOwner<GdkPixbuf> smallIcon_;
    MainLoopOwner loop_;
    std::string startPath_;
    int depth_ = 0;
    bool ended_ = false;
    bool destroyed_ = false;
    intptr_t endCode_ = 0;
};

// The dialog font as GTK knows it: the template's face and size (fontconfig substitutes a
// face it lacks), and the base units it gives.
std::string DialogFontCss();
DialogBaseUnits MeasureBaseUnits(GtkWidget* widget);
// A template text with '&' mnemonics as a GTK label with '_' mnemonics.
std::string MnemonicLabel(const char* text);
// The icon IDI_MAIN at a size, from the program's own copy of res/velmorin.ico; a new
// reference.
GdkPixbuf* LoadProgramIcon(int pixels);

#endif
