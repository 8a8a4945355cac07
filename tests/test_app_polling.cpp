// The polling state machine end to end, the pages' changes it sends, and the
// Save and Recall buttons whose recall it carries out: the real main window
// against the built-in keyboard, one tick at a time.

#include "test_app_harness.h"

#include "device/CHidDevice.h"
#include "emulator/KeyboardFirmware.h"
#include "res/ControlIds.h"
#include "settings/KeyboardSettings.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using Codes = std::vector<int>;
using Sent = std::vector<std::pair<int, int>>; // tick (from 1), command

namespace {

Sent TickAndWatch(AppHarness& h, int ticks) {
    Sent sent;
    for (int i = 1; i <= ticks; ++i) {
        h.Tick();
        for (int code : h.TakeCommands())
            sent.emplace_back(i, code);
    }
    return sent;
}

bool NothingToSend(AppHarness& h) {
    const auto& p = h.Core().PendingReports();
    return !p.options && !p.thresholds && !p.idNumber;
}

// A tick and the keyboard's answer, until `done` (at most 40 ticks).
template <typename Done> bool TickUntil(AppHarness& h, Done done) {
    for (int i = 0; i < 40 && !done(); ++i) {
        h.Tick();
        h.WaitReply(100);
    }
    return done();
}

} // namespace

TEST(Polling, ConnectionReadsTheWholeConfigurationThenPollsTheStatus) {
    AppHarness h({.testMode = true});
    h.Bus().WithFirmware([](KeyboardFirmware& firmware) {
        DeviceStatus s = firmware.State();
        s.IdNumber = 4321;
        s.LeftLevel = 255;
        firmware.SetState(s);
    });
    auto columns = [&] {
        QString shown;
        for (int id :
             {IDC_LEFT_BAR, IDC_RIGHT_BAR, IDC_SENSOR3_BAR, IDC_SENSOR4_BAR, IDC_KEYSTROKE_BAR})
            shown += h.ShownIn(id) ? '1' : '0';
        return shown;
    };
    h.Click(IDC_NUM_SENSORS_3); // radio button "3" shows columns and leaves the record alone
    EXPECT_EQ(columns(), "11101");
    EXPECT_EQ(g_settings.NumberOfSensors, 2);
    ASSERT_TRUE(h.WaitReading());
    // Each request goes out on the tick that takes the previous reply.
    for (int expected : {802, 803, 804}) {
        EXPECT_EQ(TickAndWatch(h, 1), (Sent{{1, expected}}));
        ASSERT_TRUE(h.WaitReply());
    }
    EXPECT_EQ(TickAndWatch(h, 1), Sent{});
    EXPECT_EQ(h.Text(IDC_ID_NUMBER_TEXT), "04321");
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID_TEXT), "0x0705");
    EXPECT_TRUE(h.Ticked(IDC_NUM_SENSORS_4)); // the keyboard's four sensors
    EXPECT_EQ(columns(), "11111");
    // Status every second tick, each reply drawn.
    EXPECT_EQ(TickAndWatch(h, 1), (Sent{{1, 801}}));
    ASSERT_TRUE(h.WaitReply());
    EXPECT_EQ(TickAndWatch(h, 2), (Sent{{2, 801}}));
    EXPECT_EQ(QStringList({h.Text(IDC_LEFT_VALUE), h.Text(IDC_RIGHT_VALUE),
                           h.Text(IDC_SENSOR3_VALUE), h.Text(IDC_SENSOR4_VALUE)}),
              QStringList({"100", "43", "27", "16"})); // each column its own level
    const QString text = h.Text(IDC_STATUS_TEXT);      // in test mode, the text of the last report
    EXPECT_TRUE(text.size() == 27 && text.startsWith("00 01 ")) << qPrintable(text);
}

