#include "device/HidPlatform.h"

#include <libudev.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <system_error>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

// A udev monitor of the hidraw subsystem on a thread of its own; an eventfd
// ends it.
class UdevWatch : public HidWatch {
public:
    UdevWatch(udev* u, udev_monitor* monitor, int stopFd, HidChangeHandler handler)
        : m_udev(u), m_monitor(monitor), m_stopFd(stopFd), m_handler(std::move(handler)),
          m_thread([this] { Run(); }) {}

    ~UdevWatch() override {
        const uint64_t one = 1;
        if (write(m_stopFd, &one, sizeof(one)) != sizeof(one)) {
            // An eventfd counter does not overflow from one write.
        }
        m_thread.join();
        close(m_stopFd);
        udev_monitor_unref(m_monitor);
        udev_unref(m_udev);
    }

private:
    void Run() {
        pollfd fds[2] = {{udev_monitor_get_fd(m_monitor), POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            // Asked to stop, or the monitor is gone: the once-a-second search
            // is left to find arrivals.
            if (fds[1].revents || (fds[0].revents & (POLLNVAL | POLLHUP)))
                return;
            if (!fds[0].revents)
                continue;
            // Receiving also clears an error on the socket. Nothing to receive
            // after an error: events were lost, so whatever arrived is looked for.
            udev_device* device = udev_monitor_receive_device(m_monitor);
            if (!device) {
                if (!(fds[0].revents & POLLIN))
                    m_handler(HidChange::Arrived);
                continue;
            }
            const char* action = udev_device_get_action(device);
            if (action && std::strcmp(action, "add") == 0)
                m_handler(HidChange::Arrived);
            else if (action && std::strcmp(action, "remove") == 0)
                m_handler(HidChange::Left);
            udev_device_unref(device);
        }
    }

    udev* m_udev;
    udev_monitor* m_monitor;
    int m_stopFd;
    HidChangeHandler m_handler;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<HidWatch> WatchHidInterfaces(HidChangeHandler handler) {
    udev* u = udev_new();
    if (!u)
        return nullptr;
    // Where udevd runs its events come after its rules gave the node its
    // permissions; without it (a container, a minimal system) the kernel's
    // own events are all there is.
    udev_queue* queue = udev_queue_new(u);
    const bool udevd = queue && udev_queue_get_udev_is_active(queue);
    udev_queue_unref(queue);
    udev_monitor* monitor = udev_monitor_new_from_netlink(u, udevd ? "udev" : "kernel");
    const int stopFd = eventfd(0, EFD_CLOEXEC);
    if (monitor && stopFd >= 0 &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(monitor) >= 0) {
        try {
            return std::make_unique<UdevWatch>(u, monitor, stopFd, std::move(handler));
        } catch (const std::system_error&) {
        }
    }
    if (stopFd >= 0)
        close(stopFd);
    udev_monitor_unref(monitor);
    udev_unref(u);
    return nullptr;
}
