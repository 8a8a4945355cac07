// Saving and recalling settings files: layout on disk, versions, every error,
// and what a stopped recall leaves in the record.

#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kbsettings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // A file of the given version line and value lines, each line ended by `eol`.
    static std::string File(const std::string& version, const std::vector<std::string>& values,
                            const std::string& eol = "\r\n") {
        std::string text = version + eol;
        for (const auto& v : values) {
            text += v + eol;
        }
        return text;
    }
    static std::vector<std::string> Values(int count, const std::string& value = "1") {
        return std::vector<std::string>(static_cast<std::size_t>(count), value + " Key");
    }

    fs::path dir;
};

KeyboardSettings Distinct() {
    KeyboardSettings s;
    s.LowThreshold = 17;
    s.HighThreshold = 300;
    s.IntervalTimer = 45;
    s.AlarmTimer = 0;
    s.CleanTimer = 65535;
    s.KeystrokeAlarmTrigger = 12000;
    s.EnableTimer = 0;
    s.EnableKeystroke = 1;
    s.LedEnableStatus = 0;
    s.BeeperEnableStatus = 1;
    s.PowerOnWipe = 1;
    s.DisableSensorLeft = 1;
    s.DisableSensorReft = 0;
    s.DisableSensorPressure = 1;
    s.DisableSensor4 = 0;
    s.DisableBacklight = 1;
    s.DisableConfig = 0;
    s.DisableAutoSense = 1;
    s.Ps2Keyboard = 1;
    s.EnableReEnumeration = 1;
    return s;
}

} // namespace

TEST_F(SettingsFileTest, SaveWritesVersionSixWithCrLfAndRecallRestoresEveryKey) {
    // Saved over a longer old file, which must vanish whole.
    const std::string path = Write("a.set", std::string(2000, 'x'));
    const KeyboardSettings saved = Distinct();
    ASSERT_EQ(SaveSettingsFile(path, saved).error, SaveError::None);

    EXPECT_EQ(Read(path), "6 Quindle Keyboard Configuration Utility Settings\r\n"
                          "17 LowThreshold\r\n300 HighThreshold\r\n45 IntervalTimer\r\n"
                          "0 AlarmTimer\r\n65535 CleanTimer\r\n12000 KeystrokeAlarmTrigger\r\n"
                          "0 EnableTimer\r\n1 EnableKeystroke\r\n0 LedEnableStatus\r\n"
                          "1 BeeperEnableStatus\r\n1 PowerOnWipe\r\n1 DisableSensorLeft\r\n"
                          "0 DisableSensorReft\r\n1 DisableSensorPressure\r\n0 DisableSensor4\r\n"
                          "1 DisableBacklight\r\n0 DisableConfig\r\n1 DisableAutoSense\r\n"
                          "1 Ps2Keyboard\r\n1 EnableReEnumeration\r\n");

    EXPECT_FALSE(fs::exists(path + ".tmp"));

    KeyboardSettings recalled; // defaults differ from `saved` in every keyed field
    const RecallResult r = RecallSettingsFile(path, recalled);
    EXPECT_EQ(r.error, RecallError::None);
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(r.linesApplied, 20);
    EXPECT_EQ(recalled.Block(), saved.Block());
}

TEST_F(SettingsFileTest, SaveFailuresAreReportedAndKeepWhatWasThere) {
    const std::string missingDir = (dir / "no" / "such" / "x.set").string();
    SaveResult r = SaveSettingsFile(missingDir, KeyboardSettings{});
    EXPECT_EQ(r.error, SaveError::CannotOpen);
    EXPECT_EQ(r.message, "Unable to open file \"" + missingDir + "\"");

    // The target is a directory with content: the final replace fails, and
    // the failure is reported instead of passing silently.
    fs::create_directories(dir / "taken.set");
    Write("taken.set/keep", "keep");
    const std::string taken = (dir / "taken.set").string();
    r = SaveSettingsFile(taken, KeyboardSettings{});
    EXPECT_EQ(r.error, SaveError::WriteFailed);
    EXPECT_EQ(r.message, "Unable to write file \"" + taken + "\"");
    EXPECT_EQ(Read(taken + "/keep"), "keep");
    EXPECT_FALSE(fs::exists(taken + ".tmp"));
}

TEST_F(SettingsFileTest, RecallReadsLfFilesAndAppliesValuesByPosition) {
    std::vector<std::string> values = Values(20, "0");
    values[0] = "  +12 HighThreshold"; // key ignored; blanks and sign accepted
    values[1] = "300 LowThreshold";
    values[2] = "-1";
    values[5] = "70000 trailing text";
    values[6] = "2 EnableTimer";
    const std::string path = Write("lf.set", File(SettingsVersion6, values, "\n"));
    KeyboardSettings s;
    EXPECT_EQ(RecallSettingsFile(path, s).error, RecallError::None);
    EXPECT_EQ(s.LowThreshold, 12);
    EXPECT_EQ(s.HighThreshold, 300);
    EXPECT_EQ(s.IntervalTimer, 65535);
    EXPECT_EQ(s.KeystrokeAlarmTrigger, 70000 % 65536);
    EXPECT_EQ(s.EnableTimer, 1);
    EXPECT_EQ(s.EnableKeystroke, 0);
}