// The status line tells a keyboard unplugged and back, and explains one that
// may not be opened: file permissions, on Windows another program.
TEST(Polling, StatusLineTellsUnplugAndAKeyboardThatMayNotBeOpened) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    EXPECT_EQ(h.Text(IDC_STATUS_TEXT), "Keyboard connected and active");
    h.Bus().Unplug();
    ASSERT_TRUE(h.WaitReading(false));
    h.Tick();
    EXPECT_EQ(h.Text(IDC_STATUS_TEXT), "No Device");
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID_TEXT), "Unknown");

    AppHarness denied({.pluggedIn = false});
    denied.Bus().SetPermissionDenied(true);
    denied.Bus().Plug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return denied.Core().Device().PermissionDenied(); }));
    denied.Tick();
    const char* const cause = WindowsBuild ? "another program" : "udev";
    EXPECT_TRUE(denied.Text(IDC_STATUS_TEXT).startsWith("No Device ") &&
                denied.Text(IDC_STATUS_TEXT).contains(cause))
        << denied.Text(IDC_STATUS_TEXT).toStdString();
}

TEST(Polling, UnansweredRequestIsRepeatedEveryEightTicksAndStoreEveryFifty) {
    // The full read's first request, an ordinary change, the store command.
    for (const auto& [code, period] : {std::pair{802, 8}, std::pair{5, 8}, std::pair{9, 50}}) {
        AppHarness h;
        if (code == 802) {
            ASSERT_TRUE(h.WaitReading());
        } else {
            ASSERT_TRUE(h.Connect());
            h.Click(IDC_CONFIGURE);
        }
        h.Bus().SetDropReplies(true);
        if (code == 5)
            h.Core().RequestThresholdsReport();
        if (code == 9)
            h.Click(IDC_STORE);
        EXPECT_EQ(TickAndWatch(h, 2 * period + period / 2),
                  (Sent{{1, code}, {period + 1, code}, {2 * period + 1, code}}))
            << code;
    }
}

// A write answered only after its wait ended: the late answer must not pass
// for the answer to the next write, which the keyboard lost.
TEST(Polling, LateAnswerDoesNotAnswerTheNextWrite) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.Click(IDC_CONFIGURE);
    h.Bus().SetHoldReplies(true);
    for (uint8_t low : {70, 80}) {
        g_settings.LowThreshold = low;
        h.Core().RequestThresholdsReport();
        h.Bus().SetLoseWrites(low == 80);
        TickAndWatch(h, low == 70 ? PollingMachine::ReplyTickLimit + 2 : 1);
    }
    h.Bus().SetLoseWrites(false);
    h.Bus().SetHoldReplies(false); // the first write's answer, late
    ASSERT_TRUE(h.WaitReply());
    EXPECT_TRUE(TickUntil(h, [&] { return NothingToSend(h); }));
    EXPECT_EQ(h.Bus().FirmwareState().LowThreshold, 80);
}

TEST(Polling, SimulateLogsOneLinePerTickAndSendsNothing) {
    AppHarness h({.testMode = true});
    ASSERT_TRUE(h.Connect());
    ASSERT_TRUE(h.Dlg().EnableMessageLog(true));
    h.Button(IDC_SIMULATE)->setChecked(true);
    h.Click(IDC_CONFIGURE);
    for (int i = 0; i < 5; ++i) {
        h.Core().RequestThresholdsReport();
        h.Click(IDC_STORE);
        h.Tick();
        EXPECT_FALSE(h.Core().PendingReports().thresholds || h.Core().PendingReports().store);
    }
    h.Dlg().EnableMessageLog(false);
    EXPECT_EQ(h.TakeCommands(), Codes{});
    QFile log(h.Dir() + "debug.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray line = log.readLine();
    EXPECT_TRUE(line.startsWith("WriteReport:  05 ")) << line.constData();
    EXPECT_EQ(line + log.readAll(), line.repeated(5));
}

// Changes made on the pages reach the keyboard, configuration flags first.
TEST(PagesAgainstKeyboard, SliderAndBoxChangesReachTheKeyboardFlagsFirst) {
    AppHarness h({.testMode = true});
    ASSERT_TRUE(h.ShowActive() && h.Connect());
    h.Click(IDC_CONFIGURE);
    ASSERT_TRUE(h.Core().ConfigurationUnlocked());
    h.TakeCommands();
    static_cast<QSlider*>(h.Widget(IDC_LOW_SLIDER))->setValue(30);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 179; }));
    h.Click(IDC_CLEAN_ON_POWER_UP);
    // Host mode on with LED and beeper, then off again: the two bits stay.
    for (int id : {IDC_HOST_MODE_ENABLE, IDC_HOST_LED_ON, IDC_HOST_BEEPER_ON, IDC_HOST_MODE_ENABLE})
        h.Click(id);
    ASSERT_TRUE(TickUntil(h, [&] { return NothingToSend(h); }));

    // Low, Clean On Power Up, host mode, LED and beeper on the keyboard.
    const DeviceStatus k = h.Bus().FirmwareState();
    EXPECT_EQ(
        std::tuple(k.LowThreshold, k.PowerOnWipe, k.HostModeEnable, k.HostLedOn, k.HostBeeperOn),
        std::tuple(179, 1, 0, 1, 1));
    const std::vector<int> sent = h.TakeCommands();
    const auto thresholds = std::find(sent.begin(), sent.end(), 5);
    ASSERT_NE(thresholds, sent.end());
    EXPECT_LT(std::find(sent.begin(), sent.end(), 7), thresholds);
}

