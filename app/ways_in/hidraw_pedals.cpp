#include "app/ways_in/hidraw_pedals.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;

uint64_t NowMs() {
    return static_cast<uint64_t>(g_get_monotonic_time() / 1000);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

HidrawPedals::HidrawPedals(MessageSink& sink, Dialog& dialog, std::string root)
    : sink_(sink), dialog_(dialog), root_(std::move(root)) {
    inotify_ = FdOwner(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (inotify_) {
        const std::string nodes = (fs::path(root_) / "dev").string();
        // A node appears when a device is plugged in; udev then lets the user read it.
        if (inotify_add_watch(inotify_.Get(), nodes.c_str(),
                              IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_DELETE) >= 0) {
            inotifyWatch_ = SourceOwner(
                g_unix_fd_add(inotify_.Get(), G_IO_IN, &HidrawPedals::OnDeviceNodes, this));
        }
    }
    Scan();
}

std::vector<std::string> HidrawPedals::Opened() const {
    std::vector<std::string> names;
    for (const auto& entry : pedals_)
        names.push_back(entry.first);
    return names;
}

void HidrawPedals::Scan() {
    std::error_code error;
    const fs::path devices = fs::path(root_) / "sys/class/hidraw";
    for (const fs::directory_entry& entry : fs::directory_iterator(devices, error)) {
        const std::string name = entry.path().filename().string();
        if (pedals_.count(name) != 0)
            continue;
        uint16_t vendor = 0, product = 0;
        if (!ParseHidId(ReadText(entry.path() / "device/uevent"), &vendor, &product) ||
            !IsKnownPedal(vendor, product)) {
            continue;
        }
        const std::string node = (fs::path(root_) / "dev" / name).string();
        const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;  // not there yet, or not for this user: another event may bring it
        auto pedal = std::make_unique<Pedal>();
        pedal->owner = this;
        pedal->name = name;
        pedal->fd = FdOwner(fd);
        pedal->numbered = NumbersReports(ReadBytes(entry.path() / "device/report_descriptor"));
        pedal->watch =
            SourceOwner(g_unix_fd_add(fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                      &HidrawPedals::OnReport, pedal.get()));
        pedals_[name] = std::move(pedal);
    }
}

void HidrawPedals::Close(const std::string& name) {
    auto it = pedals_.find(name);
    if (it == pedals_.end())
        return;
    pedals_.erase(it);
    Schedule();
}

void HidrawPedals::Act(const std::vector<RemoteAction>& actions) {
    // Each after the one before has been handled, by what the player shows then.
    for (RemoteAction action : actions)
        DeliverRemoteAction(sink_, dialog_, action);
}

void HidrawPedals::Schedule() {
    uint64_t next = 0;
    for (const auto& entry : pedals_) {
        const uint64_t due = entry.second->control.NextTickMs();
        if (due != 0 && (next == 0 || due < next))
            next = due;
    }
    repeat_.Reset();
    if (next == 0)
        return;
    const uint64_t now = NowMs();
    repeat_ = SourceOwner(g_timeout_add(static_cast<guint>(next > now ? next - now : 0),
                                        &HidrawPedals::OnRepeat, this));
}

gboolean HidrawPedals::OnRepeat(gpointer self) {
    auto* pedals = static_cast<HidrawPedals*>(self);
    pedals->repeat_.Forget();
    std::vector<RemoteAction> actions;
    for (auto& entry : pedals->pedals_)
        entry.second->control.Tick(NowMs(), &actions);
    pedals->Schedule();
    pedals->Act(actions);
    return G_SOURCE_REMOVE;
}

gboolean HidrawPedals::OnReport(gint fd, GIOCondition condition, gpointer data) {
    auto* pedal = static_cast<Pedal*>(data);
    HidrawPedals* owner = pedal->owner;
    std::vector<RemoteAction> actions;
    bool gone = (condition & G_IO_ERR) != 0;
    // One report a read, as hidraw hands them out.
    for (;;) {
        uint8_t report[64];
        const ssize_t n = read(fd, report, sizeof report);
        if (n > 0) {
            pedal->control.Report(PedalsDown(report, static_cast<size_t>(n), pedal->numbered),
                                  NowMs(), &actions);
            continue;
        }
        gone = gone || n == 0 || (errno != EAGAIN && errno != EINTR);
        break;
    }
    if (gone) {
        // Pulled out: its pedals are up, and it goes quietly.
        pedal->watch.Forget();
        owner->Close(pedal->name);
    } else {
        owner->Schedule();
    }
    owner->Act(actions);
    return gone ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

gboolean HidrawPedals::OnDeviceNodes(gint fd, GIOCondition, gpointer self) {
    auto* pedals = static_cast<HidrawPedals*>(self);
    alignas(inotify_event) char events[4096];
    bool ours = false;
    for (ssize_t n; (n = read(fd, events, sizeof events)) > 0;) {
        for (char* at = events; at < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && std::string(event->name).rfind("hidraw", 0) == 0)
                ours = true;
            at += sizeof(inotify_event) + event->len;
        }
    }
    if (ours)
        pedals->Scan();
    return G_SOURCE_CONTINUE;
}
