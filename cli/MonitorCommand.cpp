// monitor: the live status line by line, and the keyboard's events.

#include "cli/CommandSupport.h"
#include "device/ReportProtocol.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using Json = nlohmann::ordered_json;

// The live status fields, in the order a monitor line shows them.
constexpr const char* LiveFields[] = {"LeftLevel",     "RightLevel",     "PressureLevel",
                                      "Sensor4Level",  "KeystrokeCount", "LedAlarmOn",
                                      "BeeperAlarmOn", "CleanActive"};

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

} // namespace

int RunMonitor(const CommandLine& line, KeyboardSession& session, const std::string& path) {
    if (line.format == OutputFormat::Csv) {
        std::string header = "time,kind";
        for (const char* name : LiveFields)
            header += std::string(",") + name;
        std::printf("%s,report\n", header.c_str());
    }
    session.OnEvent([&](const std::string& text) { PrintEventLine(line.format, text); });
    const auto interval = std::chrono::milliseconds(line.intervalMs);
    auto next = std::chrono::steady_clock::now();
    for (unsigned printed = 0; line.count == 0 || printed < line.count;) {
        Result r = session.Request(protocol::TypeLiveStatus);
        if (r == Result::Done) {
            PrintStatusLine(line.format, session.Record());
            if (++printed == line.count)
                break;
            next = std::max(next + interval, std::chrono::steady_clock::now());
            r = session.Pause(next);
        }
        if (r == Result::Interrupted)
            break;
        if (r != Result::Done)
            return Failed(path, r);
    }
    return ExitDone;
}
