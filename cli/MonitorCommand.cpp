// monitor: the live status line by line, and the keyboard's events.

#include "cli/AwaitKeyboard.h"
#include "cli/CommandSupport.h"
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

// The keyboard at --device, or the first one on the bus, opened without a
// word when it is not there yet.
Result Reopen(const std::shared_ptr<HidBus>& bus, const CommandLine& line, FILE* log,
              Opened& opened) {
    std::vector<std::string> paths{line.device};
    if (line.device.empty()) {
        paths.clear();
        for (const KeyboardInterface& keyboard : FindKeyboards(*bus))
            paths.push_back(keyboard.path);
    }
    for (const std::string& path : paths) {
        auto session = std::make_unique<KeyboardSession>(OnlyPath(bus, path), log);
        const Result r = session->Open();
        if (r == Result::Done) {
            opened.path = path;
            opened.session = std::move(session);
        }
        if (r == Result::Done || r == Result::Interrupted)
            return r;
    }
    return Result::NoKeyboard;
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
            r = AwaitKeyboard(*bus, [&] { return Reopen(bus, line, log, opened); });
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
