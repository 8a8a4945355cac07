// monitor: the live status line by line, and the keyboard's events.

#include "cli/MonitorCommand.h"

#include "cli/AwaitKeyboard.h"
#include "core/SensorHistory.h"
#include "device/ReportProtocol.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using Json = nlohmann::ordered_json;

// The live status fields, in the order a monitor line shows them.
constexpr const char* LiveFields[] = {"LeftLevel",     "RightLevel",     "PressureLevel",
                                      "Sensor4Level",  "KeystrokeCount", "LedAlarmOn",
                                      "BeeperAlarmOn", "CleanActive"};

std::string Timestamp() {
    return IsoTime(std::chrono::system_clock::now());
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

// A line of its own for what is no status: an event with its report, or
// "keyboard lost" and "keyboard back" without one.
void PrintMarkLine(OutputFormat format, const char* kind, const std::string& report = {}) {
    const std::string time = Timestamp();
    if (format == OutputFormat::Json) {
        Json out = {{"time", time}, {"kind", kind}};
        if (!report.empty())
            out["report"] = report;
        std::printf("%s\n", out.dump().c_str());
    } else if (format == OutputFormat::Csv) {
        std::printf("%s,%s%s,%s\n", time.c_str(), kind,
                    std::string(std::size(LiveFields), ',').c_str(), report.c_str());
    } else {
        std::printf("%s %s%s%s\n", time.c_str(), kind, report.empty() ? "" : " ", report.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int RunMonitor(const CommandLine& line, Opened& opened, const std::shared_ptr<HidBus>& bus,
               FILE* log) {
    if (line.format == OutputFormat::Csv) {
        std::string header = "time,kind";
        for (const char* name : LiveFields)
            header += std::string(",") + name;
        std::printf("%s,report\n", header.c_str());
    }
    const auto onEvent = [&](const std::string& text) {
        PrintMarkLine(line.format, "event", Trimmed(text));
    };
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
            PrintMarkLine(line.format, "keyboard lost");
            opened.session.reset();
            // Opened as at the start, without a word while it is not there.
            r = AwaitKeyboard(*bus, [&] {
                const int exit = OpenKeyboard(bus, line, false, log, opened, true);
                return opened.session     ? Result::Done
                       : exit == ExitDone ? Result::Interrupted
                                          : Result::NoKeyboard;
            });
            if (r == Result::Done) {
                PrintMarkLine(line.format, "keyboard back");
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
