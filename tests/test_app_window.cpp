// The main window outside the polling: the controls and the property sheet,
// the keyboard alone, the configuration lock, the status display, the message
// log and the folders of an installed program.

#include "test_app_harness.h"

#include "app/StartupOptions.h"
#include "device/KeyboardLock.h"
#include "emulator/EmulatorBench.h"
#include "res/ControlIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

namespace {

const QColor Green(64, 255, 64), Blue(64, 64, 255), Red(255, 64, 64);

// The message log is a text file as the platform writes them: on Windows
// every line ends in CR LF. Returned with LF line ends.
QByteArray ReadLog(const QString& path) {
    QFile file(path);
    QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    if (WindowsBuild) {
        EXPECT_EQ(text.count("\r\n"), text.count('\n')) << text.constData();
        text.replace("\r\n", "\n");
    }
    return text;
}

QProgressBar* Bar(AppHarness& h, int id) {
    return static_cast<QProgressBar*>(h.Dlg().Control(id));
}

QColor BarColour(AppHarness& h, int id) {
    return Bar(h, id)->palette().color(QPalette::Highlight);
}

// Whether another holder could take a keyboard's lock at once, asked from a
// thread of its own (a Windows mutex lets the thread that holds it take it
// again) that lets go before it ends.
KeyboardLock::Outcome OtherCouldTake(const std::string& file) {
    return std::async(std::launch::async, [&file] {
               return KeyboardLock().TryAcquire(file, std::chrono::milliseconds(0));
           }).get();
}

} // namespace

// The test switch asks about any text but the word TEST; the program
// directory ends at the last separator of the platform's own kind.
TEST(Startup, TestSwitchAndProgramDirectory) {
    const struct {
        const char* text;
        bool answer, testMode;
        std::size_t questions;
    } cases[] = {{"tEsT", false, true, 0},    {"", true, false, 0},      {"TEST x", true, true, 1},
                 {"TESTS", false, false, 1}, {" TEST", false, false, 1}};
    for (const auto& c : cases) {
        ScriptedPrompts prompts;
        prompts.yes = c.answer;
        EXPECT_EQ(DecideTestMode(QString::fromLatin1(c.text), prompts), c.testMode) << c.text;
        EXPECT_EQ(prompts.messages.size(), c.questions) << c.text;
    }
    char program[] = "/usr/bin/kbconfig", first[] = "-platform", second[] = "TEST";
    char* argv[] = {program, first, second};
    EXPECT_EQ(CommandLineText(3, argv), "-platform TEST");
    EXPECT_EQ(ProgramDirectory("C:\\Tools\\Kb\\kbconfig.exe", '\\'), "C:\\Tools\\Kb\\");
    EXPECT_EQ(ProgramDirectory("C:\\Tools\\kbconfig.exe", '/'), "/"); // only its own separator
}

TEST(MainWindow, WithoutKeyboardTestModeDecidesTheControlsAndNothingUnlocks) {
    for (bool testMode : {false, true}) {
        AppHarness h({.testMode = testMode, .pluggedIn = false});
        EXPECT_EQ(h.ShownIn(IDC_SIMULATE), testMode);
        EXPECT_EQ(h.Dlg().m_pPropSheet->count(), testMode ? 3 : 2); // Manufacturing
        h.Tick();
        h.Click(IDC_CONFIGURE);
        EXPECT_EQ(h.Text(IDC_CONFIGURE), "Configure");
        for (int id : {IDC_ENABLE_ALARM, IDC_ENABLE_BEEPER, IDC_RECALL, IDC_SAVE, IDC_STORE,
                       IDC_CLEAN_ACTIVE})
            EXPECT_FALSE(h.Enabled(id)) << id;
    }
}

// The keyboard alone reaches everything: Tab goes round the window, the tab
// bar and the page shown (not the hidden ones), Shift+Tab the same way back.
TEST(MainWindow, TabCyclesThroughWindowTabBarAndPageOnShow) {
    AppHarness h;
    ASSERT_TRUE(h.WaitReading());
    h.Dlg().SetConfigurationUnlocked(true); // page controls take the focus only when enabled
    ASSERT_TRUE(h.ShowActive());
    QWidget* start = h.Dlg().Control(IDC_CONFIGURE);
    start->setFocus();
    auto cycle = [&](Qt::KeyboardModifier modifier) {
        std::vector<QWidget*> order;
        do {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifier);
            order.push_back(QApplication::focusWidget());
        } while (order.back() != start && order.size() < 200);
        return order;
    };
    const std::vector<QWidget*> forward = cycle(Qt::NoModifier);
    auto reaches = [&](QWidget* w) {
        return std::any_of(forward.begin(), forward.end(),
                           [&](QWidget* f) { return f == w || w->isAncestorOf(f); });
    };
    CPropSheet* sheet = h.Dlg().m_pPropSheet;
    ASSERT_EQ(forward.back(), start);
    EXPECT_TRUE(reaches(sheet->tabBar()) && reaches(h.Dlg().Control(IDOK)) &&
                reaches(&sheet->m_timers) && !reaches(&sheet->m_threshold));
    std::vector<QWidget*> backward = cycle(Qt::ShiftModifier);
    std::reverse(backward.begin(), backward.end() - 1);
    EXPECT_EQ(backward, forward);
}

