#include "cli/Commands.h"

#include "cli/ApplyCommand.h"
#include "cli/Assignments.h"
#include "cli/CommandSupport.h"
#include "cli/MonitorCommand.h"
#include "core/MessageLog.h"
#include "device/HidAccess.h"
#include "device/ReportProtocol.h"
#include "settings/SettingsFile.h"
#include "settings/Utf8File.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* NotAFile = ": not a regular file";

// The log file the command line names, opened (truncated) for the whole run.
class LogFile {
public:
    bool Open(const std::string& path) { return path.empty() || m_log.Open(path); }
    FILE* Stream() const { return m_log.Stream(); }

private:
    MessageLog m_log;
};

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The same file: the same path, or the same file reached another way (a
// link, another name of it).
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const auto normal = [&](const std::string& path) {
        return std::filesystem::absolute(PathOf(path), error).lexically_normal();
    };
    return normal(a) == normal(b) || std::filesystem::equivalent(PathOf(a), PathOf(b), error);
}

// What can be said against the command line without a keyboard: a usage
// error (ExitUsage) or a file that will not do (ExitFileError), each told in
// one line; ExitDone otherwise.
int CheckFiles(const CommandLine& line) {
    // What the command writes never replaces what it reads or the keyboards keep.
    constexpr const char* StateFile = "the built-in keyboards' state file";
    const struct {
        const char* output;
        std::string path;
        const char* what;
        std::string file;
    } clashes[] = {
        {"--log", line.logPath, "the settings file", line.file},
        {"--log", line.logPath, StateFile, line.stateFile},
        {"save", line.command == "save" ? line.file : std::string(), StateFile, line.stateFile},
    };
    for (const auto& c : clashes)
        if (!c.path.empty() && !c.file.empty() && SameFile(c.path, c.file)) {
            PrintError(std::string(c.output) + " \"" + c.path + "\" names " + c.what + " \"" +
                       c.file + "\"");
            return ExitUsage;
        }
    if (line.command == "save" && KindOfFile(line.file) == FileKind::Other) {
        PrintError("\"" + line.file + "\"" + NotAFile);
        return ExitFileError;
    }
    return ExitDone;
}

// ---- list -----------------------------------------------------------------

int RunList(const CommandLine& line, HidBus& bus) {
    const std::vector<KeyboardInterface> keyboards = FindKeyboards(bus);
    Json list = Json::array();
    bool anyOpens = false, anyDenied = false;
    for (const KeyboardInterface& keyboard : keyboards) {
        HidOpenError error = HidOpenError::None;
        const bool opens = bus.open(keyboard.path, &error) != nullptr;
        const bool denied = !opens && error == HidOpenError::PermissionDenied;
        anyOpens = anyOpens || opens;
        anyDenied = anyDenied || denied;
        const std::string access = opens    ? "ok"
                                   : denied ? std::string("not permitted") + PermissionHint
                                            : "cannot be opened";
        if (line.format == OutputFormat::Json)
            list.push_back({{"path", keyboard.path},
                            {"productId", keyboard.productId},
                            {"openable", opens},
                            {"access", access}});
        else
            std::printf("%s  %s  %s\n", keyboard.path.c_str(), Hex(keyboard.productId).c_str(),
                        access.c_str());
    }
    if (line.format == OutputFormat::Json)
        std::printf("%s\n", list.dump(2).c_str());
    if (keyboards.empty()) {
        PrintError("no keyboard found");
        return ExitNoKeyboard;
    }
    if (!anyOpens) {
        PrintError(anyDenied ? std::string("No Device") + PermissionHint
                             : "no keyboard can be opened");
        return anyDenied ? ExitNotPermitted : ExitNoKeyboard;
    }
    return ExitDone;
}

// ---- show, save, store, set -------------------------------------------------

