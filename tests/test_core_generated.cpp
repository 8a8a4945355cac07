// Random sequences of a technician's actions and keyboard faults, run against
// the polling machine and the built-in keyboard with no thread and no clock:
// the reader's loop is stepped by hand after every action, so a sequence is
// repeatable and shrinks to a short counterexample.
//
// After every step: every report 5, 6 or 7 the keyboard received carries only
// values the technician chose or this keyboard itself held since it was
// found; a locked configuration sends nothing but what was pending when it
// was locked; what the window would show is the record. At the end, once the
// faults stop: the keyboard, the record and the window agree.

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"
#include "pages/SliderScales.h"
#include "settings/KeyboardSettings.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

using slider::Scale;
using S = DeviceStatus;

// The settings carried by reports 5, 6 and 7, with the slider that shows
// each of those the pages show with a slider.
struct Field {
    const char* name;
    uint16_t S::*word;
    uint8_t S::*flag;
    uint8_t command;
    std::optional<Scale> scale;
    bool byte; // travels as its low 8 bits
};
constexpr uint8_t Thresholds = 5, IdNumber = 6, Flags = 7;
const Field kFields[] = {
    {"LowThreshold", &S::LowThreshold, nullptr, Thresholds, Scale::Threshold, true},
    {"HighThreshold", &S::HighThreshold, nullptr, Thresholds, Scale::Threshold, true},
    {"IntervalTimer", &S::IntervalTimer, nullptr, Thresholds, Scale::Interval, true},
    {"AlarmTimer", &S::AlarmTimer, nullptr, Thresholds, Scale::AlarmHours, true},
    {"CleanTimer", &S::CleanTimer, nullptr, Thresholds, Scale::Clean, true},
    {"KeystrokeAlarmTrigger", &S::KeystrokeAlarmTrigger, nullptr, Thresholds, Scale::KeyLimit,
     false},
    {"IdNumber", &S::IdNumber, nullptr, IdNumber, std::nullopt, false},
    {"EnableTimer", nullptr, &S::EnableTimer, Flags, std::nullopt, false},
    {"EnableKeystroke", nullptr, &S::EnableKeystroke, Flags, std::nullopt, false},
    {"LedEnableStatus", nullptr, &S::LedEnableStatus, Flags, std::nullopt, false},
    {"HostLedOn", nullptr, &S::HostLedOn, Flags, std::nullopt, false},
    {"BeeperEnableStatus", nullptr, &S::BeeperEnableStatus, Flags, std::nullopt, false},
    {"HostBeeperOn", nullptr, &S::HostBeeperOn, Flags, std::nullopt, false},
    {"PowerOnWipe", nullptr, &S::PowerOnWipe, Flags, std::nullopt, false},
    {"HostModeEnable", nullptr, &S::HostModeEnable, Flags, std::nullopt, false},
    {"Ps2Keyboard", nullptr, &S::Ps2Keyboard, Flags, std::nullopt, false},
    {"DisableBacklight", nullptr, &S::DisableBacklight, Flags, std::nullopt, false},
    {"DisableConfig", nullptr, &S::DisableConfig, Flags, std::nullopt, false},
    {"DisableAutoSense", nullptr, &S::DisableAutoSense, Flags, std::nullopt, false},
    {"DisableSensorLeft", nullptr, &S::DisableSensorLeft, Flags, std::nullopt, false},
    {"DisableSensorReft", nullptr, &S::DisableSensorReft, Flags, std::nullopt, false},
    {"DisableSensorPressure", nullptr, &S::DisableSensorPressure, Flags, std::nullopt, false},
    {"DisableSensor4", nullptr, &S::DisableSensor4, Flags, std::nullopt, false},
    {"EnableReEnumeration", nullptr, &S::EnableReEnumeration, Flags, std::nullopt, false},
};
constexpr int kFieldCount = static_cast<int>(std::size(kFields));
constexpr int kSliderCount = 6; // the first six fields

