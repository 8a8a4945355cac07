#include "cli/Commands.h"

#include "cli/Assignments.h"
#include "cli/AwaitKeyboard.h"
#include "core/KeyboardSession.h"
#include "core/MessageLog.h"
#include "device/RecordFields.h"
#include "device/HidAccess.h"
#include "device/ReportProtocol.h"
#include "settings/SettingsFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

using Result = KeyboardSession::Result;
using Json = nlohmann::ordered_json;

// The live status fields, in the order a monitor line shows them.
constexpr const char* LiveFields[] = {"LeftLevel",     "RightLevel",     "PressureLevel",
                                      "Sensor4Level",  "KeystrokeCount", "LedAlarmOn",
                                      "BeeperAlarmOn", "CleanActive"};

// The settings file's messages hold line ends (one of them quotes a version
// line as read, with its line end) and may quote any bytes of a foreign
// file: one line of printable text here.
std::string OneLine(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            const std::size_t next = text.find_first_not_of("\r\n", i);
            if (next != std::string::npos && text[next] != '"' && !out.empty())
                out += ' '; // a line end before a closing quote is dropped
            i = (next == std::string::npos ? text.size() : next) - 1;
        } else {
            out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
        }
    }
    return out;
}

int ExitFor(Result result) {
    switch (result) {
    case Result::Done:
        return ExitDone;
    case Result::NoKeyboard:
        return ExitNoKeyboard;
    case Result::PermissionDenied:
        return ExitNotPermitted;
    default:
        return ExitNoAnswer;
    }
}

std::string Reason(Result result, const std::string& detail = {}) {
    if (result == Result::PermissionDenied)
        return std::string("No Device") + PermissionHint;
    std::string text = ResultText(result);
    return detail.empty() ? text : text + ": " + detail;
}

std::string Hex(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", value);
    return text;
}

// The log file the command line names, opened (truncated) for the whole run.
class LogFile {
public:
    bool Open(const std::string& path) { return path.empty() || m_log.Open(path); }
    FILE* Stream() const { return m_log.Stream(); }

private:
    MessageLog m_log;
};

// The keyboard at `device`, or the first on the bus that opens.
struct Opened {
    std::string path;
    std::unique_ptr<KeyboardSession> session;
};

Result OpenKeyboard(const std::shared_ptr<HidBus>& bus, const std::string& device, FILE* log,
                    Opened& opened) {
    std::vector<std::string> paths{device};
    if (device.empty()) {
        paths.clear();
        for (const KeyboardInterface& keyboard : FindKeyboards(*bus))
            paths.push_back(keyboard.path);
    }
    Result failure = Result::NoKeyboard;
    for (const std::string& path : paths) {
        auto session = std::make_unique<KeyboardSession>(OnlyPath(bus, path), log);
        const Result r = session->Open();
        if (r == Result::Done) {
            opened = {path, std::move(session)};
            return r;
        }
        if (r != Result::NoKeyboard)
            failure = r;
    }
    opened.path = device;
    return failure;
}

int OpenFailed(const Opened& opened, Result result) {
    if (result == Result::NoKeyboard)
        PrintError(opened.path.empty() ? "no keyboard found" : opened.path + ": no keyboard");
    else
        PrintError((opened.path.empty() ? "" : opened.path + ": ") + Reason(result));
    return ExitFor(result);
}

int Failed(const std::string& path, Result result, const std::string& detail = {}) {
    PrintError(path + ": " + Reason(result, detail));
    return ExitFor(result);
}

// Reads the keyboard's configuration, changes `fields` of it to the values
// of `source`, sends `commands` built from the result, checks the read-back
// and stores if asked.
Result Change(KeyboardSession& session, const std::vector<const RecordField*>& fields,
              const DeviceStatus& source, const std::vector<uint8_t>& commands, bool store,
              std::string& detail) {
    if (const Result r = session.ReadConfiguration(); r != Result::Done)
        return r;
    KeyboardSettings wanted = session.Record();
    for (const RecordField* field : fields)
        SetFieldValue(*field, wanted, FieldValue(*field, source));
    if (const Result r = session.WriteSettings(wanted, commands, detail); r != Result::Done)
        return r;
    return store ? session.Send(protocol::CmdStore, wanted) : Result::Done;
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
        PrintError(OneLine(saved.message));
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
    DeviceStatus values;
    std::vector<const RecordField*> fields;
    std::vector<uint8_t> commands;
    for (const Assignment& a : assignments) {
        SetFieldValue(*a.field, values, a.value);
        fields.push_back(a.field);
        if (std::find(commands.begin(), commands.end(), a.field->command) == commands.end())
            commands.push_back(a.field->command);
    }
    std::string detail;
    if (const Result r = Change(session, fields, values, commands, line.store, detail);
        r != Result::Done)
        return Failed(path, r, detail);
    std::printf("%s: set%s\n", path.c_str(), line.store ? " and stored" : "");
    return ExitDone;
}

