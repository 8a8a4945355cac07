// Saving and recalling settings files: layout on disk, versions, every error,
// and what a stopped recall leaves in the record.

#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kbsettings-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
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

// A record in which no two neighbours in a file are alike, set in file order.
KeyboardSettings Distinct() {
    KeyboardSettings s;
    std::tie(s.LowThreshold, s.HighThreshold, s.IntervalTimer, s.AlarmTimer, s.CleanTimer,
             s.KeystrokeAlarmTrigger) = std::make_tuple(17, 300, 45, 0, 65535, 12000);
    std::tie(s.EnableTimer, s.EnableKeystroke, s.LedEnableStatus, s.BeeperEnableStatus,
             s.PowerOnWipe, s.DisableSensorLeft, s.DisableSensorReft, s.DisableSensorPressure,
             s.DisableSensor4, s.DisableBacklight, s.DisableConfig, s.DisableAutoSense,
             s.Ps2Keyboard, s.EnableReEnumeration) =
        std::make_tuple(0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1);
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

    KeyboardSettings recalled; // every keyed field unlike `saved`
    recalled.EnableKeystroke = 0;
    recalled.DisableSensorReft = recalled.DisableSensor4 = recalled.DisableConfig = 1;
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

    // The target is a directory: only a regular file is ever replaced, and
    // it is refused before anything is written.
    fs::create_directories(dir / "taken.set");
    Write("taken.set/keep", "keep");
    const std::string taken = (dir / "taken.set").string();
    r = SaveSettingsFile(taken, KeyboardSettings{});
    EXPECT_EQ(r.error, SaveError::NotAFile);
    EXPECT_EQ(r.message, "Unable to open file \"" + taken + "\"");
    EXPECT_EQ(Read(taken + "/keep"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

#ifndef _WIN32
// Saving keeps what it replaces: a user's file of the old temporary name,
// the permission bits, a symbolic link; a writable file in a folder that
// takes no new files is written in place.
TEST_F(SettingsFileTest, SaveKeepsWhatItReplaces) {
    const std::string userFile = Write("a.set.tmp", "mine");
    const std::string path = Write("a.set", "old");
    fs::permissions(path, fs::perms(0640));
    fs::create_directories(dir / "real");
    const std::string target = Write("real/b.set", "old");
    fs::create_symlink("real/b.set", dir / "link.set");
    ASSERT_EQ(SaveSettingsFile(path, Distinct()).error, SaveError::None);
    ASSERT_EQ(SaveSettingsFile((dir / "link.set").string(), Distinct()).error, SaveError::None);
    EXPECT_EQ(Read(userFile), "mine");
    EXPECT_EQ(static_cast<int>(fs::status(path).permissions()), 0640);
    EXPECT_TRUE(fs::is_symlink(dir / "link.set"));
    EXPECT_EQ(Read(target), Read(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 4); // no temporary left

    // As a user without the right to create files there (root may always).
    fs::create_directories(dir / "ro");
    const std::string inPlace = Write("ro/c.set", std::string(500, 'x'));
    const std::string readOnly = Write("d.set", "keep");
    fs::permissions(inPlace, fs::perms(0666));
    fs::permissions(readOnly, fs::perms(0444));
    fs::permissions(dir, fs::perms(0777));
    fs::permissions(dir / "ro", fs::perms(0555));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(10);
        const bool inPlaceSaved = SaveSettingsFile(inPlace, Distinct()).error == SaveError::None;
        const bool readOnlyRefused =
            SaveSettingsFile(readOnly, Distinct()).error == SaveError::CannotOpen;
        ::_exit((inPlaceSaved ? 0 : 1) | (readOnlyRefused ? 0 : 2));
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(inPlace), Read(path));
    EXPECT_EQ(Read(readOnly), "keep");
    fs::permissions(dir / "ro", fs::perms(0755));
}
#endif

// A name outside ASCII, saved over an existing file and recalled: Windows
// reads narrow names in its ANSI code page and refuses a plain rename over a
// file, so both need their own calls there.
TEST_F(SettingsFileTest, NonAsciiNameIsSavedOverAnExistingFileAndRecalled) {
    const std::u8string name = u8"Tastatur-\u00C4\u6F22.set";
    const fs::path file = dir / name;
    std::ofstream(file, std::ios::binary) << "old";
    const std::u8string utf8 = file.u8string();
    const std::string path(utf8.begin(), utf8.end());
    const std::string ascii = Write("ascii.set", "");
    ASSERT_EQ(SaveSettingsFile(path, Distinct()).error, SaveError::None);
    ASSERT_EQ(SaveSettingsFile(ascii, Distinct()).error, SaveError::None);
    EXPECT_EQ(Read(file), Read(ascii));
    KeyboardSettings recalled;
    EXPECT_EQ(RecallSettingsFile(path, recalled).error, RecallError::None);
    EXPECT_EQ(recalled.Block(), Distinct().Block());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2); // no temporary, no other name
}

TEST_F(SettingsFileTest, RecallReadsLfFilesAndAppliesValuesByPosition) {
    std::vector<std::string> values = Values(20, "0");
    values[0] = "  +12 HighThreshold"; // key ignored; blanks and sign accepted
    values[1] = "300 LowThreshold";
    values[2] = "-1";
    values[5] = "70000 trailing text";
    values[6] = "2 EnableTimer";
    values[7] = "0 EnableKeystroke" + std::string(82, ' '); // 99 characters: still a line
    // The version line is compared as a prefix.
    const std::string version = std::string(SettingsVersion6) + " saved on another machine";
    const std::string path = Write("lf.set", File(version, values, "\n"));
    KeyboardSettings s;
    EXPECT_EQ(RecallSettingsFile(path, s).error, RecallError::None);
    EXPECT_EQ(s.LowThreshold, 12);
    EXPECT_EQ(s.HighThreshold, 300);
    EXPECT_EQ(s.IntervalTimer, 65535);
    EXPECT_EQ(s.KeystrokeAlarmTrigger, 70000 % 65536);
    EXPECT_EQ(s.EnableTimer, 1);
    EXPECT_EQ(s.EnableKeystroke, 0);
}

TEST_F(SettingsFileTest, EachVersionReadsItsOwnValueLinesAndNoMore) {
    using S = DeviceStatus;
    const struct {
        const char* version;
        int values; // in the file, all 1
        RecallError error;
        uint8_t S::*last; // the last field read
        uint8_t S::*next; // the first field left as it was (0)
    } cases[] = {
        {SettingsVersion4, 15, RecallError::None, &S::DisableSensor4, &S::DisableBacklight},
        {SettingsVersion5, 18, RecallError::None, &S::DisableAutoSense, &S::Ps2Keyboard},
        {SettingsVersion5, 10, RecallError::NotEnoughLines, &S::BeeperEnableStatus,
         &S::PowerOnWipe},
        // Written before the re-enumeration switch existed.
        {SettingsVersion6, 19, RecallError::None, &S::Ps2Keyboard, &S::EnableReEnumeration},
        {SettingsVersion6, 18, RecallError::NotEnoughLines, &S::DisableAutoSense, &S::Ps2Keyboard},
    };
    for (const auto& c : cases) {
        std::vector<std::string> values = Values(c.values);
        if (c.values < 19 && c.error == RecallError::None) {
            values.push_back("not read at all");
        }
        const std::string path = Write("v.set", File(c.version, values));
        KeyboardSettings s;
        const RecallResult r = RecallSettingsFile(path, s);
        SCOPED_TRACE(std::string(c.version).substr(0, 1) + " with " + std::to_string(c.values));
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.message,
                  c.error == RecallError::None ? "" : "Not enough lines in file \"" + path + "\"");
        EXPECT_TRUE(r.FileOpened());
        EXPECT_EQ(r.linesApplied, c.values);
        EXPECT_EQ(s.LowThreshold, 1);
        EXPECT_EQ(s.*c.last, 1);
        EXPECT_EQ(s.*c.next, 0);
    }
}

TEST_F(SettingsFileTest, ErrorsKeepTheValuesBeforeThemAndNameTheFile) {
    std::vector<std::string> word = Values(20, "9"), empty = word, longLine = word;
    word[4] = "CleanTimer";
    empty[4] = "";
    longLine[4] = "9 CleanTimer " + std::string(87, '-') + "9"; // 101 characters
    const std::string v6 = SettingsVersion6;
    const struct {
        const char* name;
        std::string content; // empty: no such file
        RecallError error;
        const char *message, *afterPath;
        int applied;
    } cases[] = {
        {"absent.set", "", RecallError::CannotOpen, "Unable to open file", "", 0},
        // The message quotes the version line with its end.
        {"bad.set", File("7 Quindle Keyboard", Values(20)), RecallError::IncompatibleFormat,
         "Incompatible format in saved file", "\nVersion String = \"7 Quindle Keyboard\n\"", 0},
        // A line longer than 99 characters is no line of a settings file;
        // its rest is never taken for the next line.
        {"long.set", File(v6 + std::string(80, 'x'), Values(20)), RecallError::NotANumber,
         "Not a number in line of file", "", 0},
        {"longvalue.set", File(v6, longLine), RecallError::NotANumber,
         "Not a number in line of file", "", 4},
        {"word.set", File(v6, word), RecallError::NotANumber, "Not a number in line of file", "",
         4},
        {"empty.set", File(v6, empty), RecallError::NotANumber, "Not a number in line of file", "",
         4},
    };
    for (const auto& c : cases) {
        const std::string path =
            c.content.empty() ? (dir / c.name).string() : Write(c.name, c.content);
        KeyboardSettings s = Distinct();
        const RecallResult r = RecallSettingsFile(path, s);
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_EQ(r.message, c.message + (" \"" + path + "\"") + c.afterPath) << c.name;
        EXPECT_EQ(r.linesApplied, c.applied) << c.name;
        KeyboardSettings expected = Distinct();
        if (c.applied == 4) {
            expected.LowThreshold = expected.HighThreshold = expected.IntervalTimer =
                expected.AlarmTimer = 9;
        }
        EXPECT_EQ(s.Block(), expected.Block()) << c.name;
    }
}
