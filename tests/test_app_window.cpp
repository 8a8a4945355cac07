// The main window outside the polling: controls after start-up, the
// configuration lock, the message log, the property sheet, the About entry
// and shutdown.

#include "test_app_harness.h"

#include "device/CHidDevice.h"
#include "pages/CPropSheet.h"
#include "settings/KeyboardSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(MainWindowStartup, NormalModeHidesTheTestControls) {
    AppHarness h;
    CKeyboardConfigDlg& dlg = h.Dlg();
    EXPECT_EQ(dlg.windowTitle(), "Quindle Keyboard Configuration Utility");
    EXPECT_EQ(g_mainDialog, &dlg);
    EXPECT_EQ(dlg.m_nPollState, 2);
    EXPECT_FALSE(dlg.m_bConfigUnlocked);
    EXPECT_EQ(h.Text(1014), "Looking for keyboard");
    EXPECT_EQ(h.Text(1101), "Unknown");
    EXPECT_EQ(h.Text(6), "Configure");
    for (int id : {1088, 1091, 1092, 1093, 1094, 1095, 1096, 1084})
        EXPECT_FALSE(h.ShownIn(id)) << id;
    EXPECT_FALSE(dlg.m_pPropSheet->m_timers.Control(1020)->isVisibleTo(&dlg));
    // Two sensor columns and the keystroke column.
    EXPECT_TRUE(h.Ticked(1094));
    for (int id : {1007, 1055, 1028, 1009, 1056, 1029, 1041, 1075, 1042})
        EXPECT_TRUE(h.ShownIn(id)) << id;
    for (int id : {1013, 1057, 1030, 1025, 1058, 1031})
        EXPECT_FALSE(h.ShownIn(id)) << id;
    EXPECT_EQ(static_cast<QProgressBar*>(dlg.Control(1028))->maximum(), 100);
    EXPECT_EQ(static_cast<QProgressBar*>(dlg.Control(1042))->maximum(), 65535);
    // Locked: nothing editable but the Configure button.
    for (int id : {1015, 1021, 5, 4, 8})
        EXPECT_FALSE(h.Enabled(id)) << id;
    EXPECT_TRUE(h.Enabled(6));
    EXPECT_FALSE(h.Enabled(1034));
}

TEST(MainWindowStartup, TestModeShowsTheTestControls) {
    AppHarness h({.testMode = true});
    for (int id : {1088, 1091, 1092, 1093, 1094, 1095, 1096})
        EXPECT_TRUE(h.ShownIn(id)) << id;
    EXPECT_TRUE(h.Dlg().m_pPropSheet->m_timers.Control(1020)->isVisibleTo(&h.Dlg()));
    EXPECT_FALSE(h.Ticked(1088));
}

TEST(PropertySheet, PagesFollowTheTestMode) {
    AppHarness normal;
    CPropSheet* sheet = normal.Dlg().m_pPropSheet;
    ASSERT_EQ(sheet->count(), 2);
    EXPECT_EQ(sheet->tabText(0), "Timers");
    EXPECT_EQ(sheet->tabText(1), "Threshold");
    EXPECT_EQ(sheet->currentIndex(), 0);
    EXPECT_EQ(sheet->indexOf(&sheet->m_manufacturing), -1);
    normal.Destroy();

    AppHarness test({.testMode = true});
    sheet = test.Dlg().m_pPropSheet;
    ASSERT_EQ(sheet->count(), 3);
    EXPECT_EQ(sheet->tabText(2), "Manufacturing");
    EXPECT_EQ(sheet->currentIndex(), 0);
}

TEST(PropertySheet, SitsOnThePlaceholderAndFitsItsLargestPage) {
    AppHarness h({.testMode = true});
    CPropSheet* sheet = h.Dlg().m_pPropSheet;
    EXPECT_EQ(sheet->parentWidget(), &h.Dlg());
    EXPECT_EQ(sheet->pos(), h.Dlg().Control(1084)->geometry().topLeft());
    for (QWidget* page :
         {static_cast<QWidget*>(&sheet->m_timers), static_cast<QWidget*>(&sheet->m_threshold),
          static_cast<QWidget*>(&sheet->m_manufacturing)}) {
        EXPECT_GE(sheet->width(), page->minimumWidth());
        EXPECT_GE(sheet->height(), page->minimumHeight());
    }
    // The sheet stays inside the window, left of the button column.
    EXPECT_LE(sheet->geometry().right(), h.Dlg().Control(6)->geometry().left());
    EXPECT_LE(sheet->geometry().bottom(), h.Dlg().height());
}

