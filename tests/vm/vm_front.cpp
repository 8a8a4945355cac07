#include "vm_harness.h"

#include "emulator/StatusText.h"
#include "settings/SettingsFile.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
int g_passed = 0;
int g_failed = 0;
} // namespace

bool Check(bool ok, const std::string& what, const std::string& detail) {
    (ok ? g_passed : g_failed)++;
    std::printf("%s: %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : " -- ",
                detail.c_str());
    std::fflush(stdout);
    return ok;
}

bool CheckSame(const DeviceStatus& a, const DeviceStatus& b, const std::string& what) {
    const std::string differences = StatusDifferences(a, b);
    return Check(differences.empty(), what, differences);
}

int ChecksFailed() {
    std::printf("vm-test: %d passed, %d failed\n", g_passed, g_failed);
    std::fflush(stdout);
    return g_failed;
}

namespace vmtest {

const char* const Distinctive =
    "LowThreshold=17 HighThreshold=243 LeftLevel=11 RightLevel=222 PressureLevel=33 "
    "Sensor4Level=144 IntervalTimer=9 AlarmTimer=77 CleanTimer=66 KeystrokeAlarmTrigger=0x1357 "
    "KeystrokeCount=0xA0B IdNumber=0xA55A CleanActive=1 EnableTimer=0 EnableKeystroke=0 "
    "LedEnableStatus=0 LedAlarmOn=1 BeeperEnableStatus=1 BeeperAlarmOn=1 PowerOnWipe=1 "
    "HostModeEnable=1 HostLedOn=1 HostBeeperOn=1 DisableSensorLeft=1 DisableSensorReft=1 "
    "DisableSensorPressure=1 DisableSensor4=1 DisableConfig=1 DisableBacklight=1 "
    "DisableAutoSense=1 Ps2Keyboard=1 EnableReEnumeration=1";

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    for (const auto deadline = Clock::now() + limit; !condition(); std::this_thread::sleep_for(10ms))
        if (Clock::now() >= deadline)
            return false;
    return true;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Child::Start(const std::string& command) {
    static int children = 0;
    const std::string answers =
        "/tmp/child-" + std::to_string(getpid()) + "-" + std::to_string(++children) + ".out";
    mkfifo(answers.c_str(), 0600);
    // The subshell opens the answers before the command runs, so that a
    // command that fails at once ends the read instead of leaving it waiting.
    m_in = popen(("(" + command + ") > " + answers).c_str(), "we");
    m_out = m_in ? std::fopen(answers.c_str(), "re") : nullptr;
    std::remove(answers.c_str()); // both ends are open, or never will be
    return m_out != nullptr;
}

Child::~Child() {
    if (m_out)
        std::fclose(m_out);
    if (m_in) {
        std::fputs("quit\n", m_in);
        pclose(m_in);
    }
}

std::string Child::Ask(const std::string& command) {
    std::fputs((command + "\n").c_str(), m_in);
    std::fflush(m_in);
    return ReadLine();
}

std::string Child::ReadLine() {
    char line[4096];
    if (!m_out || !std::fgets(line, sizeof(line), m_out))
        return {};
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

bool Front::Start(const std::string& path) {
    return Child::Start(path + " --product " + std::to_string(Product)) && ReadLine() == "ready";
}

DeviceStatus Front::Status(const char* which) {
    DeviceStatus s;
    const std::string line = Ask(which);
    const std::string prefix = std::string(which) + " ";
    if (line.rfind(prefix, 0) != 0 || !ParseStatus(line.substr(prefix.size()), s))
        Check(false, std::string("keyboard answers '") + which + "'", line);
    return s;
}

void CheckShowAndApply(const std::string& cli, const std::string& name,
                       const std::string& pathPrefix, Front& front) {
    const int listed = Shell(cli + " list --json > /tmp/list.json 2>&1");
    const auto list = nlohmann::json::parse(ReadText("/tmp/list.json"), nullptr, false);
    const bool one = listed == 0 && list.is_array() && list.size() == 1;
    const DeviceStatus before = front.Status("state");
    const int shown = Shell(cli + " show --json > /tmp/show.json 2>&1");
    const auto show = nlohmann::json::parse(ReadText("/tmp/show.json"), nullptr, false);
    const std::string path = show.is_object() ? show.value("path", "") : "";
    const auto fields = show.is_object() ? show.value("fields", nlohmann::json::object())
                                         : nlohmann::json::object();
    std::string differences;
    std::istringstream pairs(FormatStatus(before));
    for (std::string pair; pairs >> pair;) {
        const std::string field = pair.substr(0, pair.find('='));
        const auto want = std::strtoul(pair.substr(field.size() + 1).c_str(), nullptr, 0);
        if (!fields.contains(field) || fields[field] != want)
            differences += field + " ";
    }
    Check(shown == 0 && path.rfind(pathPrefix, 0) == 0 && differences.empty(),
          name + " show --json opens the keyboard at " + pathPrefix + "... and equals it in every field",
          differences + ReadText("/tmp/show.json").substr(0, 300));
    const bool opened = one && list[0].value("path", "") == path;
    Check(opened, name + " list names one interface of the three, and show opens it",
          opened ? "" : ReadText("/tmp/list.json"));

    KeyboardSettings file;
    file.Block() = before;
    ParseStatus("LowThreshold=99 HighThreshold=201 CleanTimer=17 KeystrokeAlarmTrigger=4000", file.Block());
    file.BeeperEnableStatus = !before.BeeperEnableStatus;
    file.DisableSensorLeft = !before.DisableSensorLeft;
    file.Ps2Keyboard = !before.Ps2Keyboard;
    file.IdNumber = 0x1111; // not in the file: the keyboard keeps its own
    SaveSettingsFile("/tmp/vm.set", file);
    DeviceStatus expected = file.Block();
    expected.IdNumber = before.IdNumber;
    const int applied = Shell(cli + " apply /tmp/vm.set --store > /tmp/apply.txt 2>&1");
    const DeviceStatus after = front.Status("state");
    Check(applied == 0 && StatusDifferences(expected, after).empty(),
          name + " apply FILE --store sends the file's settings and keeps the ID number",
          ReadText("/tmp/apply.txt") + StatusDifferences(expected, after));
    CheckSame(after, front.Status("stored"), name + " apply FILE --store stores them");
}

} // namespace vmtest
