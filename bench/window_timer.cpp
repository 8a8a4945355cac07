// Starts a program and times it from start to its window mapped on the X
// display, then reads its peak resident memory:
//   window_timer TITLE SETTLE_MS -- PROGRAM [ARGUMENTS...]
// Prints "<milliseconds> <peak KiB> <drawn milliseconds>" and ends the
// program. Drawn is when the mapped window's middle column and row first
// hold more than one colour (something besides its background), read back
// from the X server: a map alone may come before anything is painted. The
// map is seen as the X server's own event, so the time has no polling step
// in it. The peak is the process's VmHWM SETTLE_MS after the map, so that
// work deferred past the first picture is counted too; under wine it is the
// figure wine reports as the peak working set (GetProcessMemoryInfo), taken
// from outside.
// Exit status: 0, or 1 when no such window came within the time limit.

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace {

constexpr int WaitLimitMs = 30000;

using Clock = std::chrono::steady_clock;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::string Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr),
        &std::free);
    if (!reply)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       xcb_get_property_value_length(reply.get()));
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

long PeakKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Whether the middle column and the middle row of the window hold more than
// one colour between them (false when they can't be read). The toolkit sends
// its first picture in one piece, so the two lines see it as the whole window
// would; reading the whole window every 2 ms cost the X server, which the
// program under test waits for, more time the larger the window.
bool Drawn(xcb_connection_t* c, xcb_window_t w) {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr), &std::free);
    if (!geometry)
        return false;
    const int width = geometry->width, height = geometry->height;
    const xcb_get_image_cookie_t lines[] = {
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, width / 2, 0, 1, height, ~0u),
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, height / 2, width, 1, ~0u)};
    uint32_t first = 0;
    bool any = false, more = false;
    for (const xcb_get_image_cookie_t& line : lines) {
        Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(c, line, nullptr), &std::free);
        if (!image)
            continue;
        const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(image.get()));
        const int count = xcb_get_image_data_length(image.get()) / 4;
        for (int i = 0; i < count; ++i) {
            const uint32_t colour = pixels[i] & 0xFFFFFF;
            more = more || (any && colour != first);
            first = any ? first : colour;
            any = true;
        }
    }
    return more;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(stderr, "usage: window_timer TITLE SETTLE_MS -- PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const std::string title = argv[1];
    const int settleMs = std::atoi(argv[2]);

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "window_timer: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_flush(c);

    const Clock::time_point begin = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execvp(argv[4], argv + 4);
        _exit(127);
    }

    auto titled = [&](xcb_window_t w) {
        return Property(c, w, netName) == title || Property(c, w, XCB_ATOM_WM_NAME) == title;
    };
    std::set<xcb_window_t> mapped;
    xcb_window_t shown = XCB_WINDOW_NONE;
    double shownMs = -1;
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (shownMs < 0) {
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
        if (waited > WaitLimitMs)
            break;
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                break;
            poll(&fd, 1, 50);
            continue;
        }
        const Clock::time_point seen = Clock::now();
        switch (event->response_type & ~0x80) {
        case XCB_CREATE_NOTIFY: { // a title may come after the map
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(
                c, reinterpret_cast<xcb_create_notify_event_t*>(event)->window, XCB_CW_EVENT_MASK,
                &mask);
            xcb_flush(c);
            break;
        }
        case XCB_MAP_NOTIFY: {
            const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            mapped.insert(w);
            if (titled(w)) {
                shownMs = Ms(seen - begin);
                shown = w;
            }
            break;
        }
        case XCB_UNMAP_NOTIFY:
            mapped.erase(reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window);
            break;
        case XCB_PROPERTY_NOTIFY: {
            const xcb_window_t w = reinterpret_cast<xcb_property_notify_event_t*>(event)->window;
            if (mapped.count(w) && titled(w)) {
                shownMs = Ms(seen - begin);
                shown = w;
            }
            break;
        }
        default:
            break;
        }
        std::free(event);
    }

    double drawnMs = -1;
    while (shownMs >= 0 && drawnMs < 0 && Ms(Clock::now() - begin) < WaitLimitMs) {
        if (Drawn(c, shown))
            drawnMs = Ms(Clock::now() - begin);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    long peak = -1;
    if (shownMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        peak = PeakKiB(pid);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(c);
    if (shownMs < 0) {
        std::fprintf(stderr, "window_timer: no window \"%s\" within %d ms\n", title.c_str(),
                     WaitLimitMs);
        return 1;
    }
    std::printf("%.1f %ld %.1f\n", shownMs, peak, drawnMs);
    return 0;
}
