// Random sequences of a technician's actions and keyboard faults, run against
// the polling machine and the built-in keyboard with no thread and no clock:
// the reader's loop is stepped by hand after every action, so a sequence is
// repeatable and shrinks to a short counterexample.
//
// What may be sent is fixed before each step. Only the technician adds to it
// (a slider moved or a switch ticked adds its new value, a recall the values
// its file carries); the keyboard's own values are admitted after the
// reports of the step were checked. After every step: every report 5, 6 or 7
// written carries only allowed values, exactly; a locked configuration sends
// nothing but what was pending when it was locked; the view was shown the
// record and the lock. At the end, once the faults stop: the keyboard and the
// record agree. The settings pages are tested in test_pages.cpp and, against
// the keyboard, in test_app_polling.cpp.

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"
#include "settings/KeyboardSettings.h"
#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

namespace {

using S = DeviceStatus;

// The settings carried by reports 5, 6 and 7: first the six of report 5, then
// the ID number (report 6), then the switches (report 7): those a settings
// file carries, in the file's order, then the others.
struct Field {
    const char* name;
    uint16_t S::*word;
    uint8_t S::*flag;
};
// clang-format off
#define WORD(member) {#member, &S::member, nullptr}
#define FLAG(member) {#member, nullptr, &S::member}
const Field kFields[] = {
    WORD(LowThreshold), WORD(HighThreshold), WORD(IntervalTimer), WORD(AlarmTimer),
    WORD(CleanTimer), WORD(KeystrokeAlarmTrigger), WORD(IdNumber),
    FLAG(EnableTimer), FLAG(EnableKeystroke), FLAG(LedEnableStatus), FLAG(BeeperEnableStatus),
    FLAG(PowerOnWipe), FLAG(DisableSensorLeft), FLAG(DisableSensorReft),
    FLAG(DisableSensorPressure), FLAG(DisableSensor4), FLAG(DisableBacklight),
    FLAG(DisableConfig), FLAG(DisableAutoSense), FLAG(Ps2Keyboard), FLAG(EnableReEnumeration),
    FLAG(HostLedOn), FLAG(HostBeeperOn), FLAG(HostModeEnable)};
// clang-format on
#undef WORD
#undef FLAG
constexpr int kFieldCount = static_cast<int>(std::size(kFields));
constexpr int kSliderCount = 6; // the first six fields
constexpr uint8_t Thresholds = 5, IdNumber = 6, Flags = 7;

uint8_t CommandOf(int field) {
    return field < kSliderCount ? Thresholds : field == kSliderCount ? IdNumber : Flags;
}
uint16_t Get(const S& s, const Field& f) {
    return f.word ? s.*f.word : s.*f.flag;
}
void Set(S& s, const Field& f, uint16_t v) {
    if (f.word)
        s.*f.word = v;
    else
        s.*f.flag = v != 0 ? 1 : 0;
}
// What the keyboard receives for a value of the record: report 5 carries
// all but the keystroke trigger as their low 8 bits.
uint16_t OnTheWire(const Field& f, uint16_t v) {
    return &f - kFields < kSliderCount - 1 ? v & 0xFF : v;
}
// A random value of the kind the field holds.
uint16_t RandomValue(std::mt19937& random, const Field& f) {
    return static_cast<uint16_t>(f.flag ? random() % 2 : random() % 256);
}
// The field of a settings file's value line: a version-4 file has the first
// 15 lines, version 5 the first 18, version 6 all 20.
const Field& FileField(int line) {
    return kFields[line < kSliderCount ? line : line + 1];
}

// A version-6 file may lack its last line.
const struct {
    const char* line;
    int values, fewest;
} kVersions[] = {
    {SettingsVersion4, 15, 15}, {SettingsVersion5, 18, 18}, {SettingsVersion6, 20, 19}};

template <typename Message> void Require(bool ok, const Message& message) {
    if (!ok)
        RC_FAIL(message());
}

// clang-format off
enum class Act : uint8_t {
    // the technician
    Unlock, Lock, MoveSlider, TickFlag, SetId, Store, RecallGood, RecallBroken, Simulate,
    Ticks,
    // the keyboard
    Unplug, Plug, Swap, DropReplies, HoldReplies, FailWrites, UnknownReport, Event, Flood,
};
// clang-format on
// Each action's name, in the order above, and how often it is drawn.
const std::pair<const char*, int> kActs[] = {
    {"Unlock", 4},        {"Lock", 1},        {"MoveSlider", 4},  {"TickFlag", 3},
    {"SetId", 2},         {"Store", 1},       {"RecallGood", 2},  {"RecallBroken", 2},
    {"Simulate", 1},      {"Ticks", 10},      {"Unplug", 1},      {"Plug", 1},
    {"Swap", 4},          {"DropReplies", 3}, {"HoldReplies", 2}, {"FailWrites", 1},
    {"UnknownReport", 1}, {"Event", 1},       {"Flood", 1}};
const char* NameOf(Act act) {
    return kActs[static_cast<int>(act)].first;
}

struct Action {
    Act act = Act::Ticks;
    int a = 0; // which slider, flag or on/off; the count of ticks or reports
    int b = 0; // a position, an ID, a seed for a file or a keyboard
};

} // namespace