// ---- apply ----------------------------------------------------------------

struct ApplyOutcome {
    std::string path;
    Result result = Result::NoKeyboard;
    std::string detail;
};

std::vector<const RecordField*> SettingsFileFields() {
    std::vector<const RecordField*> fields;
    for (const RecordField& field : RecordFields())
        if (field.inSettingsFile)
            fields.push_back(&field);
    return fields;
}

void ApplyTo(KeyboardSession& session, const CommandLine& line, const KeyboardSettings& fromFile,
             ApplyOutcome& outcome) {
    // As after a recall in the window: all three reports, the ID number being
    // the keyboard's own (a settings file does not carry it).
    outcome.result = Change(
        session, SettingsFileFields(), fromFile,
        {protocol::CmdConfigurationFlags, protocol::CmdThresholdsAndTimers, protocol::CmdIdNumber},
        line.store, outcome.detail);
}

// Values the file holds that the keyboard cannot: they arrive cut to a byte.
void WarnOfCutValues(const CommandLine& line, const KeyboardSettings& fromFile) {
    for (const RecordField* field : SettingsFileFields()) {
        const unsigned value = FieldValue(*field, fromFile);
        if (field->word && HeldValue(*field, value) != value)
            PrintError("warning: " + line.file + ": " + field->name + " " + std::to_string(value) +
                       " does not fit the keyboard, which keeps " +
                       std::to_string(HeldValue(*field, value)));
    }
}

int RunApply(const CommandLine& line, const std::shared_ptr<HidBus>& bus, FILE* log) {
    KeyboardSettings fromFile;
    const RecallResult recalled = RecallSettingsFile(line.file, fromFile);
    if (recalled.error != RecallError::None) {
        PrintError(OneLine(recalled.message));
        return ExitFileError;
    }
    WarnOfCutValues(line, fromFile);

    std::vector<ApplyOutcome> outcomes;
    if (!line.all) {
        Opened opened;
        if (const Result r = OpenKeyboard(bus, line.device, log, opened); r != Result::Done)
            return OpenFailed(opened, r);
        outcomes.push_back({opened.path, Result::NoKeyboard, {}});
        ApplyTo(*opened.session, line, fromFile, outcomes.back());
    } else {
        for (const KeyboardInterface& keyboard : FindKeyboards(*bus))
            outcomes.push_back({keyboard.path, Result::NoKeyboard, {}});
        if (outcomes.empty()) {
            PrintError("no keyboard found");
            return ExitNoKeyboard;
        }
    }

    // With --all every keyboard is served on a thread of its own, each with
    // its own log, and the logs are joined in list order afterwards.
    std::vector<FILE*> logs(outcomes.size(), log);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; line.all && i < outcomes.size(); ++i) {
        if (log)
            if (FILE* own = std::tmpfile())
                logs[i] = own;
        threads.emplace_back([&, i] {
            KeyboardSession session(OnlyPath(bus, outcomes[i].path), logs[i]);
            outcomes[i].result = session.Open();
            if (outcomes[i].result == Result::Done)
                ApplyTo(session, line, fromFile, outcomes[i]);
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    int exit = ExitDone;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (logs[i] != log) {
            std::rewind(logs[i]);
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), logs[i])) > 0;)
                std::fwrite(buffer, 1, n, log);
            std::fclose(logs[i]);
        }
        const ApplyOutcome& o = outcomes[i];
        if (o.result == Result::Done) {
            std::printf("%s: applied %s%s\n", o.path.c_str(), line.file.c_str(),
                        line.store ? " and stored" : "");
        } else {
            std::printf("%s: failed: %s\n", o.path.c_str(), Reason(o.result).c_str());
            exit = std::max(exit, Failed(o.path, o.result, o.detail));
        }
    }
    return exit;
}

// ---- monitor --------------------------------------------------------------

std::string Timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm local = protocol::LocalTime(seconds);
    char date[32], zone[8];
    std::strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof(zone), "%z", &local); // "+0200"; ISO 8601 wants "+02:00"
    std::string z = zone;
    if (z.size() == 5)
        z.insert(3, ":");
    char millis[8];
    std::snprintf(millis, sizeof(millis), ".%03d", static_cast<int>(ms));
    return date + std::string(millis) + z;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