uint16_t Get(const S& s, const Field& f) {
    return f.word ? s.*f.word : s.*f.flag;
}
void Set(S& s, const Field& f, uint16_t v) {
    if (f.word)
        s.*f.word = v;
    else
        s.*f.flag = v != 0 ? 1 : 0;
}
// What the keyboard receives for a value of the record.
uint16_t OnTheWire(const Field& f, uint16_t v) {
    return f.byte ? v & 0xFF : v;
}
// A value and what showing it on its slider and writing it back makes of it.
std::set<uint16_t> ShownAndWrittenBack(const Field& f, uint16_t v) {
    std::set<uint16_t> values{v};
    for (int i = 0; f.scale && i < 4; ++i)
        values.insert(v = slider::ValueAt(*f.scale, slider::PositionOf(*f.scale, v)));
    return values;
}

template <typename Message> void Require(bool ok, const Message& message) {
    if (!ok)
        RC_FAIL(message());
}

// ---- actions ---------------------------------------------------------------

// clang-format off
enum class Act : uint8_t {
    // the technician
    Unlock, Lock, MoveSlider, TickFlag, SetId, Store, RecallGood, RecallBroken, Simulate, Paint,
    Ticks,
    // the keyboard
    Unplug, Plug, Swap, DropReplies, LoseReply, HoldReplies, FailWrites, UnknownReport, Event,
    Flood,
};
const char* const kActNames[] = {
    "Unlock", "Lock", "MoveSlider", "TickFlag", "SetId", "Store", "RecallGood", "RecallBroken",
    "Simulate", "Paint", "Ticks", "Unplug", "Plug", "Swap", "DropReplies", "LoseReply",
    "HoldReplies", "FailWrites", "UnknownReport", "Event", "Flood",
};
// clang-format on

struct Action {
    Act act = Act::Ticks;
    int a = 0; // which slider, flag, page or on/off; the count of ticks or reports
    int b = 0; // a position, an ID, a seed for a file or a keyboard
};

} // namespace

namespace rc {
template <> struct Arbitrary<Action> {
    static Gen<Action> arbitrary() {
        return gen::build<Action>(
            gen::set(&Action::act,
                     gen::weightedElement<Act>({
                         {4, Act::Unlock},        {1, Act::Lock},         {4, Act::MoveSlider},
                         {3, Act::TickFlag},      {2, Act::SetId},        {1, Act::Store},
                         {2, Act::RecallGood},    {2, Act::RecallBroken}, {1, Act::Simulate},
                         {3, Act::Paint},         {10, Act::Ticks},       {1, Act::Unplug},
                         {1, Act::Plug},          {2, Act::Swap},         {1, Act::DropReplies},
                         {2, Act::LoseReply},     {2, Act::HoldReplies},  {1, Act::FailWrites},
                         {1, Act::UnknownReport}, {1, Act::Event},        {1, Act::Flood},
                     })),
            gen::set(&Action::a, gen::inRange(0, 24)),
            gen::set(&Action::b, gen::inRange(0, 10000)));
    }
};
} // namespace rc

namespace {

void showValue(const Action& action, std::ostream& os) {
    os << kActNames[static_cast<int>(action.act)] << "(" << action.a << ", " << action.b << ")";
}

// ---- the window, as far as the keyboard can tell -----------------------------

// What the window and its pages show of the record. Sliders keep their
// position until the record is shown again, and write back what they show
// whenever they paint.
struct ModelView : CoreView {
    S shown;
    std::array<int, kSliderCount> positions{};

    void ShowRecord() override {
        shown = g_settings;
        for (int i = 0; i < kSliderCount; ++i)
            positions[i] = slider::PositionOf(*kFields[i].scale, Get(g_settings, kFields[i]));
    }
    void ShowNoDevice() override {}
    void ShowSensorCount(int) override {}
    void ShowConfigurationLock(bool) override {}

    // The Threshold page's five sliders, or the Timers page's alarm slider.
    void Paint(ReportRequests& requests, bool thresholdPage) {
        for (int i = 0; i < kSliderCount; ++i) {
            const bool onPage = kFields[i].scale != Scale::AlarmHours;
            if (onPage == thresholdPage) {
                Set(g_settings, kFields[i], slider::ValueAt(*kFields[i].scale, positions[i]));
                Set(shown, kFields[i], Get(g_settings, kFields[i]));
            }
        }
        requests.RequestThresholdsReport();
    }