namespace rc {
template <> struct Arbitrary<Action> {
    static Gen<Action> arbitrary() {
        int total = 0;
        for (const auto& act : kActs)
            total += act.second;
        // A number below the total weight, and the action whose share holds it.
        const auto act = gen::map(gen::inRange(0, total), [](int n) {
            int i = 0;
            for (; n >= kActs[i].second; ++i)
                n -= kActs[i].second;
            return static_cast<Act>(i);
        });
        return gen::build<Action>(gen::set(&Action::act, act),
                                  gen::set(&Action::a, gen::inRange(0, 24)),
                                  gen::set(&Action::b, gen::inRange(0, 10000)));
    }
};
} // namespace rc

namespace {

void showValue(const Action& action, std::ostream& os) {
    os << NameOf(action.act) << "(" << action.a << ", " << action.b << ")";
}

// What the window shows: the record and the lock, as the polling machine tells it.
struct RecordView : CoreView {
    S shown;
    bool unlocked = false;

    void ShowRecord() override { shown = g_settings; }
    void ShowNoDevice() override {}
    void ShowSensorCount(int) override {}
    void ShowConfigurationLock(bool on) override { unlocked = on; }
};

class Scenario {
public:
    Scenario()
        : m_bus(std::make_shared<EmulatorBus>(
              EmulatorBus::Options{.autonomous = false, .pluggedIn = false})),
          m_core(m_bus) {
        g_settings = KeyboardSettings{};
        m_core.SetView(&m_view);
        CHidDevice& device = m_core.Device();
        device.Reader = std::make_unique<CReaderThread>(&device);
        NewKeyboard(1);
        Plug();
        Pump();
    }

