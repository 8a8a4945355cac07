// kbconfig-cli as a script uses it: the built program run against built-in
// keyboards whose stored settings live in a state file, so that what a
// command stored (or did not) is seen by the next one.

#include "ScratchFolder.h"
#include "device/RecordFields.h"
#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct Outcome {
    int exit = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test, public ScratchFolder {
protected:
    // kbconfig-cli with the built-in keyboards, their state file in the
    // test's folder, and `env` ("NAME=value ...").
    std::string Command(const std::string& args, const std::string& env = "") const {
        return "env KBCONFIG_DEVICE=emulator KBCONFIG_EMULATOR_STATE=state " + env + " '" +
               program + "' " + args;
    }

    // Runs the command in the test's folder; `shell` is put after it as it is.
    Outcome Cli(const std::string& args, const std::string& env = "",
                const std::string& shell = "") const {
        const std::string command =
            "cd '" + dir.string() + "' || exit 99; " + Command(args, env) + " >out 2>err " + shell;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(Path("out")), Read(Path("err"))};
    }

    // The keyboard's every field as show --json reports it.
    json Show(const std::string& args = "", const std::string& env = "") const {
        const Outcome run = Cli("show --json " + args, env);
        EXPECT_EQ(run.exit, 0) << run.err;
        return json::parse(run.out);
    }

    // "bench.set" as the window would save the keyboard's record with `changes`.
    void SettingsFile(const std::map<std::string, unsigned>& changes) {
        const json fields = Show()["fields"];
        KeyboardSettings record;
        for (const auto& [name, value] : fields.items())
            SetFieldValue(*FindRecordField(name), record, value.get<unsigned>());
        for (const auto& [name, value] : changes)
            SetFieldValue(*FindRecordField(name), record, value);
        ASSERT_EQ(SaveSettingsFile(Path("bench.set"), record).error, SaveError::None);
    }

    static void ExpectOneErrorLine(const Outcome& run) {
        EXPECT_EQ(run.err.rfind("kbconfig-cli: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }

    const std::string program = KBCONFIG_CLI;
};

TEST_F(CliTest, ShowListAndSaveDescribeTheKeyboard) {
    const json shown = Show();
    EXPECT_EQ(shown["path"], "emulator:1:config");
    EXPECT_EQ(shown["productId"], 0x0705);
    ASSERT_EQ(shown["fields"].size(), 33u);

    // save writes what the window's Save writes for the record read.
    SettingsFile({});
    const Outcome saved = Cli("save cli.set");
    ASSERT_EQ(saved.exit, 0) << saved.err;
    EXPECT_EQ(Read(Path("cli.set")), Read(Path("bench.set")));

    const Outcome listed = Cli("list --json", "KBCONFIG_EMULATOR_COUNT=3");
    ASSERT_EQ(listed.exit, 0);
    const json keyboards = json::parse(listed.out);
    ASSERT_EQ(keyboards.size(), 3u);
    EXPECT_EQ(keyboards[2], json({{"path", "emulator:3:config"},
                                  {"productId", 0x0707},
                                  {"openable", true},
                                  {"access", "ok"}}));
}

// What apply, set and store leave on the keyboard, seen by later commands.
// apply lays the file over the keyboard's own settings, as the window's
// recall does: the switches an older file does not carry stay. (What each
// version carries: SettingsFileTest.)
TEST_F(CliTest, ApplySetAndStoreReachTheKeyboard) {
    // The first and the last switch a version-4 file does not carry.
    ASSERT_EQ(Cli("set DisableBacklight=1 EnableReEnumeration=1 --store").exit, 0);
    SettingsFile({{"LowThreshold", 77}, {"PowerOnWipe", 1}});
    // Version 4 with its 15 value lines, as an editor may save it: a
    // byte-order mark, CR line ends.
    std::istringstream saved(Read(Path("bench.set")));
    std::string text = "\xEF\xBB\xBF" + std::string(SettingsVersion4) + "\r";
    std::string line;
    std::getline(saved, line);
    for (int i = 0; i < 15 && std::getline(saved, line); ++i)
        text += line;
    Write("old.set", text);
    const Outcome applied = Cli("apply old.set --store --log log.txt");
    ASSERT_EQ(applied.exit, 0) << applied.err;
    const std::string log = Read(Path("log.txt"));
    // Flags (the switches set above kept), thresholds (77 = 4D) and the
    // keyboard's own ID number (4711 = 12 67), each acknowledged, then the
    // read-back and the store, in that order.
    std::size_t at = 0;
    for (const char* step : {"WriteReport:  07 AE 20 00 01\n00 0A ", "WriteReport:  05 4D B4",
                             "WriteReport:  06 12 67\n00 0A ", "GetReport: 08 02",
                             "WriteReport:  09\n00 0A "}) {
        at = log.find(step, at);
        EXPECT_NE(at, std::string::npos) << step << " in order in\n" << log;
    }

    // What set sends is held between commands until the power goes; a
    // store, with set's --store or later, keeps it.
    const std::string powerCycle = "KBCONFIG_EMULATOR_FAULTS=power-cycle";
    ASSERT_EQ(Cli("set HighThreshold=200").exit, 0);
    EXPECT_EQ(Show("", powerCycle)["fields"]["HighThreshold"], 180);
    ASSERT_EQ(Cli("set HighThreshold=200").exit, 0);
    ASSERT_EQ(Cli("store").exit, 0);
    const Outcome set = Cli("set 'IdNumber= +42' DisableSensor4=1 --store");
    ASSERT_EQ(set.exit, 0) << set.err;
    const json f = Show("", powerCycle)["fields"];
    EXPECT_EQ(f["IdNumber"], 42);
    EXPECT_EQ(f["HighThreshold"], 200);
    EXPECT_EQ(f["DisableSensor4"], 1);
    EXPECT_EQ(f["LowThreshold"], 77);
}

// Stores made at once by two programs both stay: each reads, changes, writes
// and checks the keyboard while holding its lock.
TEST_F(CliTest, TwoWritersAtOnceKeepBothChanges) {
    int lost = 0;
    for (int i = 1; i <= 20; ++i) {
        const std::string low = std::to_string(i), high = std::to_string(100 + i);
        const std::string other = Command("set HighThreshold=" + high + " --store");
        ASSERT_EQ(Cli("set LowThreshold=" + low + " --store", "", "& " + other + " >/dev/null; wait").exit,
                  0);
        const json f = Show()["fields"];
        lost += (f["LowThreshold"] != i) + (f["HighThreshold"] != 100 + i);
    }
    EXPECT_EQ(lost, 0);
}

// A second writer waits --wait seconds for the first, then gives up with 6
// and names the holder; a reader is not held up. The first's keyboard never
// answers: it asks three times, holding the lock, then gives up.
TEST_F(CliTest, SecondWriterGivesUpNamingTheFirstWhichAsksThreeTimes) {
    const std::string first =
        Command("set LowThreshold=1 --log first.log", "KBCONFIG_EMULATOR_FAULTS=silent") +
        " >/dev/null 2>first.err & echo $! >pid; sleep 0.5";
    ASSERT_EQ(std::system(("cd '" + dir.string() + "' || exit 99; " + first).c_str()), 0);
    const auto start = std::chrono::steady_clock::now();
    const Outcome second = Cli("set HighThreshold=2 --wait 1");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(second.exit, 6);
    ExpectOneErrorLine(second);
    const std::string pid = Read(Path("pid")).substr(0, Read(Path("pid")).find('\n'));
    EXPECT_NE(second.err.find(": kbconfig-cli, process " + pid + ", is changing this keyboard"),
              std::string::npos)
        << second.err;
    EXPECT_GE(waited, std::chrono::seconds(1));
    EXPECT_LT(waited, std::chrono::seconds(3));
    EXPECT_EQ(Cli("store --wait 0").exit, 6);
    EXPECT_EQ(Cli("show").exit, 0);
    EXPECT_EQ(Cli("store --wait 0 --device emulator:2:config", "KBCONFIG_EMULATOR_COUNT=3").exit, 0);
    std::system(("while kill -0 " + pid + " 2>/dev/null; do sleep 0.2; done").c_str());
    ExpectOneErrorLine({4, "", Read(Path("first.err"))});
    const std::string log = Read(Path("first.log"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log; // and a last live request
    EXPECT_EQ(log.rfind("GetReport: 08 02\nGetReport: 08 02\nGetReport: 08 02\n", 0), 0u) << log;
}

// Refused commands: the exit code says why, and one error line, quoting what
// was refused; nothing is sent (no report in the message log) and nothing
// stored, and no file is written in the place of another. Only a regular file
// is saved over or read: a fifo stays as it is, and nothing waits on it.
TEST_F(CliTest, RefusalsSayWhyAndSendNothing) {
    ASSERT_EQ(Cli("set LowThreshold=99 --store").exit, 0);
    const std::string stored = Read(Path("state"));
    SettingsFile({});
    const std::string bench = Read(Path("bench.set"));
    fs::create_directory(dir / "sub");
    fs::create_hard_link(Path("bench.set"), Path("hard.set"));
    // bench.set with its first value line in the second's place.
    const std::size_t first = bench.find("99 LowThreshold");
    Write("order.set", bench.substr(0, first) + "180 HighThreshold" +
                           bench.substr(bench.find("\r\n", first)));
    const std::string notes = "2024 budget: 1000\nfood 300\n";
    Write("notes.txt", notes);
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo(Path("fifo.set").c_str(), 0600), 0);
    struct Case {
        std::string args, env;
        int exit;
        std::string says = ""; // a part of the error line
        bool quiet = true;     // nothing printed, sent or logged
    };
    std::vector<Case> cases = {
        // The command line itself.
        {"", "", 1},
        {"apply x.set --all --device emulator:1:config", "", 1},
        // An unset variable in a script names no keyboard, not the first one.
        {"set LowThreshold=1 --device \"\"", "", 1},
        {"store --wait 86401", "", 1, "\"86401\" is not"},
        // set: keys it may change, values the keyboard holds.
        {"set Nonsense=1 --store", "", 1},
        {"set HostModeEnable=1", "", 1},
        {"set LowThreshold=256", "", 1},
        // Numbers too long for a 32-bit value, which would wrap to one that fits.
        {"set LowThreshold=4294967306 --store", "", 1},
        {"set IdNumber=12ab", "", 1},
        {"set LowThreshold", "", 1},
        // The log never takes the settings file's or the state file's place:
        // the same path, another path to it, or another name of it.
        {"apply bench.set --log ./sub/../bench.set", "", 1},
        {"apply bench.set --log hard.set", "", 1},
        {"show --log state", "", 1, "--log \"state\" names the built-in keyboards' state file"},
        {"save ./state", "", 1, "save \"./state\" names the built-in keyboards' state file"},
        // The keyboards that are there.
        {"show --device emulator:9:config", "", 2},
        {"list", "KBCONFIG_DEVICE=none", 2},
        {"show", "KBCONFIG_EMULATOR_FAULTS=deny-open", 3},
        {"list", "KBCONFIG_EMULATOR_COUNT=0", 1, "KBCONFIG_EMULATOR_COUNT \"0\" is not a number"},
        // A state file that cannot serve, and a file that cannot be replaced.
        {"show", "KBCONFIG_EMULATOR_STATE=notes.txt", 5, "\"notes.txt\": not one (line 1"},
        {"show", "KBCONFIG_EMULATOR_STATE=folder", 5, "\"folder\": Is a directory"},
        {"store", "KBCONFIG_EMULATOR_STATE=fifo.set", 5, "\"fifo.set\": not a regular file"},
        {"save fifo.set", "", 5, "\"fifo.set\": not a regular file"},
        // apply reads a file as exactly as a script should: its key in each line.
        {"apply order.set --store", "", 5,
         "Wrong key in line 2 of file \"order.set\" Line 2 = \"180 HighThreshold\"; line 2 is "
         "for LowThreshold"},
        // Failures once the keyboards were listed or read.
        {"list", "KBCONFIG_EMULATOR_FAULTS=deny-open", 3, "", false},
        {"save no/such/folder/x.set", "", 5, "\"no/such/folder/x.set\"", false},
        // The keyboard without a beeper does not take one: the read-back differs.
        {"set BeeperEnableStatus=1", "KBCONFIG_EMULATOR_PRODUCT=0x0703", 4,
         "BeeperEnableStatus sent 1, keyboard has 0", false},
    };
    // Counts and times are decimal digits only.
    for (const std::string option : {"store --wait", "monitor --count", "monitor --interval"})
        for (const std::string number : {"0x2", "1e3", "", " 2", "+3", "-20"})
            cases.push_back({option + " '" + number + "'", "", 1, "\"" + number + "\" is not"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + " " + c.env);
        const bool logs = c.quiet && c.args.find("--log") == std::string::npos;
        const Outcome run = Cli(c.args + (logs ? " --log log.txt" : ""), c.env);
        EXPECT_EQ(run.exit, c.exit) << run.err;
        ExpectOneErrorLine(run);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        if (c.quiet) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(Read(Path("log.txt")), "");
            EXPECT_EQ(Read(Path("state")), stored);
        }
    }
    EXPECT_EQ(Read(Path("bench.set")), bench);
    EXPECT_EQ(Read(Path("notes.txt")), notes);
    EXPECT_TRUE(fs::is_fifo(Path("fifo.set")));
    // A state file of the older form, without a header: what was stored.
    Write("old", "1 LowThreshold=42\n");
    EXPECT_EQ(Show("", "KBCONFIG_EMULATOR_STATE=old")["fields"]["LowThreshold"], 42);
}

// The keyboard vanishes at its Kth report: reading (3), writing (5), reading
// back (8) or storing (10). Never a success, nothing stored.
TEST_F(CliTest, UnplugDuringApplyIsAFailure) {
    SettingsFile({{"LowThreshold", 33}});
    for (int k : {3, 5, 8, 10}) {
        SCOPED_TRACE(k);
        const Outcome run = Cli("apply bench.set --store",
                                "KBCONFIG_EMULATOR_FAULTS=unplug-at-write=" + std::to_string(k));
        EXPECT_EQ(run.exit, 4);
        EXPECT_NE(run.err.find("went away"), std::string::npos) << run.err;
        // Unplugged, it holds what it stored.
        EXPECT_EQ(Read(Path("state")).find("LowThreshold=33"), std::string::npos);
    }
    // With --all the others are served, each keeping its own ID number (read
    // with a live status report before every answer, which answers no
    // request), and the exit code still tells.
    const Outcome all =
        Cli("apply bench.set --all --store",
            "KBCONFIG_EMULATOR_COUNT=3 KBCONFIG_EMULATOR_FAULTS=unplug-at-write=5,chatter");
    EXPECT_EQ(all.exit, 4);
    EXPECT_EQ(all.out, "emulator:1:config: failed: the keyboard went away\n"
                       "emulator:2:config: applied bench.set and stored\n"
                       "emulator:3:config: applied bench.set and stored\n");
    EXPECT_EQ(Show("--device emulator:3:config", "KBCONFIG_EMULATOR_COUNT=3")["fields"]["IdNumber"],
              4713);
}

// Status lines at the interval, and a line each when the keyboard goes away
// and comes back; every CSV line has the header's columns.
TEST_F(CliTest, MonitorTellsAKeyboardLostAndBackAndStopsCleanly) {
    const Outcome run = Cli("monitor --csv --count 4 --interval 20",
                            "KBCONFIG_EMULATOR_FAULTS=unplug-at-write=3,replug-after=300");
    ASSERT_EQ(run.exit, 0) << run.err;
    std::istringstream lines(run.out);
    std::string kinds;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 10) << line;
        kinds += line.substr(line.find(',') + 1, line.find(',', line.find(',') + 1) -
                                                     line.find(',') - 1) + ";";
    }
    EXPECT_EQ(kinds, "kind;status;status;keyboard lost;keyboard back;status;status;");

    // SIGINT: exit 0, the message log complete (it ends with a whole line).
    // It is sent once the log has begun, when the signals are surely blocked
    // however slowly the program started.
    const Outcome stopped = Cli("monitor --json --interval 20 --log log.txt", "",
                                "& p=$!; for i in $(seq 200); do [ -s log.txt ] && break; "
                                "sleep 0.05; done; sleep 0.3; kill -INT $p; wait $p; exit $?");
    EXPECT_EQ(stopped.exit, 0) << stopped.err;
    // "2026-05-06T12:34:56.789+02:00": local time with milliseconds and offset.
    const std::regex isoTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    std::istringstream entries(stopped.out);
    int statusLines = 0;
    for (std::string line; std::getline(entries, line);) {
        const json entry = json::parse(line);
        EXPECT_TRUE(std::regex_match(entry["time"].get<std::string>(), isoTime)) << line;
        statusLines += entry["kind"] == "status" && entry.size() == 10u;
    }
    EXPECT_GE(statusLines, 4) << stopped.out;
    const std::string log = Read(Path("log.txt"));
    EXPECT_TRUE(!log.empty() && log.back() == '\n');
}

} // namespace