// While unlocked the window holds the keyboard's writer lock (here the built-in
// keyboard's lock file): another holder keeps "Configure" locked with a
// message naming it; locking again lets go.
TEST(ConfigurationLock, UnlockedWindowHoldsTheKeyboardsWriterLock) {
    QTemporaryDir dir;
    EmulatorBench::Options options;
    options.stateFile = (dir.path() + QStringLiteral("/state")).toStdString();
    const auto bench = std::make_shared<EmulatorBench>(options);
    const std::string lock = bench->LockFile(EmulatorBench::PathPrefix(0) + "config");
    ScriptedPrompts prompts;
    CKeyboardConfigDlg dlg(false, dir.path() + QLatin1Char('/'), bench);
    dlg.SetTimerRunning(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Core().KeyboardPresent(); }));
    const auto unlocked = [&] { return dlg.Core().ConfigurationUnlocked(); };

    // Another holder, on a plain thread rather than a QThread: its event
    // dispatcher's wake-up file trips ThreadSanitizer inside uninstrumented glib.
    std::promise<KeyboardLock::Outcome> held;
    std::promise<void> release;
    std::thread other([&] {
        KeyboardLock otherLock;
        held.set_value(otherLock.TryAcquire(lock, std::chrono::milliseconds(0)));
        release.get_future().wait();
    });
    EXPECT_EQ(held.get_future().get(), KeyboardLock::Outcome::Acquired);
    dlg.SetConfigurationUnlocked(true);
    EXPECT_FALSE(unlocked());
    release.set_value();
    other.join();
    EXPECT_EQ(prompts.messages.size(), 1u); // its text: CliTest.SecondWriterGivesUpNamingTheFirst

    dlg.SetConfigurationUnlocked(true);
    EXPECT_TRUE(unlocked());
    EXPECT_EQ(OtherCouldTake(lock), KeyboardLock::Outcome::Busy);
    dlg.SetConfigurationUnlocked(false);
    EXPECT_EQ(OtherCouldTake(lock), KeyboardLock::Outcome::Acquired);
}

// The percentage of the raw level, and the bar's colour: red above High,
// blue above Low, else green (a level equal to a threshold does not pass it).
// The keystroke bar is red only above the trigger. New thresholds recolour at
// once. Each alarm picture: off (2) unless enabled and armed by the timer or
// the keystroke count, then on (1) or quiet (0). The product without a beeper
// always shows its beeper off and keeps "Enable Beeper" disabled when unlocked.
TEST(StatusDisplay, BarsAndAlarmPicturesFollowTheRecordAndTheProduct) {
    const struct {
        uint16_t raw;
        int number;
        QColor colour;
    } levels[] = {{200, 78, Blue}, {201, 79, Red}, {100, 39, Green}, {1000, 391, Red}};
    using S = DeviceStatus;
    uint8_t S::*const inputs[] = {&S::LedEnableStatus, &S::BeeperEnableStatus, &S::EnableTimer,
                                  &S::EnableKeystroke, &S::LedAlarmOn,         &S::BeeperAlarmOn};
    const struct {
        uint8_t in[6];
        int led, beeper;
    } alarms[] = {{{1, 1, 1, 0, 0, 0}, 0, 0}, {{1, 1, 0, 1, 1, 1}, 1, 1},
                  {{1, 1, 0, 0, 1, 1}, 2, 2}, {{1, 0, 1, 1, 0, 1}, 0, 2},
                  {{0, 1, 1, 1, 1, 0}, 2, 0}};
    const char* const pictures[] = {"Off", "On", "Disabled"}; // as told to a screen reader
    for (uint16_t product : {0x0703, 0x0705}) {
        const bool beeper = product != 0x0703;
        AppHarness h({.productId = product});
        ASSERT_TRUE(h.WaitReading());
        h.Click(IDC_CONFIGURE);
        EXPECT_EQ(h.Enabled(IDC_ENABLE_BEEPER), beeper) << product;
        for (const auto& c : alarms) {
            for (int i = 0; i < 6; ++i)
                g_settings.*inputs[i] = c.in[i];
            h.Dlg().UpdateAlarmIndicators();
            EXPECT_EQ(h.Widget(IDC_LED_IMAGE)->accessibleDescription(), pictures[c.led]);
            const QString beeperShown = h.Widget(IDC_BEEPER_IMAGE)->accessibleDescription();
            EXPECT_EQ(beeperShown, pictures[beeper ? c.beeper : 2]) << product;
        }
    }
    AppHarness h;
    g_settings.LowThreshold = 100;
    g_settings.HighThreshold = 200;
    for (const auto& l : levels) {
        g_settings.LeftLevel = l.raw;
        h.Dlg().RefreshLiveStatus();
        EXPECT_EQ(h.Text(IDC_LEFT_VALUE), QString::number(l.number)) << l.raw;
        EXPECT_EQ(Bar(h, IDC_LEFT_BAR)->value(), std::min(l.number, 100)) << l.raw;
        EXPECT_EQ(BarColour(h, IDC_LEFT_BAR), l.colour) << l.raw;
    }
    g_settings.HighThreshold = 99;
    h.Dlg().RecolourSensorBars();
    EXPECT_EQ(BarColour(h, IDC_LEFT_BAR), Red);
    g_settings.KeystrokeAlarmTrigger = 1100;
    for (uint16_t count : {1100, 65535}) {
        g_settings.KeystrokeCount = count;
        h.Dlg().RefreshLiveStatus();
        EXPECT_EQ(Bar(h, IDC_KEYSTROKE_BAR)->value(), count);
        EXPECT_EQ(BarColour(h, IDC_KEYSTROKE_BAR), count > 1100 ? Red : Green) << count;
    }
}

