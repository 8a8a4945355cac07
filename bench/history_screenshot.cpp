// The sensor history window after a few simulated minutes with the built-in
// keyboard, and what the history costs (offscreen):
//   history_screenshot <output directory>
// Writes sensor-history-default.png and sensor-history-minimum.png (the
// window at its default and its minimum size), sensor-history-table.png (its
// table) and prints the history's memory and the median
// cost of a tick that takes a status reply, with the window closed and open.

#include "test_app_harness.h"

#include "app/HistoryPlot.h"
#include "app/SensorHistoryWindow.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "res/ControlIds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace std::chrono;

// Half a round of the machine: simulated time moves by one timer period,
// the reader gets to decode what the keyboard sent, then the tick runs.
struct Driver {
    explicit Driver(AppHarness& harness) : h(harness) {}
    AppHarness& h;
    system_clock::time_point now = system_clock::now() - minutes(10);
    std::vector<double> repaints;
    double Tick() {
        h.Bus().Advance(milliseconds(300));
        now += milliseconds(300);
        QTest::qWait(1);
        QElapsedTimer timer;
        timer.start();
        h.Tick();
        const double us = timer.nsecsElapsed() / 1000.0;
        timer.start();
        QApplication::processEvents(); // the repaints the tick caused
        repaints.push_back(timer.nsecsElapsed() / 1000.0);
        if (h.Core().PollState() == PollingMachine::AwaitStatus)
            h.WaitReply();
        return us;
    }
    static double Median(std::vector<double> v) {
        if (v.empty())
            return 0;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    }
    // Median cost of the ticks that took a status reply over, and of the
    // repaints after them.
    std::pair<double, double> Run(int ticks) {
        std::vector<double> costs, paints;
        for (int i = 0; i < ticks; ++i) {
            const std::size_t before = h.Core().History().Samples().Size();
            const double us = Tick();
            if (h.Core().History().Samples().Size() != before) {
                costs.push_back(us);
                paints.push_back(repaints.back());
            }
        }
        return {Median(costs), Median(paints)};
    }
};

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    std::printf("history memory: %zu samples x %zu bytes + %zu markers x %zu bytes = %zu bytes\n",
                SensorHistory::SampleCapacity, sizeof(HistorySample), SensorHistory::MarkerCapacity,
                sizeof(HistoryMarker),
                SensorHistory::SampleCapacity * sizeof(HistorySample) +
                    SensorHistory::MarkerCapacity * sizeof(HistoryMarker));

    AppHarness h;
    Driver d{h};
    h.Core().History().SetClock([&d] { return d.now; });
    h.Dlg().show();
    if (!h.Connect()) {
        std::fprintf(stderr, "keyboard did not connect\n");
        return 1;
    }
    h.Bus().WithFirmware(
        [](KeyboardFirmware& firmware) { firmware.SetEventInterval(milliseconds(25000)); });
    // Two simulated minutes, the keyboard away for 20 s, two more minutes.
    const auto closed = d.Run(400);
    h.Bus().Unplug();
    h.WaitReading(false);
    for (int i = 0; i < 66; ++i)
        d.Tick();
    h.Bus().Plug();
    h.WaitReading();
    h.Dlg().OnSensorHistory();
    SensorHistoryWindow& window = *h.Dlg().HistoryWindow();
    h.Click(IDC_NUM_SENSORS_4); // every sensor, so that the legend is at its widest
    const auto open = d.Run(400);
    std::printf("tick that takes a status reply, then the repaints it caused, medians:\n"
                "  history window closed: tick %.1f us, repaints %.1f us\n"
                "  history window open (5-minute span): tick %.1f us, repaints %.1f us\n",
                closed.first, closed.second, open.first, open.second);
    std::printf("samples %zu, markers %zu\n", h.Core().History().Samples().Size(),
                h.Core().History().Markers().Size());

    // The default size first, then the smallest the window's layout allows.
    const QSize defaultSize = window.size();
    bool saved = true;
    for (auto [name, size] :
         {std::pair{"default", defaultSize}, std::pair{"minimum", QSize(1, 1)}}) {
        window.resize(size);
        QApplication::processEvents();
        const QString path = outDir + QStringLiteral("/sensor-history-%1.png").arg(name);
        const bool ok = window.grab().save(path);
        std::printf("screenshot %dx%d %s: %s\n", window.width(), window.height(),
                    ok ? "written" : "FAILED", qPrintable(path));
        saved = saved && ok;
    }
    // The table, scrolled to its newest rows, at the default size.
    window.resize(defaultSize);
    window.findChild<QTabWidget*>()->setCurrentWidget(window.Table());
    window.Table()->scrollToBottom();
    QApplication::processEvents();
    saved = window.grab().save(outDir + QStringLiteral("/sensor-history-table.png")) && saved;
    std::printf("plot description: %s\n", qPrintable(window.Plot()->accessibleDescription()));
    return saved ? 0 : 1;
}