    // The field the window shows differently from the record, if any.
    const char* Mismatch() const {
        for (int i = 0; i < kFieldCount; ++i) {
            const Field& f = kFields[i];
            const uint16_t value = Get(g_settings, f);
            if (i < kSliderCount) {
                if (positions[i] != slider::PositionOf(*f.scale, value) &&
                    value != slider::ValueAt(*f.scale, positions[i]))
                    return f.name;
            } else if (Get(shown, f) != value) {
                return f.name;
            }
        }
        return nullptr;
    }
};

// ---- one scenario ------------------------------------------------------------

class Scenario {
public:
    explicit Scenario(const std::filesystem::path& dir)
        : m_dir(dir), m_bus(std::make_shared<EmulatorBus>(
                          EmulatorBus::Options{.autonomous = false, .pluggedIn = false})),
          m_core(m_bus) {
        g_settings = KeyboardSettings{};
        m_view.ShowRecord();
        m_core.SetView(&m_view);
        CHidDevice& device = m_core.Device();
        device.Reader = std::make_unique<CReaderThread>(&device);
        NewKeyboard(1);
        m_bus->Plug();
        Found();
        Pump();
    }

    void Run(const Action& x) {
        const bool unlocked = m_core.ConfigurationUnlocked();
        switch (x.act) {
        case Act::Unlock:
            if (m_core.SetConfigurationUnlocked(true))
                m_pendingAtLock = {};
            break;
        case Act::Lock:
            m_pendingAtLock = m_core.PendingReports();
            m_core.SetConfigurationUnlocked(false);
            break;
        case Act::MoveSlider: // locked, the controls cannot be used
            if (unlocked) {
                const int i = x.a % kSliderCount;
                const Scale scale = *kFields[i].scale;
                m_view.positions[i] = x.b % (slider::Maximum(scale) + 1);
                Choose(kFields[i], slider::ValueAt(scale, m_view.positions[i]));
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
        case Act::Paint:
            m_view.Paint(m_core, x.a % 2 == 0);
            break;
        case Act::Ticks:
            for (int i = 0; i <= x.a % 4; ++i)
                Tick();
            break;
        case Act::Unplug:
            m_bus->Unplug();
            break;
        case Act::Plug:
            if (!m_bus->IsPlugged()) {
                m_bus->Plug();
                Found();
            }
            break;
        case Act::Swap: // another keyboard in its place
            m_bus->Unplug();
            NewKeyboard(x.b);
            m_bus->Plug();
            Found();
            break;
        case Act::DropReplies:
            m_bus->SetDropReplies(x.a % 2 == 1);
            break;
        case Act::LoseReply: // the reply to what the next tick sends
            m_bus->SetDropReplies(true);
            Tick();
            m_bus->SetDropReplies(false);
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
        Check(kActNames[static_cast<int>(x.act)]);
    }

    // The faults stop; after enough ticks for a store that went unanswered
    // to be repeated, everything must agree.
    void Settle() {
        m_bus->SetDropReplies(false);
        m_bus->SetHoldReplies(false);
        m_bus->SetFailWrites(false);
        if (!m_bus->IsPlugged()) {
            m_bus->Plug();
            Found();
        }
        m_core.SetSimulate(false);
        Pump();
        for (int i = 0; i < 2 * PollingMachine::StoreReplyTickLimit + 20; ++i)
            Tick();
        const S keyboard = m_bus->FirmwareState();
        for (const Field& f : kFields) {
            // Sent values: unless Simulate kept some back on purpose.
            if (!m_simulated) {
                const auto settled = ShownAndWrittenBack(f, Get(keyboard, f));
                Require(settled.count(Get(g_settings, f)) != 0, [&] {
                    return std::string(f.name) + ": record " + std::to_string(Get(g_settings, f)) +
                           ", keyboard " + std::to_string(Get(keyboard, f));
                });
            }
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
        Set(m_view.shown, f, value);
        m_allowed[&f - kFields].insert(value);
    }

    // A keyboard of its own: values nobody else has.
    void NewKeyboard(int seed) {
        std::mt19937 random(static_cast<unsigned>(seed));
        S s = KeyboardFirmware::FactoryState(0x0705);
        for (const Field& f : kFields)
            Set(s, f, static_cast<uint16_t>(f.flag ? random() % 2 : random() % 256));
        s.KeystrokeAlarmTrigger = static_cast<uint16_t>(1000 * (random() % 65));
        s.IdNumber = static_cast<uint16_t>(10000 + random() % 10000);
        m_bus->WithFirmware([&](KeyboardFirmware& firmware) {
            firmware.SetState(s);
            const protocol::Payload store = protocol::EncodeStore();
            protocol::Report report{};
            std::copy_n(store.bytes.begin(), store.length, report.begin() + 1);
            firmware.HandleOutputReport(report.data(), report.size());
            firmware.TakeOutput();
        });
    }

    // A keyboard was plugged in: what it may be sent starts anew.
    void Found() {
        for (auto& values : m_allowed)
            values.clear();
        m_written = m_bus->WrittenReports().size();
    }

    void Recall(int seed, bool good) {
        std::mt19937 random(static_cast<unsigned>(seed));
        S file;
        std::ostringstream text;
        text << "6 Quindle Keyboard Configuration Utility Settings\r\n";
        const int cut = good ? 20 : static_cast<int>(random() % 19);
        int line = 0;
        for (const Field& f : kFields) {
            if (&f == &kFields[kSliderCount])
                continue; // the ID number is not in settings files
            const auto value = static_cast<uint16_t>(f.flag ? random() % 2 : 300 + random() % 700);
            Set(file, f, value);
            if (line++ < cut)
                text << value << " " << f.name << "\r\n";
            else if (seed % 2 == 0)
                text << "x" << f.name << "\r\n"; // a broken line, not a short file
        }
        const auto path = m_dir / "recalled.set";
        std::ofstream(path, std::ios::binary) << text.str();
        const RecallResult result = m_core.Recall(path.string());
        RC_ASSERT((result.error == RecallError::None) == good);
        if (good) {
            for (int i = 0; i < kFieldCount; ++i) {
                if (i != kSliderCount)
                    m_allowed[i].insert(Get(file, kFields[i]));
            }
        }
    }

    void Check(const char* step) {
        // The keyboard's own values are its to be sent back.
        const S keyboard = m_bus->FirmwareState();
        for (int i = 0; i < kFieldCount; ++i)
            m_allowed[i].insert(Get(keyboard, kFields[i]));

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
                if (f.command != command)
                    continue;
                bool chosen = false;
                for (uint16_t value : m_allowed[i]) {
                    for (uint16_t shown : ShownAndWrittenBack(f, value))
                        chosen = chosen || OnTheWire(f, shown) == Get(sent, f);
                }
                Require(chosen, [&] {
                    return std::string(step) + ": report " + std::to_string(command) + " carried " +
                           f.name + " " + std::to_string(Get(sent, f)) + ", which nobody chose";
                });
            }
        }
        if (const char* field = m_view.Mismatch())
            RC_FAIL(std::string(step) + ": the window does not show the record's " + field);
    }

    std::filesystem::path m_dir;
    std::shared_ptr<EmulatorBus> m_bus;
    PollingMachine m_core;
    ModelView m_view;
    std::array<std::set<uint16_t>, kFieldCount> m_allowed;
    std::size_t m_written = 0;
    PollingMachine::Pending m_pendingAtLock;
    bool m_simulated = false;
};

// The event log goes to the current directory: keep it out of the build tree.
struct TemporaryDirectory {
    std::filesystem::path path;
    std::filesystem::path previous = std::filesystem::current_path();
    TemporaryDirectory() {
        char name[] = "/tmp/kbconfig-generated-XXXXXX";
        path = ::mkdtemp(name);
        std::filesystem::current_path(path);
    }
    ~TemporaryDirectory() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
};

TEST(GeneratedFaults, NothingReachesTheKeyboardThatNobodyChose) {
    TemporaryDirectory dir;
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    if (std::getenv("RC_PARAMS") == nullptr)
        params.maxSuccess = 10000;
    const auto start = std::chrono::steady_clock::now();
    const auto result = rc::detail::checkProperty(
        rc::detail::toProperty([&](const std::vector<Action>& actions) {
            Scenario scenario(dir.path);
            for (const Action& action : actions)
                scenario.Run(action);
            scenario.Settle();
        }),
        rc::detail::TestMetadata{"GeneratedFaults", "NothingReachesTheKeyboardThatNobodyChose"},
        params);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream report;
    rc::detail::printResultMessage(result, report);
    ASSERT_TRUE(result.is<rc::detail::SuccessResult>()) << report.str();
    std::cout << params.maxSuccess << " scenarios in " << seconds << " s ("
              << params.maxSuccess / seconds << " per second)\n";
}

} // namespace
