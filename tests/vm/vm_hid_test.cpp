// kb_vm_hid_test: runs inside the test VM, as root, with uhid and
// hid-generic loaded. It starts the uhid keyboard program, then drives the
// program's own device layer (CHidDevice, CReaderThread) over the hidapi bus,
// that is through /dev/hidrawN and the kernel's HID core, and compares what
// the reader decoded with the state the keyboard reports on its own channel.
//
// Usage: kb_vm_hid_test [path of kb_uhid_keyboard] [path of kbconfig-cli]
// Prints one line per check and "vm-test: N passed, M failed"; exits 0 when
// every check passed.

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/DeviceIds.h"
#include "device/HidapiBus.h"
#include "device/ReportProtocol.h"
#include "emulator/StatusText.h"
#include "settings/SettingsFile.h"
#include "vm_front.h"
#include "vm_storm.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

using namespace vmfront;
constexpr int DefaultMeasured = 10;



// What the reader holds, copied under the status lock.
struct ReaderView {
    bool reply = false;
    bool present = false;
    std::string text;
    DeviceStatus status;
};

ReaderView View(CHidDevice& device) {
    std::lock_guard<std::mutex> lock(StatusLock);
    CReaderThread& r = *device.Reader;
    return {r.ReplyReceived != 0, r.DevicePresent != 0, r.LastReportText, r.Status};
}

// Takes over the reply the reader holds, as the polling state machine does.
void TakeReply(CHidDevice& device) {
    std::lock_guard<std::mutex> lock(StatusLock);
    device.Reader->ReplyReceived = 0;
}

// Sends one output report and waits for the reader to decode the answer:
// take the last reply, write, wait for the next.
bool Exchange(CHidDevice& device, const protocol::Payload& payload, ReaderView& answer) {
    TakeReply(device);
    if (device.WriteReport(payload.bytes.data(), payload.length) != 0)
        return false;
    const bool answered = WaitFor([&] { return View(device).reply; }, 2s);
    answer = View(device);
    return answered;
}

std::string Hex(uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof(text), "%2.2X", b);
    return text;
}


void CheckEnumeration() {
    int ours = 0, configAt = -1, index = 0;
    for (const HidInterfaceInfo& info : CreateHidapiBus()->enumerate()) {
        std::printf("  hid: %s %04X:%04X usage %04X:%04X\n", info.path.c_str(), info.vendorId,
                    info.productId, info.usagePage, info.usage);
        if (info.vendorId == KeyboardVendorId && info.productId == Product) {
            if (info.usagePage == VendorUsagePage && info.usage == ConfigurationUsage)
                configAt = index;
            ++ours;
        }
        ++index;
    }
    Check(ours == 3, "hidapi lists the keyboard's three interfaces",
          std::to_string(ours) + " found");
    Check(configAt >= 0, "one of them is usage page 0xFF00, usage 1");
}

void FullRead(CHidDevice& device, Front& front) {
    ReaderView answer;
    for (uint8_t type : {2, 3, 4, 1}) {
        const bool ok = Exchange(device, protocol::EncodeRequest(type), answer);
        Check(ok && answer.text.rfind("00 " + Hex(type) + " ", 0) == 0,
              "request " + std::to_string(type) + " is answered with type " + std::to_string(type),
              answer.text);
    }
    const std::string differences = StatusDifferences(answer.status, front.Status("state"));
    Check(differences.empty(), "requests 2, 3, 4 and 1 decode to the keyboard's every field",
          differences);
}

// Each settings report: the fields set in the record before it is encoded,
// and those that arrive otherwise than set.
struct SettingsWrite {
    const char* what;
    const char* set;
    protocol::Payload (*encode)(const DeviceStatus&);
    const char* arrives;
};
const SettingsWrite SettingsWrites[] = {
    {"report 7",
     "EnableTimer=1 EnableKeystroke=1 HostModeEnable=0 Ps2Keyboard=0 DisableSensor4=0 "
     "EnableReEnumeration=0",
     protocol::EncodeConfigurationFlags, ""},
    {"report 5",
     "LowThreshold=300 HighThreshold=200 IntervalTimer=4 AlarmTimer=24 CleanTimer=50 "
     "KeystrokeAlarmTrigger=1100",
     protocol::EncodeThresholdsAndTimers, "LowThreshold=44"}, // 300's low byte
    {"report 6", "IdNumber=0x2345", protocol::EncodeIdNumber, ""},
    {"report 9", "", [](const DeviceStatus&) { return protocol::EncodeStore(); }, ""},
};

// Sends each settings report and checks the keyboard changed exactly its fields.
void Writes(CHidDevice& device, Front& front, DeviceStatus& sent) {
    for (const SettingsWrite& w : SettingsWrites) {
        DeviceStatus expected = front.Status("state");
        ParseStatus(w.set, sent);
        ParseStatus(std::string(w.set) + " " + w.arrives, expected);
        ReaderView answer;
        const bool ok = Exchange(device, w.encode(sent), answer);
        Check(ok && answer.text.rfind("00 0A ", 0) == 0,
              std::string(w.what) + " is acknowledged with type 10", answer.text);
        const std::string differences = StatusDifferences(expected, front.Status("state"));
        Check(differences.empty(), std::string(w.what) + " changes exactly its fields",
              differences);
    }
    const std::string differences =
        StatusDifferences(front.Status("state"), front.Status("stored"));
    Check(differences.empty(), "report 9 stores the settings", differences);
}

