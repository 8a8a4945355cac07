// apply: a settings file's fields laid over each keyboard's own configuration.

#include "cli/ApplyCommand.h"

#include "cli/CommandSupport.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <map>
#include <thread>

namespace {

struct ApplyOutcome {
    std::string path;
    Result result = Result::NoKeyboard;
    std::string detail;
    int exit = ExitDone; // set instead of `result` when the keyboard was not reached
};

// What the file carries: its first `lines` value lines.
struct FileFields {
    KeyboardSettings values;
    int lines = 0;
};

void ApplyTo(KeyboardSession& session, const CommandLine& line, const FileFields& file,
             ApplyOutcome& outcome) {
    // As a recall in the window: the file's fields over the keyboard's own
    // configuration (what an older file does not carry, and the ID number,
    // stay as the keyboard has them), then all three reports.
    outcome.result =
        session.ApplyFileFields(file.values, file.lines, line.store, outcome.detail);
}

// The logs of the keyboards served on threads of their own, joined in list
// order into the command's log.
void JoinLogs(const std::vector<FILE*>& logs, FILE* log) {
    for (FILE* own : logs) {
        if (own == log)
            continue;
        std::rewind(own);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), own)) > 0;)
            std::fwrite(buffer, 1, n, log);
        std::fclose(own);
    }
}

// One result line each on stdout, and for each failure one line on stderr.
int Report(const CommandLine& line, const std::vector<ApplyOutcome>& outcomes) {
    int exit = ExitDone;
    for (const ApplyOutcome& o : outcomes) {
        if (o.exit != ExitDone) {
            std::printf("%s: failed: %s\n", o.path.c_str(), o.detail.c_str());
            exit = std::max(exit, o.exit);
        } else if (o.result == Result::Done) {
            std::printf("%s: applied %s%s\n", o.path.c_str(), line.file.c_str(),
                        line.store ? " and stored" : "");
        } else {
            std::printf("%s: failed: %s\n", o.path.c_str(), Reason(o.result).c_str());
            exit = std::max(exit, Failed(o.path, o.result, o.detail));
        }
    }
    return exit;
}

int ApplyToAll(const CommandLine& line, const std::shared_ptr<HidBus>& bus, FILE* log,
               const FileFields& file) {
    std::vector<ApplyOutcome> outcomes;
    for (const std::string& path : KeyboardPaths(*bus, line))
        outcomes.push_back({path, Result::NoKeyboard, {}, ExitDone});
    if (outcomes.empty()) {
        PrintError("no keyboard found");
        return ExitNoKeyboard;
    }
    // Each lock file is taken once (the built-in keyboards share one), here,
    // before any keyboard is served; the keyboards of a lock held elsewhere
    // are left out.
    std::map<std::string, std::unique_ptr<KeyboardLock>> locks;
    for (ApplyOutcome& o : outcomes) {
        auto [at, fresh] = locks.try_emplace(bus->LockFile(o.path));
        if (fresh) {
            at->second = std::make_unique<KeyboardLock>();
            o.exit = LockKeyboard(*bus, o.path, line, *at->second);
        } else if (!at->second->HolderText().empty()) {
            o.exit = ExitLocked;
            PrintError(o.path + ": " + at->second->HolderText());
        }
        o.detail = at->second->HolderText();
    }

    // Every keyboard on a thread of its own, each with its own log.
    std::vector<FILE*> logs(outcomes.size(), log);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i].exit != ExitDone)
            continue;
        if (log)
            if (FILE* own = std::tmpfile())
                logs[i] = own;
        threads.emplace_back([&, i] {
            std::unique_ptr<KeyboardSession> session;
            outcomes[i].result = OpenAt(bus, outcomes[i].path, logs[i], session);
            if (session)
                ApplyTo(*session, line, file, outcomes[i]);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    JoinLogs(logs, log);
    return Report(line, outcomes);
}

} // namespace

int RunApply(const CommandLine& line, const std::shared_ptr<HidBus>& bus, FILE* log) {
    FileFields file;
    // Read exactly: a script's file that is not what it seems sends nothing.
    const RecallResult recalled =
        RecallSettingsFile(line.file, file.values, RecallReading::Exact);
    if (recalled.error != RecallError::None) {
        PrintError(OneLine(recalled.message));
        return ExitFileError;
    }
    file.lines = recalled.linesApplied;
    if (line.all)
        return ApplyToAll(line, bus, log, file);

    Opened opened;
    if (const int exit = OpenKeyboard(bus, line, true, log, opened); !opened.session)
        return exit;
    std::vector<ApplyOutcome> outcomes{{opened.path, Result::NoKeyboard, {}, ExitDone}};
    ApplyTo(*opened.session, line, file, outcomes[0]);
    return Report(line, outcomes);
}
