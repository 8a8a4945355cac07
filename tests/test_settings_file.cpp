// Saving and recalling settings files: layout on disk, versions, both ways of
// reading a value line, every error, and what a stopped recall leaves in the
// record.

#include "ScratchFolder.h"
#include "settings/SettingsFile.h"
#include "settings/VisibleText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test, public ScratchFolder {
protected:
    // A file of the given version line and value lines, each line ended by `eol`.
    static std::string File(const std::string& version, const std::vector<std::string>& values,
                            const std::string& eol = "\r\n") {
        std::string text = version + eol;
        for (const auto& v : values)
            text += v + eol;
        return text;
    }
};

// A record in which no two neighbours in a file are alike, set in file order,
// with the largest values that fit.
KeyboardSettings Distinct() {
    KeyboardSettings s;
    std::tie(s.LowThreshold, s.HighThreshold, s.IntervalTimer, s.AlarmTimer, s.CleanTimer,
             s.KeystrokeAlarmTrigger) = std::make_tuple(17, 255, 45, 0, 200, 65535);
    std::tie(s.EnableTimer, s.EnableKeystroke, s.LedEnableStatus, s.BeeperEnableStatus,
             s.PowerOnWipe, s.DisableSensorLeft, s.DisableSensorReft, s.DisableSensorPressure,
             s.DisableSensor4, s.DisableBacklight, s.DisableConfig, s.DisableAutoSense,
             s.Ps2Keyboard, s.EnableReEnumeration) =
        std::make_tuple(0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1);
    return s;
}

// A record in which every keyed field differs from Distinct().
KeyboardSettings Unlike() {
    KeyboardSettings s;
    s.EnableKeystroke = 0;
    s.DisableSensorReft = s.DisableSensor4 = s.DisableConfig = 1;
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, '\n');)
        lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

} // namespace

TEST_F(SettingsFileTest, SaveWritesVersionSixWithCrLfRecallRestoresEveryKeyFailuresAreTold) {
    // Saved over a longer old file, which must vanish whole, of a name outside
    // ASCII: Windows reads narrow names in its ANSI code page and refuses a
    // plain rename over a file, so both need their own calls there.
    const fs::path file = dir / u8"Tastatur-\u00C4\u6F22.set";
    const std::u8string utf8 = file.u8string();
    const std::string path(utf8.begin(), utf8.end());
    std::ofstream(file, std::ios::binary) << std::string(2000, 'x');
    ASSERT_EQ(SaveSettingsFile(path, Distinct()).error, SaveError::None);
    const std::string saved = Read(file);
    EXPECT_EQ(saved, "6 Quindle Keyboard Configuration Utility Settings\r\n"
                     "17 LowThreshold\r\n255 HighThreshold\r\n45 IntervalTimer\r\n"
                     "0 AlarmTimer\r\n200 CleanTimer\r\n65535 KeystrokeAlarmTrigger\r\n"
                     "0 EnableTimer\r\n1 EnableKeystroke\r\n0 LedEnableStatus\r\n"
                     "1 BeeperEnableStatus\r\n1 PowerOnWipe\r\n1 DisableSensorLeft\r\n"
                     "0 DisableSensorReft\r\n1 DisableSensorPressure\r\n0 DisableSensor4\r\n"
                     "1 DisableBacklight\r\n0 DisableConfig\r\n1 DisableAutoSense\r\n"
                     "1 Ps2Keyboard\r\n1 EnableReEnumeration\r\n");

    KeyboardSettings recalled;
    EXPECT_EQ(RecallSettingsFile(path, recalled).error, RecallError::None);
    EXPECT_EQ(recalled.Block(), Distinct().Block());
    // Read back both ways, with every line end and with a byte-order mark.
    const std::vector<std::string> lines = Lines(saved), values(lines.begin() + 1, lines.end());
    for (const char* bom : {"", "\xEF\xBB\xBF"})
        for (const char* eol : {"\r\n", "\n", "\r"})
            for (RecallReading reading : {RecallReading::ByPosition, RecallReading::Exact}) {
                SCOPED_TRACE(VisibleText(std::string(bom) + eol));
                recalled = Unlike();
                const RecallResult r = RecallSettingsFile(
                    Write("b.set", bom + File(lines[0], values, eol)), recalled, reading);
                EXPECT_EQ(r.error, RecallError::None) << r.message;
                EXPECT_EQ(r.linesApplied, 20);
                EXPECT_EQ(recalled.Block(), Distinct().Block());
            }

    // Only a regular file is ever replaced: a directory is refused before
    // anything is written.
    fs::create_directories(dir / "taken.set");
    Write("taken.set/keep", "keep");
    for (const auto& [name, error] : {std::pair{"no/such/x.set", SaveError::CannotOpen},
                                      std::pair{"taken.set", SaveError::NotAFile}}) {
        const SaveResult r = SaveSettingsFile(Path(name), KeyboardSettings{});
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(r.message, "Unable to open file \"" + Path(name) + "\"");
    }
    EXPECT_EQ(Read(Path("taken.set/keep")), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3); // no temporary, no other name
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
        SaveSettingsFile(readOnly, Distinct());
        ::_exit(inPlaceSaved ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(inPlace), Read(path));
    EXPECT_EQ(Read(readOnly), "keep");
    fs::permissions(dir / "ro", fs::perms(0755));
}
#endif