    // The technician changes only what the window shows unlocked.
    void Run(const Action& x) {
        const bool unlocked = m_view.unlocked;
        switch (x.act) {
        case Act::Unlock:
            if (m_core.SetConfigurationUnlocked(true))
                m_pendingAtLock = {};
            break;
        case Act::Lock: // and a request made while locked marks nothing
            m_pendingAtLock = m_core.PendingReports();
            m_core.SetConfigurationUnlocked(false);
            m_core.RequestOptionsReport();
            m_core.RequestThresholdsReport();
            m_core.RequestIdNumberReport();
            break;
        case Act::MoveSlider:
            if (unlocked) {
                const Field& f = kFields[x.a % kSliderCount];
                Choose(f, static_cast<uint16_t>(f.word == &S::KeystrokeAlarmTrigger ? x.b * 6
                                                                                    : x.b % 256));
                m_core.RequestThresholdsReport();
            }
            break;
        case Act::TickFlag:
            if (unlocked) {
                const Field& f = kFields[kSliderCount + 1 + x.a % (kFieldCount - kSliderCount - 1)];
                Choose(f, Get(g_settings, f) ? 0 : 1);
                m_core.RequestOptionsReport();
            }
            break;
        case Act::SetId:
            if (unlocked) {
                Choose(kFields[kSliderCount], static_cast<uint16_t>(20000 + x.b));
                m_core.RequestIdNumberReport();
            }
            break;
        case Act::Store:
            if (unlocked)
                m_core.RequestStore();
            break;
        case Act::RecallGood:
        case Act::RecallBroken:
            if (unlocked)
                Recall(x.b, x.act == Act::RecallGood);
            break;
        case Act::Simulate:
            m_core.SetSimulate(x.a % 2 == 1);
            m_simulated = m_simulated || m_core.Simulate();
            break;
        case Act::Ticks:
            for (int i = 0; i <= x.a % 4; ++i)
                Tick();
            break;
        case Act::Unplug:
            m_bus->Unplug();
            break;
        case Act::Plug:
            Plug();
            break;
        case Act::Swap: // another keyboard in its place
            m_bus->Unplug();
            NewKeyboard(x.b);
            Plug();
            break;
        case Act::DropReplies:
            m_bus->SetDropReplies(x.a % 2 == 1);
            break;
        case Act::HoldReplies:
            m_bus->SetHoldReplies(x.a % 2 == 1);
            break;
        case Act::FailWrites:
            m_bus->SetFailWrites(x.a % 2 == 1);
            break;
        case Act::UnknownReport: {
            protocol::Report unknown{};
            unknown[1] = 12;
            m_bus->SendReport(unknown);
            break;
        }
        case Act::Event:
            m_bus->SendEvent();
            break;
        case Act::Flood:
            m_bus->WithFirmware([&](KeyboardFirmware& f) {
                for (int i = 0; i < 4 * x.a; ++i)
                    f.PressKey();
            });
            break;
        }
        Pump();
        Check(NameOf(x.act));
    }

    // The faults stop; after enough ticks for a store that went unanswered
    // to be repeated, everything must agree.
    void Settle() {
        m_bus->SetDropReplies(false);
        m_bus->SetHoldReplies(false);
        m_bus->SetFailWrites(false);
        Plug();
        m_core.SetSimulate(false);
        Pump();
        for (int i = 0; i < 2 * PollingMachine::StoreReplyTickLimit + 20; ++i)
            Tick();
        const S keyboard = m_bus->FirmwareState();
        for (const Field& f : kFields) {
            // Sent values: unless Simulate kept some back on purpose.
            Require(m_simulated || OnTheWire(f, Get(g_settings, f)) == Get(keyboard, f), [&] {
                return std::string(f.name) + ": record " + std::to_string(Get(g_settings, f)) +
                       ", keyboard " + std::to_string(Get(keyboard, f));
            });
        }
    }

private:
    // The reader thread's loop, run until it has nothing left to do.
    void Pump() {
        CReaderThread& reader = *m_core.Device().Reader;
        for (int i = 0; i < 1000; ++i) {
            const auto step = reader.Step(0);
            if (step == CReaderThread::StepResult::NotFound ||
                step == CReaderThread::StepResult::NothingRead)
                return;
        }
        RC_FAIL("the reader never runs out of reports");
    }

    void Tick() {
        m_core.Tick();
        Pump();
        Check("tick");
    }

    void Choose(const Field& f, uint16_t value) {
        Set(g_settings, f, value);
        Set(m_view.shown, f, value); // the window's own field
        m_allowed[&f - kFields].insert(value);
    }

    // A keyboard of its own: values nobody else has.
    void NewKeyboard(int seed) {
        std::mt19937 random(static_cast<unsigned>(seed));
        S s = KeyboardFirmware::FactoryState(0x0705);
        for (const Field& f : kFields)
            Set(s, f, RandomValue(random, f));
        s.KeystrokeAlarmTrigger = static_cast<uint16_t>(1000 * (random() % 65));
        s.IdNumber = static_cast<uint16_t>(10000 + random() % 10000);
        m_bus->WithFirmware([&](KeyboardFirmware& firmware) {
            firmware.SetState(s);
            firmware.SetStored(s);
        });
    }

    // A keyboard is plugged in, unless one is: what it may be sent starts
    // anew, from what it holds before anything is sent to it.
    void Plug() {
        if (m_bus->IsPlugged())
            return;
        m_bus->Plug();
        const S keyboard = m_bus->FirmwareState();
        for (int i = 0; i < kFieldCount; ++i)
            m_allowed[i] = {Get(keyboard, kFields[i])};
        m_written = m_bus->WrittenReports().size();
    }

