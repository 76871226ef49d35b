// Foot pedals read through hidraw, the kernel's raw HID devices (control/pedals.h says which
// pedals and what they do), whatever program has the keyboard, on X11 and Wayland alike.
//
// Every pedal listed under <root>/sys/class/hidraw (its USB ids from HID_ID in the device's
// uevent) is opened from <root>/dev; one plugged in later is found through inotify on
// <root>/dev, and one pulled out goes quietly. Nothing polls: reports wake the main loop,
// and a timer runs only while a side pedal is held. Each press and release goes to the
// sink as the message of the button or hotkey of the same meaning. A pedal that cannot be
// opened (the user may not read it) is left alone.
#ifndef VELMORIN_APP_WAYS_IN_HIDRAW_PEDALS_H
#define VELMORIN_APP_WAYS_IN_HIDRAW_PEDALS_H

#include <glib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog.h"
#include "app/gtk/gtk_owners.h"
#include "app/ways_in/way_in.h"
#include "control/pedals.h"

class HidrawPedals final : public WayIn {
  public:
    // `root` is "/" but where tests put a tree of their own.
    HidrawPedals(MessageSink& sink, Dialog& dialog, std::string root);
    ~HidrawPedals() override = default;
    HidrawPedals(const HidrawPedals&) = delete;
    HidrawPedals& operator=(const HidrawPedals&) = delete;

    // The pedals open now, by device name ("hidraw3").
    std::vector<std::string> Opened() const;

  private:
    struct Pedal {
        HidrawPedals* owner;
        std::string name;
        FdOwner fd;
        bool numbered;
        SourceOwner watch;  // gone before the descriptor it watches
        PedalControl control;
    };

    void Scan();
    void Close(const std::string& name);
    void Act(const std::vector<RemoteAction>& actions);
    void Schedule();

    static gboolean OnDeviceNodes(gint fd, GIOCondition, gpointer self);
    static gboolean OnReport(gint fd, GIOCondition condition, gpointer pedal);
    static gboolean OnRepeat(gpointer self);

    MessageSink& sink_;
    Dialog& dialog_;
    const std::string root_;
    FdOwner inotify_;
    SourceOwner inotifyWatch_;
    std::map<std::string, std::unique_ptr<Pedal>> pedals_;
    SourceOwner repeat_;
};

#endif
