// The "Save" and "Recall" buttons through the prompt seam: the dialogs they
// ask for, the messages, and what a recall asks the polling to do.

#include "test_app_harness.h"

#include "settings/KeyboardSettings.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// Unlocked, without a keyboard: Simulate keeps the window unlockable.
struct UnlockedWindow {
    PromptsScope scope;
    AppHarness h{{.testMode = true, .pluggedIn = false}};
    UnlockedWindow(bool unlocked = true) { h.Dlg().SetConfigurationUnlocked(unlocked); }
    ScriptedPrompts& prompts() { return scope.prompts; }
};

} // namespace

TEST(SaveButton, AsksForTheFileAndWritesTheRecord) {
    UnlockedWindow w;
    const QString path = w.h.Dir() + "mine.set";
    w.prompts().savePath = path;
    g_settings.LowThreshold = 300;
    g_settings.EnableReEnumeration = 1;
    w.h.Click(4);

    ASSERT_EQ(w.prompts().saveRequests.size(), 1u);
    const FileDialogRequest& r = w.prompts().saveRequests[0];
    EXPECT_EQ(r.title, "Select Configuration File");
    EXPECT_EQ(r.defaultSuffix, "set");
    EXPECT_EQ(r.initialName, "zarn.set");
    EXPECT_EQ(r.initialDirectory, w.h.Dir());
    EXPECT_EQ(r.filters, QStringList({"Config files (*.set)", "All Files (*.*)"}));
    EXPECT_TRUE(w.prompts().messages.empty());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith(
        "6 Quindle Keyboard Configuration Utility Settings\r\n300 LowThreshold\r\n"));
    EXPECT_EQ(content.count("\r\n"), 21);
    EXPECT_TRUE(content.endsWith("1 EnableReEnumeration\r\n"));
    // Saving asks the keyboard nothing.
    EXPECT_FALSE(w.h.Dlg().m_bRereadPending || w.h.Dlg().m_bThresholdsPending);
}

TEST(SaveButton, FailureIsShownWithTheErrorIcon) {
    UnlockedWindow w;
    const QString path = w.h.Dir() + "missing-dir/x.set";
    w.prompts().savePath = path;
    w.h.Click(4);
    ASSERT_EQ(w.prompts().messages.size(), 1u);
    EXPECT_EQ(w.prompts().messages[0].title, "Error in Saving Configuration");
    EXPECT_EQ(w.prompts().messages[0].icon, Prompts::Icon::Error);
    EXPECT_TRUE(w.prompts().messages[0].text.contains("\"" + path + "\""));
}

TEST(SaveButton, CancelDoesNothing) {
    UnlockedWindow w;
    w.h.Click(4);
    EXPECT_EQ(w.prompts().saveRequests.size(), 1u);
    EXPECT_TRUE(w.prompts().messages.empty());
    EXPECT_TRUE(QDir(w.h.Dir()).entryList({"*.set"}).isEmpty());
}

TEST(RecallButton, SaveThenRecallRestoresEveryKeyAndAsksForSendsAndReread) {
    UnlockedWindow w;
    const QString path = w.h.Dir() + "round.set";
    KeyboardSettings chosen;
    chosen.LowThreshold = 11;
    chosen.HighThreshold = 222;
    chosen.IntervalTimer = 7;
    chosen.AlarmTimer = 0;
    chosen.CleanTimer = 90;
    chosen.KeystrokeAlarmTrigger = 4000;
    chosen.EnableTimer = 0;
    chosen.EnableKeystroke = 0;
    chosen.LedEnableStatus = 0;
    chosen.BeeperEnableStatus = 1;
    chosen.PowerOnWipe = 1;
    chosen.DisableSensorLeft = 1;
    chosen.DisableSensorReft = 1;
    chosen.DisableSensorPressure = 1;
    chosen.DisableSensor4 = 1;
    chosen.DisableBacklight = 1;
    chosen.DisableConfig = 1;
    chosen.DisableAutoSense = 1;
    chosen.Ps2Keyboard = 1;
    g_settings = chosen;
    w.prompts().savePath = path;
    w.h.Click(4);

    g_settings = KeyboardSettings{};
    w.prompts().openPath = path;
    w.h.Click(5);
    ASSERT_EQ(w.prompts().openRequests.size(), 1u);
    const FileDialogRequest& r = w.prompts().openRequests[0];
    EXPECT_EQ(r.title, "Recall Configuration File");
    EXPECT_EQ(r.initialName, "zarn.set");
    EXPECT_EQ(r.initialDirectory, w.h.Dir());
    EXPECT_EQ(r.filters, QStringList({"Config files (*.set)", "All Files (*.*)"}));
    EXPECT_TRUE(w.prompts().messages.empty());

    EXPECT_EQ(g_settings.LowThreshold, 11);
    EXPECT_EQ(g_settings.HighThreshold, 222);
    EXPECT_EQ(g_settings.KeystrokeAlarmTrigger, 4000);
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(g_settings.DisableAutoSense, 1);
    EXPECT_EQ(g_settings.Ps2Keyboard, 1);
    EXPECT_EQ(g_settings.IdNumber, KeyboardSettings{}.IdNumber); // not in the file

    CKeyboardConfigDlg& dlg = w.h.Dlg();
    EXPECT_TRUE(dlg.m_bOptionsPending && dlg.m_bThresholdsPending && dlg.m_bIdNumberPending);
    EXPECT_TRUE(dlg.m_bRereadPending);
}