int RunShow(const CommandLine& line, KeyboardSession& session, const std::string& path) {
    Result r = session.ReadConfiguration();
    if (r == Result::Done)
        r = session.Request(protocol::TypeLiveStatus);
    if (r != Result::Done)
        return Failed(path, r);
    const KeyboardSettings& record = session.Record();
    if (line.format == OutputFormat::Json) {
        Json fields = Json::object();
        for (const RecordField& field : RecordFields())
            fields[field.name] = FieldValue(field, record);
        const Json out = {{"path", path}, {"productId", session.ProductId()}, {"fields", fields}};
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%-22s %s\n%-22s %s\n", "Path", path.c_str(), "ProductId",
                    Hex(session.ProductId()).c_str());
        for (const RecordField& field : RecordFields())
            std::printf("%-22s %u\n", field.name, FieldValue(field, record));
    }
    return ExitDone;
}

int RunSave(const CommandLine& line, KeyboardSession& session, const std::string& path) {
    if (const Result r = session.ReadConfiguration(); r != Result::Done)
        return Failed(path, r);
    const SaveResult saved = SaveSettingsFile(line.file, session.Record());
    if (saved.error != SaveError::None) {
        PrintError(saved.message + (saved.error == SaveError::NotAFile ? NotAFile : ""));
        return ExitFileError;
    }
    std::printf("%s: saved to %s\n", path.c_str(), line.file.c_str());
    return ExitDone;
}

int RunStore(KeyboardSession& session, const std::string& path) {
    if (const Result r = session.Send(protocol::CmdStore, session.Record()); r != Result::Done)
        return Failed(path, r);
    std::printf("%s: stored\n", path.c_str());
    return ExitDone;
}

int RunSet(const CommandLine& line, KeyboardSession& session, const std::string& path,
           const std::vector<Assignment>& assignments) {
    // Only the reports that carry a named setting are sent.
    std::vector<uint8_t> commands;
    for (const Assignment& a : assignments)
        if (std::find(commands.begin(), commands.end(), a.field->command) == commands.end())
            commands.push_back(a.field->command);
    const auto overlay = [&](DeviceStatus& wanted) {
        for (const Assignment& a : assignments)
            SetFieldValue(*a.field, wanted, a.value);
    };
    std::string detail;
    if (const Result r = session.Change(overlay, commands, line.store, detail); r != Result::Done)
        return Failed(path, r, detail);
    std::printf("%s: set%s\n", path.c_str(), line.store ? " and stored" : "");
    return ExitDone;
}

} // namespace

int RunCommand(const CommandLine& line, std::shared_ptr<HidBus> bus) {
    // Everything that can be checked without the keyboard is checked first,
    // so that a mistake sends nothing.
    std::vector<Assignment> assignments;
    std::string error;
    if (line.command == "set" && !ParseAssignments(line.assignments, assignments, error)) {
        PrintError(error);
        return ExitUsage;
    }
    if (const int exit = CheckFiles(line); exit != ExitDone)
        return exit;
    LogFile log;
    if (!log.Open(line.logPath)) {
        PrintError("cannot open the log file \"" + line.logPath + "\"");
        return ExitUsage;
    }
    if (line.command == "list")
        return RunList(line, *bus);
    if (line.command == "apply")
        return RunApply(line, bus, log.Stream());

    // A command that changes the keyboard holds its lock from before the
    // first read to after the last check.
    const bool writes = line.command == "set" || line.command == "store";
    Opened opened;
    if (const int exit = OpenKeyboard(bus, line, writes, log.Stream(), opened); !opened.session)
        return exit;
    KeyboardSession& session = *opened.session;
    if (line.command == "show")
        return RunShow(line, session, opened.path);
    if (line.command == "save")
        return RunSave(line, session, opened.path);
    if (line.command == "store")
        return RunStore(session, opened.path);
    if (line.command == "set")
        return RunSet(line, session, opened.path, assignments);
    if (line.command == "monitor")
        return RunMonitor(line, opened, bus, log.Stream());
    PrintError("unknown command \"" + line.command + "\"");
    return ExitUsage;
}