    // A file of a random version with values its fields take; a broken one
    // stops or goes wrong part-way.
    void Recall(int seed, bool good) {
        std::mt19937 random(static_cast<unsigned>(seed));
        const auto& version = kVersions[random() % std::size(kVersions)];
        std::ostringstream text;
        text << version.line << "\r\n";
        const int cut = good ? version.values : static_cast<int>(random() % version.fewest);
        for (int line = 0; line < version.values; ++line) {
            const Field& f = FileField(line);
            const uint16_t value = RandomValue(random, f);
            if (line < cut) {
                text << value << " " << f.name << "\r\n";
                if (good) // a good file's values may be sent
                    m_allowed[&f - kFields].insert(value);
            } else if (seed % 2 == 0) {
                text << "x" << f.name << "\r\n"; // a broken line, not a short file
            }
        }
        const std::filesystem::path path = "recalled.set";
        std::ofstream(path, std::ios::binary) << text.str();
        const RecallResult result = m_core.Recall(path.string());
        RC_ASSERT((result.error == RecallError::None) == good);
    }

    void Check(const char* step) {
        const auto written = m_bus->WrittenReports();
        for (; m_written < written.size(); ++m_written) {
            const protocol::Report& report = written[m_written];
            const uint8_t command = report[1];
            if (command == protocol::CmdRequest)
                continue;
            if (!m_core.ConfigurationUnlocked()) {
                const bool wasPending = (command == Thresholds && m_pendingAtLock.thresholds) ||
                                        (command == IdNumber && m_pendingAtLock.idNumber) ||
                                        (command == Flags && m_pendingAtLock.options) ||
                                        (command == protocol::CmdStore && m_pendingAtLock.store);
                Require(wasPending, [&] {
                    return std::string(step) + ": report " + std::to_string(command) +
                           " sent while locked, not pending at the lock";
                });
            }
            S sent;
            protocol::ApplyOutputReport(report.data(), sent);
            for (int i = 0; i < kFieldCount; ++i) {
                const Field& f = kFields[i];
                if (CommandOf(i) != command)
                    continue;
                bool chosen = false;
                for (uint16_t value : m_allowed[i])
                    chosen = chosen || OnTheWire(f, value) == Get(sent, f);
                Require(chosen, [&] {
                    return std::string(step) + ": report " + std::to_string(command) + " carried " +
                           f.name + " " + std::to_string(Get(sent, f)) + ", which nobody chose";
                });
            }
        }
        for (const Field& f : kFields) {
            Require(Get(m_view.shown, f) == Get(g_settings, f), [&] {
                return std::string(step) + ": the window does not show the record's " + f.name;
            });
        }
        Require(m_view.unlocked == m_core.ConfigurationUnlocked(),
                [&] { return std::string(step) + ": the window shows the wrong lock"; });

        // Only now, with its reports checked, the keyboard's own values are
        // its to be sent back.
        const S keyboard = m_bus->FirmwareState();
        for (int i = 0; i < kFieldCount; ++i)
            m_allowed[i].insert(Get(keyboard, kFields[i]));
    }

    std::shared_ptr<EmulatorBus> m_bus;
    PollingMachine m_core;
    RecordView m_view;
    std::array<std::set<uint16_t>, kFieldCount> m_allowed;
    std::size_t m_written = 0;
    PollingMachine::Pending m_pendingAtLock;
    bool m_simulated = false;
};

TEST(GeneratedFaults, NothingReachesTheKeyboardThatNobodyChose) {
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    if (std::getenv("RC_PARAMS") == nullptr)
        params.maxSuccess = 10000;
    const auto result = rc::detail::checkProperty(
        rc::detail::toProperty([&](const std::vector<Action>& actions) {
            Scenario scenario;
            for (const Action& action : actions)
                scenario.Run(action);
            scenario.Settle();
        }),
        rc::detail::TestMetadata{"GeneratedFaults", "NothingReachesTheKeyboardThatNobodyChose"},
        params);
    std::ostringstream report;
    rc::detail::printResultMessage(result, report);
    ASSERT_TRUE(result.is<rc::detail::SuccessResult>()) << report.str();
}

} // namespace
