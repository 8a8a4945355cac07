// kbconfig-cli: the keyboards' configuration from the command line, for
// scripts and benches. The same core as the window, without its tick.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "core/KeyboardSession.h"
#include "emulator/BusSelection.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <thread>

#ifdef _WIN32
#include "settings/Utf8File.h"
#include <windows.h>
#else
#include <pthread.h>
#endif

#ifndef KBCONFIG_VERSION
#define KBCONFIG_VERSION "0"
#endif

namespace {

constexpr const char* Description =
    "Reads, saves, applies and stores the configuration of the keyboards on this "
    "machine, and watches their sensors.";

constexpr const char* Footer =
    "Run 'kbconfig-cli COMMAND --help' for the options of a command.\n"
    "Exit codes: 0 done, 1 usage error, 2 no keyboard, 3 keyboard present but not "
    "permitted, 4 no answer or the read-back differs, 5 settings-file or state-file error, 6 another "
    "program is changing the keyboard.";

// The longest --count and --wait: plain numbers in the help, and far beyond
// any use.
constexpr unsigned MaxCount = 1000000000;
constexpr unsigned MaxWaitSeconds = 86400;
constexpr unsigned MinIntervalMs = 10;
constexpr unsigned MaxIntervalMs = 60000;

// A number from `least` to `most` in decimal digits and nothing else. CLI11
// on its own reads "0x10" as hex, "010" as octal and " 2" as 2: the number
// goes on to it without leading zeros.
CLI::Validator DecimalRange(unsigned least, unsigned most) {
    const std::string range = std::to_string(least) + " to " + std::to_string(most);
    return {[least, most, range](std::string& text) {
                unsigned long long value = 0;
                const char* end = text.data() + text.size();
                const auto [stop, error] = std::from_chars(text.data(), end, value);
                if (error != std::errc() || stop != end || value < least || value > most)
                    return "\"" + text + "\" is not a decimal number from " + range;
                text = std::to_string(value);
                return std::string();
            },
            "UINT in [" + std::to_string(least) + " - " + std::to_string(most) + "]"};
}

// SIGINT and SIGTERM end a monitor cleanly: a thread of its own waits for
// them (they are blocked in every other thread) and wakes every wait of the
// session, which then stops its reader and closes its log as at any end.
// On Windows, Ctrl+C and Ctrl+Break call a handler on a thread of their own,
// which does the same.
class StopSignals {
public:
    StopSignals() {
#ifdef _WIN32
        SetConsoleCtrlHandler(
            [](DWORD) -> BOOL {
                KeyboardSession::InterruptAll();
                return TRUE;
            },
            TRUE);
#else
        sigemptyset(&m_signals);
        for (int s : {SIGINT, SIGTERM, SIGUSR1})
            sigaddset(&m_signals, s);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr); // inherited by later threads
        m_thread = std::thread([this] {
            for (int signal = 0; sigwait(&m_signals, &signal) == 0;) {
                if (signal != SIGUSR1) {
                    KeyboardSession::InterruptAll();
                    return;
                }
                if (m_done)
                    return;
            }
        });
#endif
    }
    ~StopSignals() {
#ifndef _WIN32
        m_done = true;
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
#endif
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
#ifndef _WIN32
    sigset_t m_signals{};
    std::thread m_thread;
    std::atomic<bool> m_done{false};
#endif
};

CLI::Option* AddDevice(CLI::App* command, CommandLine& line) {
    // An empty path (an unset variable in a script) names no keyboard; it
    // must not stand for the first one.
    const CLI::Validator notEmpty(
        [](const std::string& path) {
            return path.empty() ? std::string("an empty path names no keyboard") : std::string();
        },
        "PATH");
    return command
        ->add_option("--device", line.device,
                     "the keyboard's configuration interface, as 'list' shows it "
                     "(default: the first keyboard found)")
        ->check(notEmpty);
}

// For the commands that change a keyboard.
void AddWait(CLI::App* command, CommandLine& line) {
    command
        ->add_option("--wait", line.waitSeconds,
                     "seconds to wait while another program is changing the keyboard, then "
                     "give up with exit code 6")
        ->capture_default_str()
        ->check(DecimalRange(0, MaxWaitSeconds));
}

void AddLog(CLI::App* command, CommandLine& line) {
    command->add_option("--log", line.logPath,
                        "write the message log (every report written and read) to FILE");
}

void AddStore(CLI::App* command, CommandLine& line) {
    command->add_flag("--store", line.store,
                      "then tell the keyboard to keep the settings across a power cycle");
}

#ifdef _WIN32
// The arguments in UTF-8, last first as CLI11 takes them: the narrow argv
// holds them in the ANSI code page, which cannot name every file.
std::vector<std::string> Utf8Arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = count - 1; i > 0; --i)
        arguments.push_back(Utf8Text(wide[i]));
    LocalFree(wide);
    return arguments;
}
#endif

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    CLI::App app(Description, "kbconfig-cli");
    app.set_version_flag("--version", std::string("kbconfig-cli ") + KBCONFIG_VERSION);
    app.require_subcommand(1, 1);
    // Options start with '-' everywhere: CLI11 would take "/..." for an option
    // on Windows, where it is a path from the drive's root.
    app.allow_windows_style_options(false);
    app.footer(Footer);

    bool json = false, csv = false;

    CLI::App* list = app.add_subcommand(
        "list", "List the keyboards on the bus: path, product ID, whether they may be opened.");
    list->add_flag("--json", json, "print JSON");
    AddLog(list, line);

    CLI::App* show = app.add_subcommand(
        "show",
        "Read the keyboard's whole configuration and its live status and print every field.");
    AddDevice(show, line);
    show->add_flag("--json", json, "print JSON");
    AddLog(show, line);

    CLI::App* save = app.add_subcommand(
        "save", "Read the keyboard's configuration and write it as a settings file (version 6).");
    save->add_option("FILE", line.file, "settings file to write")->required();
    AddDevice(save, line);
    AddLog(save, line);

    CLI::App* apply = app.add_subcommand(
        "apply", "Send a settings file's settings to the keyboard (its ID number stays), read "
                 "them back and compare.");
    apply->add_option("FILE", line.file, "settings file to read")->required();
    CLI::Option* applyDevice = AddDevice(apply, line);
    auto* all =
        apply->add_flag("--all", line.all, "every keyboard on the bus, one result line each");
    all->excludes(applyDevice);
    AddStore(apply, line);
    AddWait(apply, line);
    AddLog(apply, line);

    CLI::App* set = app.add_subcommand(
        "set", "Change named settings (the settings file's keys and IdNumber), read them back "
               "and compare.");
    set->add_option("KEY=VALUE", line.assignments, "settings to change")->required();
    AddDevice(set, line);
    AddStore(set, line);
    AddWait(set, line);
    AddLog(set, line);

    CLI::App* store =
        app.add_subcommand("store", "Tell the keyboard to keep its settings across a power cycle.");
    AddDevice(store, line);
    AddWait(store, line);
    AddLog(store, line);

    CLI::App* monitor = app.add_subcommand(
        "monitor", "Print the live status (sensor levels, keystrokes, LED, beeper, cleaning) "
                   "line by line, and the keyboard's event reports, until interrupted.");
    AddDevice(monitor, line);
    auto* monitorJson = monitor->add_flag("--json", json, "one JSON object a line");
    monitor->add_flag("--csv", csv, "comma-separated values with a header line")
        ->excludes(monitorJson);
    monitor->add_option("--count", line.count, "stop after N status lines")
        ->check(DecimalRange(1, MaxCount));
    monitor
        ->add_option("--interval", line.intervalMs,
                     "milliseconds from one status request to the next")
        ->capture_default_str()
        ->check(DecimalRange(MinIntervalMs, MaxIntervalMs));
    AddLog(monitor, line);

    try {
#ifdef _WIN32
        (void)argc;
        (void)argv;
        SetConsoleOutputCP(CP_UTF8); // paths are printed as UTF-8
        app.parse(Utf8Arguments());
#else
        app.parse(argc, argv);
#endif
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        PrintError(e.what());
        return ExitUsage;
    }

    line.command = app.get_subcommands().front()->get_name();
    line.format = json ? OutputFormat::Json : csv ? OutputFormat::Csv : OutputFormat::Text;

    // Signals are blocked before the bus starts any thread.
    std::unique_ptr<StopSignals> signals;
    if (line.command == "monitor")
        signals = std::make_unique<StopSignals>();
    BusChoice bus = ChooseBusFromEnvironment();
    if (!bus.bus) {
        PrintError(bus.error);
        return bus.problem == BusChoice::Problem::Variable ? ExitUsage : ExitFileError;
    }
    line.stateFile = bus.stateFile;
    return RunCommand(line, std::move(bus.bus));
}