std::vector<std::string> EventLogLines() {
    std::ifstream log("eventlog.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

void EventReport(CHidDevice& device, Front& front) {
    std::remove("eventlog.txt");
    TakeReply(device); // the last exchange's: what follows is the event's doing alone
    front.Ask("event");
    std::vector<std::string> lines;
    WaitFor([&] { return !(lines = EventLogLines()).empty(); }, 2s);
    const std::string line = lines.empty() ? std::string() : lines[0];
    // 27 characters of report text, a colon, 24 of time (the line end was cut).
    Check(line.size() == 52 && line.rfind("00 0B ", 0) == 0 && line[27] == ':' && line[36] != ' ',
          "an event report appends its event-log line", line);
    Check(!View(device).reply && View(device).present,
          "an event is no reply and keeps the keyboard present");
}

void UnplugAndReplug(CHidDevice& device, Front& front) {
    // A change that is not stored is lost with the power.
    const uint16_t storedId = front.Status("stored").IdNumber;
    DeviceStatus unstored = front.Status("state");
    unstored.IdNumber = storedId + 1;
    ReaderView answer;
    Exchange(device, protocol::EncodeIdNumber(unstored), answer);

    // (Losing and finding the keyboard again: the storm.)
    front.Ask("unplug");
    WaitFor([&] { return !device.IsReading(); }, 3s);
    front.Ask("plug");
    WaitFor([&] { return device.IsReading() && View(device).present; }, 5s);

    const bool ok = Exchange(device, protocol::EncodeRequest(3), answer);
    Check(ok && answer.text.rfind("00 03 ", 0) == 0 && answer.status.IdNumber == storedId,
          "the stored ID number survives, the unstored one does not", answer.text);
}

// With its clock running the keyboard sends event reports of its own accord
// and counts keystrokes (not while cleaning, so that is switched off first).
void KeyboardClock(Front& front) {
    std::remove("eventlog.txt");
    front.Ask("set CleanActive=0");
    const uint16_t countBefore = front.Status("state").KeystrokeCount;
    front.Ask("events 300");
    front.Ask("clock on");
    std::size_t lines = 0;
    uint16_t count = countBefore;
    WaitFor(
        [&] {
            lines = EventLogLines().size();
            count = front.Status("state").KeystrokeCount;
            return lines >= 2 && count > countBefore;
        },
        3s);
    front.Ask("clock off");
    Check(lines >= 2, "the running keyboard sends events now and then",
          std::to_string(lines) + " lines");
    Check(count > countBefore, "its keystroke count climbs",
          std::to_string(countBefore) + " -> " + std::to_string(count));
}



} // namespace


int main(int argc, char** argv) {
    const std::string frontPath = argc > 1 ? argv[1] : "/bin/kb_uhid_keyboard";
    const std::string cliPath = argc > 2 ? argv[2] : "/bin/kbconfig-cli";
    std::signal(SIGPIPE, SIG_IGN);
    // Never hang the VM; a run that measures more plug-ins is given longer.
    const char* measured = std::getenv("kbvm_measure");
    alarm(measured ? 880 : 280);

    Front front;
    if (!Check(front.Start(frontPath), "the uhid keyboard starts"))
        return ChecksFailed() == 0 ? 0 : 1;
    DeviceStatus sent;
    Check(ParseStatus(Distinctive, sent) && front.Ask(std::string("set ") + Distinctive) == "ok",
          "the keyboard takes a distinctive state");
    std::this_thread::sleep_for(200ms); // let the kernel create the hidraw nodes
    CheckEnumeration();

    {
        CHidDevice device(CreateHidapiBus());
        device.StartReader();
        const bool open = WaitFor([&] { return device.IsReading(); }, 3s);
        Check(open && device.ProductId == Product &&
                  device.InterfaceKind == CHidDevice::KindConfiguration,
              "CHidDevice opens the configuration interface",
              "product " + std::to_string(device.ProductId) + " kind " +
                  std::to_string(device.InterfaceKind));
        if (open) {
            FullRead(device, front);
            Writes(device, front, sent);
            EventReport(device, front);
            UnplugAndReplug(device, front);
            KeyboardClock(front);
        }
        const auto start = Clock::now();
        device.Close();
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        Check(took < 500, "Close returns promptly", std::to_string(took) + " ms");
    }
    CheckShowAndApply(cliPath, "kbconfig-cli", "/dev/hidraw", front);
    // Plug-ins measured after the storm; the kernel command line (run-vm-test.sh
    // --measure N --fallback) reaches the test as environment variables.
    // The storm brings a keyboard of its own: this one leaves the bus.
    front.Ask("unplug");
    HotplugStorm(cliPath, measured ? std::atoi(measured) : DefaultMeasured,
                 std::getenv("kbvm_fallback") != nullptr);

    return ChecksFailed() == 0 ? 0 : 1;
}
