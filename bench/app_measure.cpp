// Measures the main window and takes its screenshots (offscreen):
//   app_measure <output directory>
// Prints the start-up time, the cost of a tick that takes over a reply and
// redraws the display, and writes main-normal.png and main-test.png.

#include "test_app_harness.h"

#include "device/CHidDevice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Screenshot(bool testMode, const QString& path) {
    AppHarness h({.testMode = testMode});
    h.Dlg().show();
    if (!QTest::qWaitForWindowExposed(&h.Dlg()))
        std::fprintf(stderr, "window not exposed\n");
    if (!h.Connect() || !h.StatusRound())
        std::fprintf(stderr, "keyboard did not answer\n");
    QApplication::processEvents();
    const bool saved = h.Dlg().grab().save(path);
    std::printf("screenshot %s: %s\n", saved ? "written" : "FAILED", qPrintable(path));
}

void TickCost() {
    AppHarness h;
    h.Dlg().show();
    if (!QTest::qWaitForWindowExposed(&h.Dlg()))
        std::fprintf(stderr, "window not exposed\n");
    if (!h.Connect()) {
        std::fprintf(stderr, "keyboard did not connect\n");
        return;
    }
    std::vector<double> micros;
    QElapsedTimer timer;
    for (int i = 0; i < 500; ++i) {
        h.Bus().Advance(std::chrono::milliseconds(600)); // live values move
        h.Tick();                                        // request
        h.WaitReply();
        timer.start();
        h.Tick();                      // take over the reply and redraw everything
        QApplication::processEvents(); // the repaints the tick caused
        micros.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("tick with reply, RefreshDisplay and the repaint it causes: median %.1f us, worst "
                "%.1f us (n=%zu)\n",
                micros[micros.size() / 2], micros.back(), micros.size());
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    {
        AppHarness h;
        h.Dlg().show();
        if (!QTest::qWaitForWindowExposed(&h.Dlg()))
            std::fprintf(stderr, "window not exposed\n");
        std::printf("start to window shown: %lld ms\n",
                    static_cast<long long>(sinceStart.elapsed()));
    }
    Screenshot(false, outDir + QStringLiteral("/main-normal.png"));
    Screenshot(true, outDir + QStringLiteral("/main-test.png"));
    TickCost();
    return 0;
}