TEST(PropertySheet, TabCyclesThroughWindowTabBarAndPageOnShow) {
    AppHarness h;
    CKeyboardConfigDlg& dlg = h.Dlg();
    dlg.SetConfigurationUnlocked(true); // page controls take the focus only when enabled
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    CPropSheet* sheet = dlg.m_pPropSheet;
    QWidget* start = dlg.Control(6);
    start->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return start->hasFocus(); }));

    auto cycle = [&](bool backwards) {
        std::vector<QWidget*> order;
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            backwards ? Qt::ShiftModifier : Qt::NoModifier);
            QWidget* now = QApplication::focusWidget();
            if (now == start)
                return order;
            order.push_back(now);
        }
        return std::vector<QWidget*>{};
    };
    const std::vector<QWidget*> forward = cycle(false);
    ASSERT_FALSE(forward.empty()) << "Tab never came back to the Configure button";
    std::set<QWidget*> seen(forward.begin(), forward.end());
    EXPECT_TRUE(seen.count(sheet->tabBar()));
    EXPECT_TRUE(seen.count(dlg.Control(1)));
    bool timersControl = false, thresholdControl = false;
    for (QWidget* w : forward) {
        timersControl |= sheet->m_timers.isAncestorOf(w);
        thresholdControl |= sheet->m_threshold.isAncestorOf(w);
    }
    EXPECT_TRUE(timersControl) << "no control of the page on show";
    EXPECT_FALSE(thresholdControl) << "a control of a hidden page";

    const std::vector<QWidget*> backward = cycle(true);
    EXPECT_EQ(std::vector<QWidget*>(backward.rbegin(), backward.rend()), forward);
}

TEST(ConfigurationLock, ConfigureDoesNothingWithoutKeyboardOrSimulate) {
    AppHarness h({.testMode = true, .pluggedIn = false});
    h.Tick();
    h.Click(6);
    EXPECT_EQ(h.Text(6), "Configure");
    EXPECT_FALSE(h.Dlg().m_bConfigUnlocked);
    EXPECT_FALSE(h.Enabled(4));

    // Simulate is enough to unlock; a second press locks again.
    static_cast<QCheckBox*>(h.Dlg().Control(1088))->setChecked(true);
    h.Click(6);
    EXPECT_EQ(h.Text(6), "Lock Config");
    for (int id : {1015, 1021, 5, 4, 8})
        EXPECT_TRUE(h.Enabled(id)) << id;
    h.Click(6);
    EXPECT_EQ(h.Text(6), "Configure");
    for (int id : {1015, 1021, 5, 4, 8})
        EXPECT_FALSE(h.Enabled(id)) << id;
}

TEST(ConfigurationLock, ProductWithoutBeeperKeepsEnableBeeperDisabled) {
    for (uint16_t product : {uint16_t(0x0703), uint16_t(0x0769)}) {
        AppHarness h({.productId = product});
        ASSERT_TRUE(h.WaitReading());
        h.Click(6);
        ASSERT_TRUE(h.Dlg().m_bConfigUnlocked);
        for (int id : {1015, 5, 4, 8})
            EXPECT_TRUE(h.Enabled(id)) << id;
        EXPECT_EQ(h.Enabled(1021), product != 0x0703) << std::hex << product;
    }
}

TEST(ConfigurationLock, RequestsMarkOnlyWhileUnlocked) {
    AppHarness h;
    CKeyboardConfigDlg& dlg = h.Dlg();
    dlg.RequestOptionsReport();
    dlg.RequestThresholdsReport();
    dlg.RequestIdNumberReport();
    dlg.KeystrokeTriggerChanged();
    EXPECT_FALSE(dlg.m_bOptionsPending || dlg.m_bThresholdsPending || dlg.m_bIdNumberPending);
    dlg.SetConfigurationUnlocked(true);
    dlg.RequestOptionsReport();
    EXPECT_TRUE(dlg.m_bOptionsPending);
    EXPECT_FALSE(dlg.m_bThresholdsPending);
    dlg.KeystrokeTriggerChanged();
    EXPECT_TRUE(dlg.m_bThresholdsPending);
    dlg.RequestIdNumberReport();
    EXPECT_TRUE(dlg.m_bIdNumberPending);
}