TEST_F(SettingsFileTest, OlderVersionsReadTheirLinesAndLeaveTheRest) {
    // Version 4 carries 15 values; the lines after them are never read.
    KeyboardSettings s = Distinct();
    const DeviceStatus before = s.Block();
    std::vector<std::string> values = Values(15, "1");
    values.push_back("not read at all");
    RecallResult r = RecallSettingsFile(Write("v4.set", File(SettingsVersion4, values)), s);
    EXPECT_EQ(r.error, RecallError::None);
    EXPECT_EQ(r.linesApplied, 15);
    EXPECT_EQ(s.LowThreshold, 1);
    EXPECT_EQ(s.DisableSensor4, 1);
    EXPECT_EQ(s.DisableBacklight, before.DisableBacklight);
    EXPECT_EQ(s.DisableConfig, before.DisableConfig);
    EXPECT_EQ(s.DisableAutoSense, before.DisableAutoSense);
    EXPECT_EQ(s.Ps2Keyboard, before.Ps2Keyboard);
    EXPECT_EQ(s.EnableReEnumeration, before.EnableReEnumeration);

    // Version 5 cut short after 10 values: the ten stay applied.
    KeyboardSettings t = Distinct();
    const std::string cut = Write("v5.set", File(SettingsVersion5, Values(10, "5")));
    r = RecallSettingsFile(cut, t);
    EXPECT_EQ(r.error, RecallError::NotEnoughLines);
    EXPECT_EQ(r.message, "Not enough lines in file \"" + cut + "\"");
    EXPECT_TRUE(r.FileOpened());
    EXPECT_EQ(r.linesApplied, 10);
    EXPECT_EQ(t.BeeperEnableStatus, 1);
    EXPECT_EQ(t.LowThreshold, 5);
    EXPECT_EQ(t.PowerOnWipe, Distinct().PowerOnWipe);
}

TEST_F(SettingsFileTest, VersionSixWithNineteenValuesKeepsReEnumeration) {
    KeyboardSettings s;
    s.EnableReEnumeration = 1;
    const RecallResult r =
        RecallSettingsFile(Write("v6.set", File(SettingsVersion6, Values(19, "0"))), s);
    EXPECT_EQ(r.error, RecallError::None);
    EXPECT_EQ(s.Ps2Keyboard, 0);
    EXPECT_EQ(s.EnableReEnumeration, 1);

    // Eighteen values are not enough for version 6.
    EXPECT_EQ(RecallSettingsFile(Write("v6s.set", File(SettingsVersion6, Values(18))), s).error,
              RecallError::NotEnoughLines);
}

TEST_F(SettingsFileTest, VersionLineIsComparedAsPrefix) {
    KeyboardSettings s;
    const std::string extra = std::string(SettingsVersion6) + " saved on another machine";
    EXPECT_EQ(RecallSettingsFile(Write("p.set", File(extra, Values(20, "7"))), s).error,
              RecallError::None);
    EXPECT_EQ(s.LowThreshold, 7);

    // Anything else changes no field; the message quotes the line with its end.
    KeyboardSettings t = Distinct();
    const std::string bad = Write("bad.set", File("7 Quindle Keyboard", Values(20), "\r\n"));
    const RecallResult r = RecallSettingsFile(bad, t);
    EXPECT_EQ(r.error, RecallError::IncompatibleFormat);
    EXPECT_EQ(r.message, "Incompatible format in saved file \"" + bad +
                             "\"\nVersion String = \"7 Quindle Keyboard\n\"");
    EXPECT_EQ(t.Block(), Distinct().Block());
}

TEST_F(SettingsFileTest, NotANumberStopsAfterTheValuesBeforeIt) {
    for (const std::string& line : {std::string("CleanTimer"), std::string("")}) {
        KeyboardSettings s = Distinct();
        std::vector<std::string> values = Values(20, "9");
        values[4] = line;
        const std::string path = Write("nan.set", File(SettingsVersion6, values));
        const RecallResult r = RecallSettingsFile(path, s);
        EXPECT_EQ(r.error, RecallError::NotANumber) << line;
        EXPECT_EQ(r.message, "Not a number in line of file \"" + path + "\"");
        EXPECT_EQ(r.linesApplied, 4);
        EXPECT_EQ(s.AlarmTimer, 9);
        EXPECT_EQ(s.CleanTimer, Distinct().CleanTimer);
        EXPECT_EQ(s.KeystrokeAlarmTrigger, Distinct().KeystrokeAlarmTrigger);
    }
}

TEST_F(SettingsFileTest, LongVersionLineIsReadInPieces) {
    // 99 characters are one piece; the rest of the line is the first value line.
    const std::string longLine = std::string(SettingsVersion6) + std::string(80, 'x');
    KeyboardSettings s = Distinct();
    const RecallResult r = RecallSettingsFile(Write("long.set", File(longLine, Values(20))), s);
    EXPECT_EQ(r.error, RecallError::NotANumber);
    EXPECT_EQ(s.Block(), Distinct().Block());
}

TEST_F(SettingsFileTest, MissingFileCannotBeOpened) {
    KeyboardSettings s;
    const std::string path = (dir / "absent.set").string();
    const RecallResult r = RecallSettingsFile(path, s);
    EXPECT_EQ(r.error, RecallError::CannotOpen);
    EXPECT_FALSE(r.FileOpened());
    EXPECT_EQ(r.message, "Unable to open file \"" + path + "\"");
}

TEST(KeyboardSettingsRecord, StartsWithDefaultsOutsideTheKeyboardsRanges) {
    // Thresholds and levels start at 1000 and the trigger at 1100, so a
    // record the keyboard has not filled yet is recognisable.
    const KeyboardSettings s;
    EXPECT_EQ(s.LowThreshold, 1000);
    EXPECT_EQ(s.Sensor4Level, 1000);
    EXPECT_EQ(s.KeystrokeAlarmTrigger, 1100);
    EXPECT_EQ(s.AlarmTimer, 24);
    EXPECT_EQ(s.IdNumber, 1234);
    EXPECT_EQ(s.EnableTimer + s.EnableKeystroke + s.LedEnableStatus + s.BeeperEnableStatus, 3);
    EXPECT_FALSE(s.ReplyReceived || s.DevicePresent);
}
