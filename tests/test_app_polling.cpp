// The polling state machine end to end: the real main window against the
// built-in keyboard, one tick at a time.

#include "test_app_harness.h"

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/KeyboardFirmware.h"
#include "settings/KeyboardSettings.h"

#include <QCheckBox>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using Codes = std::vector<int>;

namespace {

void SetFirmware(EmulatorBus& bus, const std::function<void(DeviceStatus&)>& change) {
    bus.WithFirmware([&](KeyboardFirmware& firmware) {
        DeviceStatus s = firmware.State();
        change(s);
        firmware.SetState(s);
    });
}

bool ReaderSees(const std::function<bool(const CReaderThread&)>& condition) {
    return QTest::qWaitFor(
        [&] {
            std::lock_guard lock(StatusLock);
            return g_device && g_device->Reader && condition(*g_device->Reader);
        },
        3000);
}

// Ticks until a report is written or `limit` ticks passed; returns the tick
// numbers (from 1) at which each written report went out.
std::vector<std::pair<int, int>> TickAndWatch(AppHarness& h, int ticks) {
    std::vector<std::pair<int, int>> sent;
    for (int i = 1; i <= ticks; ++i) {
        h.Tick();
        for (int code : h.TakeCommands())
            sent.emplace_back(i, code);
    }
    return sent;
}

} // namespace

TEST(Polling, ConnectionReadsTheWholeConfigurationThenPollsTheStatus) {
    AppHarness h;
    SetFirmware(h.Bus(), [](DeviceStatus& s) {
        s.IdNumber = 4321;
        s.LowThreshold = 80;
        s.AlarmTimer = 8;
        s.LeftLevel = 128;
    });
    ASSERT_TRUE(h.WaitReading());

    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{802});
    EXPECT_EQ(h.Dlg().m_nPollState, 3);
    // Requests 3 and 4 each go out on the tick that takes the previous reply.
    for (int expected : {803, 804}) {
        ASSERT_TRUE(h.WaitReply());
        h.Tick();
        EXPECT_EQ(h.TakeCommands(), Codes{expected});
    }
    EXPECT_EQ(h.Dlg().m_nPollState, 5);
    ASSERT_TRUE(h.WaitReply());
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{});
    EXPECT_EQ(h.Dlg().m_nPollState, 0);

    EXPECT_EQ(g_settings.IdNumber, 4321);
    EXPECT_EQ(g_settings.LowThreshold, 80);
    EXPECT_EQ(g_settings.AlarmTimer, 8);
    EXPECT_EQ(g_settings.NumberOfSensors, 4);
    EXPECT_EQ(h.Text(1082), "04321");
    EXPECT_EQ(h.Text(1101), "0x0705");
    EXPECT_EQ(h.Text(1014), "Keyboard connected and active");
    EXPECT_TRUE(h.Ticked(1096));
    for (int id : {1028, 1029, 1030, 1031, 1042})
        EXPECT_TRUE(h.ShownIn(id)) << id;

    // Status every second tick, each reply redrawn.
    SetFirmware(h.Bus(), [](DeviceStatus& s) { s.LeftLevel = 255; });
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{801});
    ASSERT_TRUE(h.WaitReply());
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{});
    EXPECT_EQ(h.Text(1007), "100");
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{801});
}

TEST(Polling, WithoutKeyboardEveryTickShowsNoDeviceAndWritesNothing) {
    AppHarness h({.pluggedIn = false});
    for (int i = 0; i < 5; ++i) {
        h.Tick();
        EXPECT_EQ(h.Text(1014), "No Device");
        EXPECT_EQ(h.Text(1101), "Unknown");
        EXPECT_EQ(h.Dlg().m_nPollState, 2);
    }
    EXPECT_TRUE(h.TakeWritten().empty());

    h.Bus().Plug();
    ASSERT_TRUE(h.WaitReading());
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{802});
}

TEST(Polling, PermissionProblemIsExplainedOnTheStatusLine) {
    AppHarness h({.pluggedIn = false});
    h.Bus().SetPermissionDenied(true);
    h.Bus().Plug();
    ASSERT_TRUE(QTest::qWaitFor([] { return g_device->PermissionDenied(); }, 3000));
    h.Tick();
    EXPECT_TRUE(h.Text(1014).startsWith("No Device "));
    EXPECT_TRUE(h.Text(1014).contains("udev rule"));
}

