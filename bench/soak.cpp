// Soak of the main window against the built-in keyboard, offscreen:
//   soak [ticks]   (default 20000; at least 2000)
// Drives the window tick by tick (no timer, no sleeping) in test mode with
// the message log on, with keyboard events, unplugs and replugs, and saves
// and recalls mixed in. Samples the resident memory and the open file
// descriptors, and fails (exit 1) when the second half holds more than the
// first: more descriptors at all, or more than 2 MiB of memory. The program
// folder is the soak's own, so run from a read-only copy it shows where the
// message log goes (printed at the end).

#include "test_app_harness.h"

#include "app/StartupOptions.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "pages/CPropSheet.h"
#include "res/ControlIds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long OpenDescriptors() {
    std::error_code error;
    long count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return count;
}

// Lets the reader thread deliver the reply to what the last tick sent
// (briefly: a reply may be dropped or the keyboard gone).
void AwaitReply(CKeyboardConfigDlg& dlg) {
    CHidDevice& device = dlg.Core().Device();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard lock(StatusLock);
            if (!device.Reader || device.Reader->ReplyReceived.load() != 0)
                return;
        }
        std::this_thread::yield();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int ticks = std::max(2000, argc > 1 ? std::atoi(argv[1]) : 20000);

    QTemporaryDir files;
    ScriptedPrompts prompts;
    prompts.savePath = prompts.openPath = files.filePath(QStringLiteral("soak.set"));
    AppHarness h({.testMode = true, .programDir = CurrentProgramDirectory()});
    CKeyboardConfigDlg& dlg = h.Dlg();
    dlg.show(); // painted offscreen, as on a screen
    if (!dlg.EnableMessageLog(true)) {
        std::fprintf(stderr, "the message log cannot be opened\n");
        return 1;
    }
    h.Connect();

    struct Sample {
        long rss, fds;
    };
    std::vector<Sample> samples;
    int saves = 0, recalls = 0, unplugs = 0, events = 0;
    QElapsedTimer timer;
    timer.start();
    for (int tick = 1; tick <= ticks; ++tick) {
        h.Bus().Advance(std::chrono::milliseconds(300));
        if (tick % 37 == 0) {
            h.Bus().SendEvent();
            ++events;
        }
        // The reader looks for a keyboard once a second of real time: the
        // only waits of the soak, so few of them.
        if (tick % 2500 == 1200) {
            h.Bus().Unplug();
            ++unplugs;
        } else if (tick % 2500 == 1240) {
            h.Bus().Plug();
            h.WaitReading();
        }
        if (tick % 250 == 0 && h.Bus().IsPlugged() && dlg.Core().KeyboardPresent()) {
            if (!dlg.Core().ConfigurationUnlocked())
                h.Click(IDC_CONFIGURE);
            h.Click(tick % 500 == 0 ? IDC_RECALL : IDC_SAVE);
            ++(tick % 500 == 0 ? recalls : saves);
        }
        const std::size_t written = h.Bus().WrittenReports().size();
        h.Tick();
        if (h.Bus().WrittenReports().size() != written && h.Bus().IsPlugged())
            AwaitReply(dlg);
        if (tick % 100 == 0) {
            h.Bus().ClearWrittenReports();
            QApplication::processEvents();
            samples.push_back({ResidentKiB(), OpenDescriptors()});
        }
    }
    const double seconds = timer.elapsed() / 1000.0;

    const auto half = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    auto peak = [](auto from, auto to, long Sample::*field) {
        long most = 0;
        for (auto it = from; it != to; ++it)
            most = std::max(most, (*it).*field);
        return most;
    };
    // The first samples include start-up; the comparison starts after them.
    const auto settled = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 10);
    const long rss1 = peak(settled, half, &Sample::rss),
               rss2 = peak(half, samples.end(), &Sample::rss);
    const long fd1 = peak(settled, half, &Sample::fds),
               fd2 = peak(half, samples.end(), &Sample::fds);
    std::printf(
        "soak: %d ticks in %.1f s; %d events, %d unplugs, %d saves, %d recalls; %zu prompts\n",
        ticks, seconds, events, unplugs, saves, recalls, prompts.messages.size());
    std::printf("peak RSS first half %ld KiB, second half %ld KiB (%+ld KiB)\n", rss1, rss2,
                rss2 - rss1);
    std::printf("peak open descriptors first half %ld, second half %ld\n", fd1, fd2);
    std::printf("message log: %s\n",
                qPrintable(dlg.m_pPropSheet->m_manufacturing.Control(IDC_MESSAGE_LOG)->toolTip()));
    const bool flat = rss2 - rss1 <= 2048 && fd2 <= fd1;
    std::printf("%s\n", flat ? "PASS: flat" : "FAIL: growing");
    return flat ? 0 : 1;
}