TEST(ConfigurationLock, AlarmBoxesWriteTheRecordAndRequestTheFlags) {
    AppHarness h;
    ASSERT_TRUE(h.WaitReading());
    h.Click(6);
    g_settings.LedEnableStatus = 1;
    static_cast<QCheckBox*>(h.Dlg().Control(1015))->setChecked(true);
    h.Click(1015); // untick
    EXPECT_EQ(g_settings.LedEnableStatus, 0);
    EXPECT_TRUE(h.Dlg().m_bOptionsPending);
    h.Click(1021); // tick
    EXPECT_EQ(g_settings.BeeperEnableStatus, 1);
}

TEST(MessageLog, SecondSwitchOnKeepsTheFileAndSwitchingOffStartsAnew) {
    AppHarness h;
    CKeyboardConfigDlg& dlg = h.Dlg();
    const QString path = h.Dir() + "debug.txt";
    ASSERT_TRUE(dlg.EnableMessageLog(true));
    std::fputs("first line\n", g_messageLog);
    FILE* first = g_messageLog;
    EXPECT_TRUE(dlg.EnableMessageLog(true));
    EXPECT_EQ(g_messageLog, first);
    EXPECT_FALSE(dlg.EnableMessageLog(false));
    EXPECT_EQ(g_messageLog, nullptr);
    EXPECT_EQ(ReadAll(path), "first line\n");

    ASSERT_TRUE(dlg.EnableMessageLog(true));
    EXPECT_FALSE(dlg.EnableMessageLog(false));
    EXPECT_EQ(ReadAll(path), "");
}

TEST(MessageLog, UnwritableDirectoryLeavesLoggingOff) {
    g_settings = KeyboardSettings{};
    auto bus = std::make_shared<EmulatorBus>(
        EmulatorBus::Options{.autonomous = false, .pluggedIn = false});
    CKeyboardConfigDlg dlg(false, "/nonexistent-directory/", bus);
    dlg.SetTimerRunning(false);
    EXPECT_FALSE(dlg.EnableMessageLog(true));
    EXPECT_EQ(g_messageLog, nullptr);
}

TEST(MessageLog, ClosingTheWindowLeavesACompleteLog) {
    AppHarness h;
    const QString path = h.Dir() + "debug.txt";
    ASSERT_TRUE(h.Dlg().EnableMessageLog(true));
    ASSERT_TRUE(h.Connect());
    h.Destroy();
    EXPECT_EQ(g_messageLog, nullptr);
    const QByteArray log = ReadAll(path);
    // Each request and the reply it brought, whole lines to the end.
    EXPECT_TRUE(log.startsWith("GetReport: 08 02\n")) << log.constData();
    EXPECT_TRUE(log.contains("GetReport: 08 03\n"));
    EXPECT_TRUE(log.contains("GetReport: 08 04\n"));
    EXPECT_EQ(log.count('\n'), 6) << log.constData();
    EXPECT_TRUE(log.endsWith(" \n"));
}

TEST(AboutEntry, MenuEntryAndButtonShowTheSameDialog) {
    AppHarness h;
    QStringList shown;
    h.Dlg().m_runModal = [&](QDialog& d) { shown << d.metaObject()->className(); };

    QMenu* menu = h.Dlg().SystemMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1]->text(), "&About Olvane...");
    EXPECT_EQ(actions[1]->data().toUInt(), 16u);
    actions[1]->trigger();
    h.Click(3);
    EXPECT_EQ(shown, QStringList({"CAboutDlg", "CAboutDlg"}));

    // The command id's four low bits do not matter; other commands do nothing.
    h.Dlg().OnSysCommand(0x1F);
    h.Dlg().OnSysCommand(0x20);
    EXPECT_EQ(shown.size(), 3);

    h.Click(7);
    EXPECT_EQ(shown.last(), "CHelpDlg");
}

TEST(Shutdown, ClosingWhileTheReaderWaitsIsPrompt) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.Bus().SetDropReplies(true);
    h.Tick(); // a request the keyboard never answers: the reader blocks in its read
    QElapsedTimer timer;
    timer.start();
    h.Destroy();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(g_device, nullptr);
}