TEST(Polling, UnlockedChangesGoOutInPriorityOrderEachAfterItsAnswer) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.TakeWritten();
    h.Click(6);
    ASSERT_TRUE(h.Dlg().m_bConfigUnlocked);

    g_settings.LowThreshold = 60;
    g_settings.IdNumber = 777;
    g_settings.PowerOnWipe = 1;
    h.Dlg().RequestIdNumberReport();
    h.Dlg().RequestThresholdsReport();
    h.Dlg().RequestOptionsReport();
    h.Click(8); // Store

    Codes sent;
    for (int expected : {7, 5, 6, 9}) {
        h.Tick();
        const Codes codes = h.TakeCommands();
        ASSERT_EQ(codes, Codes{expected});
        sent.push_back(codes[0]);
        ASSERT_TRUE(h.WaitReply());
        h.Tick(); // takes the answer, sends nothing
        EXPECT_EQ(h.TakeCommands(), Codes{});
    }
    EXPECT_FALSE(h.Dlg().m_bOptionsPending || h.Dlg().m_bThresholdsPending ||
                 h.Dlg().m_bIdNumberPending || h.Dlg().m_bStorePending);
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{801});

    const DeviceStatus stored = h.Bus().StoredState();
    EXPECT_EQ(stored.LowThreshold, 60);
    EXPECT_EQ(stored.IdNumber, 777);
    EXPECT_EQ(stored.PowerOnWipe, 1);
}

TEST(Polling, LockedChangesAreNeverSent) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.TakeWritten();
    g_settings.LowThreshold = 10;
    h.Dlg().RequestThresholdsReport();
    h.Dlg().RequestOptionsReport();
    h.Dlg().RequestIdNumberReport();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(h.StatusRound());
    EXPECT_EQ(h.TakeCommands(), (Codes{801, 801, 801}));
    EXPECT_NE(h.Bus().FirmwareState().LowThreshold, 10);
}

TEST(Polling, UnansweredRequestIsRepeatedEveryEightTicksAndStoreEveryFifty) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.TakeWritten();
    h.Click(6);
    h.Bus().SetDropReplies(true);

    h.Dlg().RequestThresholdsReport();
    const auto thresholds = TickAndWatch(h, 20);
    EXPECT_EQ(thresholds, (std::vector<std::pair<int, int>>{{1, 5}, {9, 5}, {17, 5}}));
    EXPECT_TRUE(h.Dlg().m_bThresholdsPending);

    // Let the thresholds through, then the store command goes unanswered.
    h.Bus().SetDropReplies(false);
    while (h.Dlg().m_bThresholdsPending) {
        h.Tick();
        h.WaitReply();
    }
    h.Tick(); // back in Dispatch: a status request
    h.WaitReply();
    h.Tick();
    h.TakeWritten();
    h.Bus().SetDropReplies(true);
    h.Click(8);
    const auto store = TickAndWatch(h, 110);
    EXPECT_EQ(store, (std::vector<std::pair<int, int>>{{1, 9}, {51, 9}, {101, 9}}));
}

TEST(Polling, UnansweredFullReadStartsOverFromRequestTwo) {
    AppHarness h;
    ASSERT_TRUE(h.WaitReading());
    h.Bus().SetDropReplies(true);
    const auto sent = TickAndWatch(h, 17);
    // Sent, 7 unanswered checks, then state 2 sends request 2 again.
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{1, 802}, {9, 802}, {17, 802}}));
}

TEST(Polling, UnplugWhileUnlockedLocksAndDropsWhatWasPending) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.Click(6);
    h.Dlg().RequestThresholdsReport();
    h.Click(8);
    h.TakeWritten();

    h.Bus().Unplug();
    ASSERT_TRUE(h.WaitReading(false));
    h.Tick();
    EXPECT_EQ(h.Text(6), "Configure");
    EXPECT_FALSE(h.Dlg().m_bConfigUnlocked);
    EXPECT_FALSE(h.Dlg().m_bThresholdsPending || h.Dlg().m_bStorePending);
    EXPECT_EQ(h.Text(1014), "No Device");
    EXPECT_EQ(h.Text(1101), "Unknown");
    EXPECT_FALSE(h.Enabled(4));

    h.Bus().Plug();
    ASSERT_TRUE(h.WaitReading());
    for (int i = 0; i < 3; ++i) {
        h.Tick();
        h.WaitReply();
    }
    EXPECT_EQ(h.TakeCommands(), (Codes{802, 803, 804}));
}