TEST(RecallButton, LockedRecallOnlyAsksForTheReread) {
    UnlockedWindow w(false);
    const QString path = w.h.Dir() + "a.set";
    w.prompts().savePath = path;
    w.h.Dlg().SetConfigurationUnlocked(true);
    w.h.Click(4);
    w.h.Dlg().SetConfigurationUnlocked(false);

    w.prompts().openPath = path;
    w.h.Dlg().SetConfigurationUnlocked(true);
    w.h.Dlg().SetConfigurationUnlocked(false);
    // The button is disabled while locked; the handler is reached through it
    // only when enabled, so enable it alone for this check.
    w.h.Dlg().Control(5)->setEnabled(true);
    w.h.Click(5);
    CKeyboardConfigDlg& dlg = w.h.Dlg();
    EXPECT_TRUE(dlg.m_bRereadPending);
    EXPECT_FALSE(dlg.m_bOptionsPending || dlg.m_bThresholdsPending || dlg.m_bIdNumberPending);
}

TEST(RecallButton, ErrorsAfterOpeningAskForTheRereadButNeverForSends) {
    struct Broken {
        const char* name;
        QByteArray content;
        const char* message; // start of the expected text
        uint16_t cleanTimerAfter;
    };
    const QByteArray v6 = "6 Quindle Keyboard Configuration Utility Settings\r\n";
    const QByteArray fourLines =
        "1 LowThreshold\r\n2 HighThreshold\r\n3 IntervalTimer\r\n4 AlarmTimer\r\n";
    const Broken cases[] = {
        {"short.set", "5 Quindle Keyboard Configuration Utility Settings\n" + fourLines,
         "Not enough lines in file", 50},
        {"letters.set", v6 + fourLines + "abc CleanTimer\r\n", "Not a number in line of file", 50},
        {"version.set", "7 Quindle Keyboard Configuration Utility Settings\r\n" + fourLines,
         "Incompatible format in saved file", 50},
    };
    for (const Broken& c : cases) {
        UnlockedWindow w;
        const QString path = w.h.Dir() + c.name;
        WriteFile(path, c.content);
        w.prompts().openPath = path;
        w.h.Click(5);
        ASSERT_EQ(w.prompts().messages.size(), 1u) << c.name;
        const auto& shown = w.prompts().messages[0];
        EXPECT_EQ(shown.title, "Error in Restore Configuration") << c.name;
        EXPECT_EQ(shown.icon, Prompts::Icon::Error) << c.name;
        EXPECT_TRUE(shown.text.startsWith(c.message)) << qPrintable(shown.text);
        EXPECT_TRUE(shown.text.contains("\"" + path + "\"")) << c.name;
        EXPECT_EQ(g_settings.CleanTimer, c.cleanTimerAfter) << c.name;

        CKeyboardConfigDlg& dlg = w.h.Dlg();
        EXPECT_TRUE(dlg.m_bRereadPending) << c.name;
        EXPECT_FALSE(dlg.m_bOptionsPending || dlg.m_bThresholdsPending || dlg.m_bIdNumberPending)
            << c.name;
    }
}

TEST(RecallButton, UnopenableFileOrCancelAsksForNothing) {
    UnlockedWindow w;
    const QString path = w.h.Dir() + "absent.set";
    w.prompts().openPath = path;
    w.h.Click(5);
    ASSERT_EQ(w.prompts().messages.size(), 1u);
    EXPECT_EQ(w.prompts().messages[0].text, "Unable to open file \"" + path + "\"");
    EXPECT_EQ(w.prompts().messages[0].title, "Error in Restore Configuration");
    EXPECT_EQ(w.prompts().messages[0].icon, Prompts::Icon::Error);

    w.prompts().openPath.clear();
    w.h.Click(5);
    EXPECT_EQ(w.prompts().messages.size(), 1u);
    CKeyboardConfigDlg& dlg = w.h.Dlg();
    EXPECT_FALSE(dlg.m_bRereadPending || dlg.m_bOptionsPending || dlg.m_bThresholdsPending ||
                 dlg.m_bIdNumberPending);
}

TEST(RecallButton, RecalledSettingsReachTheKeyboardAndAreReadBack) {
    PromptsScope scope;
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    h.Click(6);
    const QString path = h.Dir() + "send.set";
    WriteFile(
        path,
        "6 Quindle Keyboard Configuration Utility Settings\r\n"
        "42 LowThreshold\r\n142 HighThreshold\r\n5 IntervalTimer\r\n12 AlarmTimer\r\n"
        "60 CleanTimer\r\n2500 KeystrokeAlarmTrigger\r\n1 EnableTimer\r\n0 EnableKeystroke\r\n"
        "1 LedEnableStatus\r\n1 BeeperEnableStatus\r\n1 PowerOnWipe\r\n0 DisableSensorLeft\r\n"
        "0 DisableSensorReft\r\n0 DisableSensorPressure\r\n0 DisableSensor4\r\n"
        "0 DisableBacklight\r\n0 DisableConfig\r\n0 DisableAutoSense\r\n0 Ps2Keyboard\r\n"
        "0 EnableReEnumeration\r\n");
    scope.prompts.openPath = path;
    h.Click(5);
    h.TakeWritten();

    std::vector<int> sent;
    for (int i = 0; i < 12 && sent.size() < 6; ++i) {
        h.Tick();
        for (int code : h.TakeCommands())
            sent.push_back(code);
        h.WaitReply();
    }
    EXPECT_EQ(sent, (std::vector<int>{7, 5, 6, 802, 803, 804}));
    const DeviceStatus firmware = h.Bus().FirmwareState();
    EXPECT_EQ(firmware.LowThreshold, 42);
    EXPECT_EQ(firmware.KeystrokeAlarmTrigger, 2500);
    EXPECT_EQ(firmware.EnableKeystroke, 0);
    EXPECT_EQ(firmware.PowerOnWipe, 1);
    EXPECT_EQ(g_settings.LowThreshold, 42);
    EXPECT_EQ(g_settings.HighThreshold, 142);
}