// Single value lines and whole files, read both ways. The window's reading
// takes the number a line begins with for the field of its position; the
// exact one takes digits and the line's own key only; neither takes a value
// its field cannot hold. Each version takes its own value lines and no more.
// A refused file leaves the lines before the refused one taken, and its
// message names the file and quotes the line as the eye would miss it.
TEST_F(SettingsFileTest, RecallReadsValueLinesAndVersionsBothWays) {
    using E = RecallError;
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "fifo.set").string().c_str(), 0600), 0);
#endif
    ASSERT_EQ(SaveSettingsFile(Path("saved.set"), Distinct()).error, SaveError::None);
    const std::vector<std::string> lines = Lines(Read(Path("saved.set")));
    // The version line and the first `count` of Distinct()'s value lines.
    const auto file = [&](const std::string& version, int count, const char* tail = nullptr) {
        std::vector<std::string> values(lines.begin() + 1, lines.begin() + 1 + count);
        if (tail)
            values.push_back(tail);
        return File(version, values);
    };
    // Distinct()'s file with value line `line` (from 1) replaced by `text`.
    const auto with = [&](int line, const std::string& text) {
        std::vector<std::string> values(lines.begin() + 1, lines.end());
        values[static_cast<std::size_t>(line - 1)] = text;
        return File(lines[0], values);
    };
    const std::string v6 = SettingsVersion6;
    const std::string longVersion = v6 + std::string(80, 'x');
    const std::string twelve = with(1, "12 LowThreshold");
    const struct {
        std::string content; // empty: no such file, or made above
        E byPosition, exact;
        int taken;             // value lines taken: before a refused one, or all of a file
        std::string says = ""; // in a refusal, after the file's name
        std::string same = ""; // a file read as this one, when it is
        const char* name = "v.set";
    } cases[] = {
        {with(1, "  12  LowThreshold \t"), E::None, E::None, 0, "", twelve},
        {with(1, "\t+12 HighThreshold"), E::None, E::NotANumber, 0, "", twelve},
        {with(1, "12 LowThreshold x"), E::None, E::WrongKey, 0, "", twelve},
        {with(1, "12abc LowThreshold"), E::None, E::NotANumber, 0, "", twelve},
        // Lines in another order, or a key twice.
        {with(2, "12 LowThreshold"), E::None, E::WrongKey, 1,
         "\nLine 3 = \"12 LowThreshold\"; line 3 is for HighThreshold", with(2, "12 HighThreshold")},
        // Saved before any keyboard was read, the starting values fit none.
        {with(1, "256 LowThreshold"), E::OutOfRange, E::OutOfRange, 0,
         "\nLine 2 = \"256 LowThreshold\"; LowThreshold takes 0 to 255"},
        {with(1, "-1 LowThreshold"), E::OutOfRange, E::NotANumber, 0},
        // Too long for 32 bits, it would wrap to a value that fits.
        {with(6, "4294967306 KeystrokeAlarmTrigger"), E::OutOfRange, E::OutOfRange, 5},
        // The window takes any other number as on.
        {with(7, "2 EnableTimer"), E::None, E::OutOfRange, 6, "", with(7, "1 EnableTimer")},
        {with(5, "\xEF\xBB\xBF" "200 CleanTimer"), E::NotANumber, E::NotANumber, 4,
         "\nLine 6 = \"\\uFEFF200 CleanTimer\""},
        // 101 characters: its rest is never taken for the next line. (Where
        // the limit lies: the long version line below, quoted to 99.)
        {with(5, "9 CleanTimer " + std::string(87, '-') + "9"), E::LineTooLong, E::LineTooLong, 4},
        {file(SettingsVersion4, 15, "not read at all"), E::None, E::None, 15},
        {file(SettingsVersion5, 18, "not read at all"), E::None, E::None, 18},
        // Written before the re-enumeration switch existed.
        {file(v6, 19), E::None, E::None, 19},
        {file(v6, 18), E::NotEnoughLines, E::NotEnoughLines, 18},
        {"", E::CannotOpen, E::CannotOpen, 0, "", "", "absent.set"},
        {"", E::CannotOpen, E::CannotOpen, 0, "", "", "fifo.set"},
        {file("\xE2\x80\x8B" "7 Quindle\tKeyboard", 20), E::IncompatibleFormat,
         E::IncompatibleFormat, 0, "\nVersion String = \"\\u200B7 Quindle\\tKeyboard\""},
        {file(longVersion, 20), E::LineTooLong, E::LineTooLong, 0,
         "\nLine 1 = \"" + longVersion.substr(0, 99) + "\""},
    };
    const std::map<E, std::string> what = {{E::NotANumber, "Not a number in line"},
                                           {E::OutOfRange, "Value out of range in line"},
                                           {E::WrongKey, "Wrong key in line"},
                                           {E::LineTooLong, "More than 99 characters in line"},
                                           {E::NotEnoughLines, "Not enough lines in file"},
                                           {E::CannotOpen, "Unable to open file"},
                                           {E::IncompatibleFormat, "Incompatible format"}};
    for (const auto& c : cases) {
        const std::string path = c.content.empty() ? Path(c.name) : Write(c.name, c.content);
        for (RecallReading reading : {RecallReading::ByPosition, RecallReading::Exact}) {
            const E error = reading == RecallReading::ByPosition ? c.byPosition : c.exact;
            SCOPED_TRACE("row " + std::to_string(&c - cases) +
                         (reading == RecallReading::Exact ? " exactly" : ""));
            KeyboardSettings s = Unlike();
            const RecallResult r = RecallSettingsFile(path, s, reading);
            EXPECT_EQ(r.error, error);
            if (error == E::None) {
                EXPECT_TRUE(r.message.empty());
            } else {
                EXPECT_EQ(r.message.rfind(what.at(error), 0), 0u) << r.message;
                EXPECT_NE(r.message.find("\"" + path + "\"" + c.says), std::string::npos)
                    << r.message;
            }
            const bool same = error == E::None && !c.same.empty();
            EXPECT_EQ(r.linesApplied, same ? 20 : c.taken);
            KeyboardSettings expected = Unlike();
            if (same)
                ASSERT_EQ(RecallSettingsFile(Write("same.set", c.same), expected).error, E::None);
            else
                CopyFileFields(Distinct(), c.taken, expected);
            EXPECT_EQ(s.Block(), expected.Block());
        }
    }
}

TEST(VisibleText, ShowsWhatTheEyeWouldMiss) {
    const std::pair<std::string, std::string> cases[] = {
        {"6 Quindle \xC3\x84\xE6\xBC\xA2 \xF0\x9F\x98\x80", "6 Quindle \xC3\x84\xE6\xBC\xA2 \xF0\x9F\x98\x80"},
        {"a\\b \"c\"", "a\\\\b \"c\""},
        {"\r\n\t\x01\x7F", "\\r\\n\\t\\x01\\x7F"},
        {"\xEF\xBB\xBF\xE2\x80\x8B\xC2\xA0\xE3\x80\x80", "\\uFEFF\\u200B\\u00A0\\u3000"},
        // Not UTF-8: a stray byte, an overlong sequence, a surrogate, a cut one.
        {"\xFF\xC0\xAF\xED\xA0\x80\xC3", "\\xFF\\xC0\\xAF\\xED\\xA0\\x80\\xC3"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(VisibleText(text), shown);
}