TEST(Polling, UnknownReportTypeDuringAWaitRestartsTheFullRead) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.Bus().SetDropReplies(true);
    h.Tick();
    ASSERT_EQ(h.Dlg().m_nPollState, 1);
    protocol::Report unknown{};
    unknown[1] = 12;
    h.Bus().SendReport(unknown);
    ASSERT_TRUE(ReaderSees([](const CReaderThread& r) { return r.DevicePresent.load() == 0; }));

    h.Tick();
    EXPECT_EQ(h.Text(1014), "No Device");
    EXPECT_EQ(h.Text(1101), "Unknown");
    EXPECT_EQ(h.Dlg().m_nPollState, 2);
    h.TakeWritten();
    h.Tick();
    EXPECT_EQ(h.TakeCommands(), Codes{802});
}

TEST(Polling, EventReportDuringAWaitIsNotAReply) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    QFile::remove("eventlog.txt");
    h.Bus().SetDropReplies(true);
    h.Tick();
    ASSERT_EQ(h.Dlg().m_nPollState, 1);
    h.Bus().SendEvent();
    ASSERT_TRUE(ReaderSees(
        [](const CReaderThread& r) { return r.LastReportText.rfind("00 0B ", 0) == 0; }));

    h.Tick();
    EXPECT_EQ(h.Dlg().m_nPollState, 1);
    EXPECT_EQ(h.Dlg().m_nWaitTicks, 1u);
    EXPECT_FALSE(g_settings.ReplyReceived);
    QFile log("eventlog.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("00 0B "));
}

TEST(Polling, SimulateLogsOneLinePerTickAndSendsNothing) {
    AppHarness h({.testMode = true});
    ASSERT_TRUE(h.Connect());
    h.TakeWritten();
    ASSERT_TRUE(h.Dlg().EnableMessageLog(true));
    static_cast<QCheckBox*>(h.Dlg().Control(1088))->setChecked(true);
    h.Click(6);
    g_settings.LowThreshold = 33;
    g_settings.HighThreshold = 200;
    g_settings.IntervalTimer = 3;
    g_settings.AlarmTimer = 24;
    g_settings.CleanTimer = 50;
    g_settings.KeystrokeAlarmTrigger = 1000;

    for (int i = 0; i < 5; ++i) {
        h.Dlg().RequestThresholdsReport();
        h.Click(8);
        h.Tick();
        EXPECT_EQ(h.Dlg().m_nPollState, 0);
        EXPECT_FALSE(h.Dlg().m_bThresholdsPending || h.Dlg().m_bStorePending);
    }
    h.Dlg().EnableMessageLog(false);
    EXPECT_TRUE(h.TakeWritten().empty());

    QFile log(h.Dir() + "debug.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_EQ(lines.size(), 6); // five lines and the empty rest after the last line end
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i], "WriteReport:  05 21 C8 03 18 32 03 E8") << i;
}

TEST(Polling, SensorCountOutsideTheRadioButtonsLeavesTheColumns) {
    AppHarness h({.testMode = true});
    ASSERT_TRUE(h.WaitReading());
    auto fullReadWith = [&](uint16_t sensors) {
        h.Dlg().m_nPollState = 2;
        h.Tick();
        h.WaitReply();
        h.Tick();
        h.WaitReply();
        h.Bus().SetDropReplies(true);
        h.Tick(); // request 4 sent, its answer dropped
        DeviceStatus s = h.Bus().FirmwareState();
        s.NumberOfSensors = sensors;
        h.Bus().SendReport(protocol::EncodeInputReport(protocol::TypeConfigurationFlags, s));
        h.WaitReply();
        h.Bus().SetDropReplies(false);
        h.Tick();
        return h.Dlg().m_nPollState == 0;
    };

    ASSERT_TRUE(fullReadWith(0));
    EXPECT_TRUE(h.Ticked(1092));
    for (int id : {1028, 1029, 1030, 1031})
        EXPECT_FALSE(h.ShownIn(id)) << id;
    EXPECT_TRUE(h.ShownIn(1042));

    ASSERT_TRUE(fullReadWith(3));
    EXPECT_TRUE(h.Ticked(1095));
    for (int id : {1028, 1029, 1030})
        EXPECT_TRUE(h.ShownIn(id)) << id;
    EXPECT_FALSE(h.ShownIn(1031));

    ASSERT_TRUE(fullReadWith(7));
    for (int id = 1092; id <= 1096; ++id)
        EXPECT_FALSE(h.Ticked(id)) << id;
    for (int id : {1028, 1029, 1030})
        EXPECT_TRUE(h.ShownIn(id)) << id;
    EXPECT_FALSE(h.ShownIn(1031));
}