TEST(SaveAndRecall, ErrorsAskForTheRereadAtMostAndCancelAsksNothing) {
    const QByteArray v6 = "6 Quindle Keyboard Configuration Utility Settings\r\n1 LowThreshold\r\n";
    const struct {
        const char* name;   // empty: the dialog is cancelled
        QByteArray content; // empty: no such file
        const char* message;
        bool opened;
    } cases[] = {
        {"", "", nullptr, false},
        {"absent.set", "", "Unable to open file", false},
        {"letters.set", v6 + "abc HighThreshold\r\n", "Not a number in line 3 of file", true},
    };
    for (const auto& c : cases) {
        ScriptedPrompts prompts;
        AppHarness h({.testMode = true, .pluggedIn = false});
        h.Button(IDC_SIMULATE)->setChecked(true); // Simulate: unlocked without a keyboard
        h.Dlg().SetConfigurationUnlocked(true);
        QFile file(h.Dir() + c.name);
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.content) > 0);
            file.close();
        }
        prompts.openPath = *c.name ? file.fileName() : QString();
        h.Click(IDC_RECALL);
        ASSERT_EQ(prompts.messages.size(), c.message ? 1u : 0u) << c.name;
        if (c.message) {
            EXPECT_EQ(prompts.messages[0].second, Prompts::Icon::Error) << c.name;
            EXPECT_TRUE(prompts.messages[0].first.startsWith(c.message)) << c.name;
        }
        // Not even the values before the error reach the record.
        EXPECT_EQ(g_settings.Block(), KeyboardSettings{}.Block()) << c.name;
        EXPECT_EQ(h.Core().PendingReports().reread, c.opened) << c.name;
        EXPECT_TRUE(NothingToSend(h)) << c.name;
    }
}

// A recalled file is sent and the keyboard read again, also when the read's
// first request goes unanswered: the record then shows what the keyboard
// took, here no beeper on the product without one.
TEST(SaveAndRecall, RecalledFileIsSentAndTheKeyboardReadAgain) {
    ScriptedPrompts prompts;
    AppHarness h({.productId = 0x0703});
    ASSERT_TRUE(h.Connect());
    h.Click(IDC_CONFIGURE);
    KeyboardSettings file = g_settings;
    file.LowThreshold = 33;
    file.BeeperEnableStatus = 1;
    prompts.openPath = h.Dir() + "a.set";
    ASSERT_EQ(SaveSettingsFile(prompts.openPath.toStdString(), file).error, SaveError::None);
    h.Click(IDC_RECALL);
    ASSERT_EQ(g_settings.BeeperEnableStatus, 1);
    const auto idle = [&] { return NothingToSend(h) && h.Core().PollState() == 0; };
    ASSERT_TRUE(TickUntil(h, idle));
    EXPECT_TRUE(h.Core().PendingReports().reread);
    h.Bus().SetDropReplies(true); // the read's first request goes unanswered
    for (int i = 0; i <= PollingMachine::ReplyTickLimit; ++i)
        h.Tick();
    h.Bus().SetDropReplies(false);
    ASSERT_TRUE(TickUntil(h, [&] { return idle() && !h.Core().PendingReports().reread; }));
    EXPECT_EQ(h.Bus().FirmwareState().LowThreshold, 33);
    EXPECT_EQ(g_settings.LowThreshold, 33);
    EXPECT_EQ(g_settings.BeeperEnableStatus, 0);
}