// Installed in a folder the user cannot write (here one that does not exist,
// which stops root too): the Manufacturing page's box writes the log in the
// state folder and says where; a file that cannot be opened leaves logging
// off and the box unticked, and a second switch-on keeps the file open. The
// file dialogs start outside the program folder, then in the folder last used.
TEST(InstalledUse, LogAndFileDialogsUseTheUsersFolders) {
    QTemporaryDir user;
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QStringLiteral("kbconfig"), QStringLiteral("kbconfig")).clear();
    const char* const stateVariable = WindowsBuild ? "LOCALAPPDATA" : "XDG_STATE_HOME";
    const QByteArray stateBefore = qgetenv(stateVariable);
    qputenv(stateVariable,
            QDir::toNativeSeparators(user.filePath(QStringLiteral("state"))).toUtf8());
    AppHarness h({.testMode = true, .programDir = user.filePath(QStringLiteral("gone/"))});
    ScriptedPrompts prompts;
    ASSERT_TRUE(h.Connect());
    h.Click(IDC_CONFIGURE);
    const QString log = user.filePath(QStringLiteral("state/kbconfig/debug.txt"));
    QAbstractButton* box = h.Button(IDC_MESSAGE_LOG);
    ASSERT_TRUE(QDir().mkpath(log)); // a folder in the file's place
    box->click();
    EXPECT_FALSE(box->isChecked() || h.Core().MessageLogStream());
    ASSERT_TRUE(QDir().rmdir(log));
    box->click();
    ASSERT_TRUE(box->isChecked() && h.Core().MessageLogStream());
    EXPECT_TRUE(box->toolTip().contains(QDir::toNativeSeparators(log)));
    std::fputs("first line\n", h.Core().MessageLogStream());
    EXPECT_TRUE(h.Dlg().EnableMessageLog(true)); // reopened, the file would lose its line
    box->click();
    EXPECT_FALSE(box->isChecked() || h.Core().MessageLogStream());
    EXPECT_EQ(ReadLog(log), "first line\n");

    ASSERT_TRUE(QDir(user.path()).mkdir(QStringLiteral("mine")));
    prompts.savePath = prompts.openPath = user.filePath(QStringLiteral("mine/a.set"));
    h.Click(IDC_SAVE);
    h.Click(IDC_RECALL);
    ASSERT_EQ(prompts.requests.size(), 2u);
    EXPECT_TRUE(QFileInfo(prompts.requests[0].initialDirectory).isDir());
    EXPECT_NE(prompts.requests[0].initialDirectory, user.filePath(QStringLiteral("gone/")));
    EXPECT_EQ(prompts.requests[1].initialDirectory, user.filePath(QStringLiteral("mine")));
    EXPECT_TRUE(prompts.messages.empty());
    qputenv(stateVariable, stateBefore);
    QStandardPaths::setTestModeEnabled(false);
}