void PrintStatusLine(OutputFormat format, const KeyboardSettings& record) {
    const std::string time = Timestamp();
    if (format == OutputFormat::Json) {
        Json out = {{"time", time}, {"kind", "status"}};
        for (const char* name : LiveFields)
            out[name] = FieldValue(*FindRecordField(name), record);
        std::printf("%s\n", out.dump().c_str());
    } else {
        std::string text = time + (format == OutputFormat::Csv ? ",status" : "");
        for (const char* name : LiveFields) {
            const std::string value = std::to_string(FieldValue(*FindRecordField(name), record));
            text +=
                format == OutputFormat::Csv ? "," + value : " " + std::string(name) + "=" + value;
        }
        std::printf("%s%s\n", text.c_str(), format == OutputFormat::Csv ? "," : "");
    }
    std::fflush(stdout);
}

void PrintEventLine(OutputFormat format, const std::string& reportText) {
    const std::string time = Timestamp();
    const std::string report = Trimmed(reportText);
    if (format == OutputFormat::Json) {
        std::printf("%s\n",
                    Json({{"time", time}, {"kind", "event"}, {"report", report}}).dump().c_str());
    } else if (format == OutputFormat::Csv) {
        std::printf("%s,event%s,%s\n", time.c_str(),
                    std::string(std::size(LiveFields), ',').c_str(), report.c_str());
    } else {
        std::printf("%s event %s\n", time.c_str(), report.c_str());
    }
    std::fflush(stdout);
}

// "keyboard lost" and "keyboard back", in each format a line of their own.
void PrintPresenceLine(OutputFormat format, bool back) {
    const std::string time = Timestamp();
    const char* kind = back ? "keyboard back" : "keyboard lost";
    if (format == OutputFormat::Json)
        std::printf("%s\n", Json({{"time", time}, {"kind", kind}}).dump().c_str());
    else if (format == OutputFormat::Csv)
        std::printf("%s,%s%s,\n", time.c_str(), kind,
                    std::string(std::size(LiveFields), ',').c_str());
    else
        std::printf("%s %s\n", time.c_str(), kind);
    std::fflush(stdout);
}

// A keyboard lost is waited for until it is back (or another one at the same
// --device), and the lines go on.
int RunMonitor(const CommandLine& line, Opened& opened, const std::shared_ptr<HidBus>& bus,
               FILE* log) {
    if (line.format == OutputFormat::Csv) {
        std::string header = "time,kind";
        for (const char* name : LiveFields)
            header += std::string(",") + name;
        std::printf("%s,report\n", header.c_str());
    }
    const auto onEvent = [&](const std::string& text) { PrintEventLine(line.format, text); };
    opened.session->OnEvent(onEvent);
    const auto interval = std::chrono::milliseconds(line.intervalMs);
    auto next = std::chrono::steady_clock::now();
    for (unsigned printed = 0; line.count == 0 || printed < line.count;) {
        KeyboardSession& session = *opened.session;
        Result r = session.Request(protocol::TypeLiveStatus);
        if (r == Result::Done) {
            PrintStatusLine(line.format, session.Record());
            if (++printed == line.count)
                break;
            next = std::max(next + interval, std::chrono::steady_clock::now());
            r = session.Pause(next);
        }
        if (r == Result::Lost) {
            PrintPresenceLine(line.format, false);
            opened.session.reset();
            r = AwaitKeyboard(*bus, [&] { return OpenKeyboard(bus, line.device, log, opened); });
            if (r == Result::Done) {
                PrintPresenceLine(line.format, true);
                opened.session->OnEvent(onEvent);
                continue;
            }
        }
        if (r == Result::Interrupted)
            break;
        if (r != Result::Done)
            return Failed(opened.path, r);
    }
    return ExitDone;
}

} // namespace

void PrintError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "kbconfig-cli: %s\n", OneLine(message).c_str());
}

int RunCommand(const CommandLine& line, std::shared_ptr<HidBus> bus) {
    // Everything that can be checked without the keyboard is checked first,
    // so that a mistake sends nothing.
    std::vector<Assignment> assignments;
    std::string error;
    if (line.command == "set" && !ParseAssignments(line.assignments, assignments, error)) {
        PrintError(error);
        return ExitUsage;
    }
    LogFile log;
    if (!log.Open(line.logPath)) {
        PrintError("cannot open the log file \"" + line.logPath + "\"");
        return ExitUsage;
    }
    if (line.command == "list")
        return RunList(line, *bus);
    if (line.command == "apply")
        return RunApply(line, bus, log.Stream());

    Opened opened;
    if (const Result r = OpenKeyboard(bus, line.device, log.Stream(), opened); r != Result::Done)
        return r == Result::Interrupted ? ExitDone
                                        : OpenFailed(opened, r); // a monitor stopped early
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
