// The main window outside the polling: the controls and the property sheet,
// the keyboard alone and the configuration lock.

#include "test_app_harness.h"

#include "app/StartupOptions.h"
#include "device/KeyboardLock.h"
#include "emulator/EmulatorBench.h"
#include "res/ControlIds.h"

#include <QTabBar>

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

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
