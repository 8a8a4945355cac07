// Random sequences of a technician's actions and keyboard faults, run against
// the polling machine, the real settings pages (offscreen) and the built-in
// keyboard with no thread and no clock: the reader's loop is stepped by hand
// after every action, so a sequence is repeatable and shrinks to a short
// counterexample.
//
// What may be sent is fixed before each step. Only the technician adds to it
// (a slider moved adds the value of its new position, a recall the values
// its file carries); the keyboard's own values are admitted after the
// reports of the step were checked. After every step: every report 5, 6 or 7
// written carries only allowed values, exactly; a locked configuration sends
// nothing but what was pending when it was locked; the pages show the
// record. At the end, once the faults stop: the keyboard and the record agree.

#include "core/CoreView.h"
#include "core/KeyboardSession.h"
#include "core/PollingMachine.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"
#include "pages/CPropSheet.h"
#include "pages/SliderScales.h"
#include "res/ControlIds.h"
#include "settings/KeyboardSettings.h"
#include "settings/SettingsFile.h"

#include <QSlider>

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>

namespace {

using slider::Scale;
using S = DeviceStatus;

// The settings carried by reports 5, 6 and 7: first the six the pages show
// with a slider (report 5), then the ID number (report 6), then the switches
// (report 7).
struct Field {
    const char* name;
    uint16_t S::*word;
    uint8_t S::*flag;
    std::optional<Scale> scale;
    int sliderId = 0; // on the Timers page for the alarm, else the Threshold page
};
#define FLAG(member)                                                                               \
    { #member, nullptr, &S::member, std::nullopt }
const Field kFields[] = {
    {"LowThreshold", &S::LowThreshold, nullptr, Scale::Threshold, IDC_LOW_SLIDER},
    {"HighThreshold", &S::HighThreshold, nullptr, Scale::Threshold, IDC_HIGH_SLIDER},
    {"IntervalTimer", &S::IntervalTimer, nullptr, Scale::Interval, IDC_INTERVAL_SLIDER},
    {"AlarmTimer", &S::AlarmTimer, nullptr, Scale::AlarmHours, IDC_ALARM_TIMER_SLIDER},
    {"CleanTimer", &S::CleanTimer, nullptr, Scale::Clean, IDC_CLEAN_SLIDER},
    {"KeystrokeAlarmTrigger", &S::KeystrokeAlarmTrigger, nullptr, Scale::KeyLimit,
     IDC_KEY_LIMIT_SLIDER},
    {"IdNumber", &S::IdNumber, nullptr, std::nullopt},
    // clang-format off
    // The switches a settings file carries, in the file's order, then the others.
    FLAG(EnableTimer), FLAG(EnableKeystroke), FLAG(LedEnableStatus), FLAG(BeeperEnableStatus),
    FLAG(PowerOnWipe), FLAG(DisableSensorLeft), FLAG(DisableSensorReft),
    FLAG(DisableSensorPressure), FLAG(DisableSensor4), FLAG(DisableBacklight),
    FLAG(DisableConfig), FLAG(DisableAutoSense), FLAG(Ps2Keyboard), FLAG(EnableReEnumeration),
    FLAG(HostLedOn), FLAG(HostBeeperOn), FLAG(HostModeEnable)};
// clang-format on
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

// ---- actions ---------------------------------------------------------------

// clang-format off
enum class Act : uint8_t {
    // the technician
    Unlock, Lock, MoveSlider, TickFlag, SetId, Store, RecallGood, RecallBroken, Simulate,
    ShowPage, Paint, Ticks, ApplyElsewhere,
    // the keyboard
    Unplug, Plug, Swap, DropReplies, LoseReply, HoldReplies, FailWrites, UnknownReport, Event,
    Flood, LateReplyLostWrite,
};
// clang-format on
// Each action's name, in the order above, and how often it is drawn.
const std::pair<const char*, int> kActs[] = {
    {"Unlock", 4},         {"Lock", 1},      {"MoveSlider", 4},  {"TickFlag", 3},
    {"SetId", 2},          {"Store", 1},     {"RecallGood", 2},  {"RecallBroken", 2},
    {"Simulate", 1},       {"ShowPage", 3},  {"Paint", 3},       {"Ticks", 10},
    {"ApplyElsewhere", 2}, {"Unplug", 1},    {"Plug", 1},        {"Swap", 2},
    {"DropReplies", 1},    {"LoseReply", 2}, {"HoldReplies", 2}, {"FailWrites", 1},
    {"UnknownReport", 1},  {"Event", 1},     {"Flood", 1},       {"LateReplyLostWrite", 2}};
const char* NameOf(Act act) {
    return kActs[static_cast<int>(act)].first;
}

struct Action {
    Act act = Act::Ticks;
    int a = 0; // which slider, flag, page or on/off; the count of ticks or reports
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

// ---- the window's pages ------------------------------------------------------

// The real property sheet with all three pages, shown offscreen and reused by
// every scenario; the main window's own fields are modelled by `shown`.
struct PagesView : CoreView {
    CPropSheet sheet{QStringLiteral("PropSheet"), nullptr, true, 0};
    S shown;

    PagesView() { sheet.show(); }

    void Begin(ReportRequests* requests) {
        sheet.m_threshold.SetRequests(requests);
        sheet.m_timers.SetRequests(requests);
        sheet.m_manufacturing.SetRequests(requests);
        sheet.setCurrentIndex(0);
        ShowConfigurationLock(false);
        ShowRecord();
    }

    void ShowRecord() override {
        shown = g_settings;
        sheet.m_threshold.ShowSettings(g_settings);
        sheet.m_timers.ShowSettings(g_settings);
        sheet.m_manufacturing.ShowSettings(g_settings);
    }
    void ShowNoDevice() override {}
    void ShowSensorCount(int) override {}
    void ShowConfigurationLock(bool unlocked) override {
        sheet.m_threshold.EnableControls(unlocked, 0x0705);
        sheet.m_timers.EnableControls(unlocked, 0x0705);
        sheet.m_manufacturing.EnableControls(unlocked, 0x0705);
    }

    QSlider* Slider(const Field& f) {
        if (f.scale == Scale::AlarmHours)
            return static_cast<QSlider*>(sheet.m_timers.Control(f.sliderId));
        return static_cast<QSlider*>(sheet.m_threshold.Control(f.sliderId));
    }

    // The field the window shows differently from the record, if any. A
    // slider may stand at the nearest position to a value it cannot show.
    const char* Mismatch() {
        for (int i = 0; i < kFieldCount; ++i) {
            const Field& f = kFields[i];
            const uint16_t value = Get(g_settings, f);
            if (i < kSliderCount) {
                const int position = Slider(f)->value();
                if (position != slider::PositionOf(*f.scale, value) &&
                    value != slider::ValueAt(*f.scale, position))
                    return f.name;
            } else if (Get(shown, f) != value) {
                return f.name;
            }
        }
        return nullptr;
    }
};

// One for the whole test, made after the application and gone before it.
PagesView* g_pages = nullptr;

// ---- one scenario ------------------------------------------------------------

class Scenario {
public:
    Scenario()
        : m_bus(std::make_shared<EmulatorBus>(
              EmulatorBus::Options{.autonomous = false, .pluggedIn = false})),
          m_core(m_bus), m_view(*g_pages) {
        g_settings = KeyboardSettings{};
        m_view.Begin(&m_core);
        m_core.SetView(&m_view);
        CHidDevice& device = m_core.Device();
        device.Reader = std::make_unique<CReaderThread>(&device);
        NewKeyboard(1);
        Plug();
        Pump();
    }

    void Run(const Action& x) {
        const bool unlocked = m_core.ConfigurationUnlocked();
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
            MoveSlider(x);
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
        case Act::ApplyElsewhere:
            ApplyElsewhere(x.b);
            break;
        case Act::ShowPage:
            m_view.sheet.setCurrentIndex(x.a % m_view.sheet.count());
            m_view.sheet.currentWidget()->repaint();
            break;
        case Act::Paint:
            m_view.sheet.currentWidget()->repaint();
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
        case Act::LateReplyLostWrite: {
            // Whatever was asked goes unanswered; the technician moves a
            // slider; its report is lost; then the late answer arrives.
            m_bus->SetHoldReplies(true);
            for (int i = 0; i <= PollingMachine::ReplyTickLimit; ++i)
                Tick();
            MoveSlider(x);
            m_bus->SetLoseWrites(true);
            Tick();
            m_bus->SetHoldReplies(false);
            Pump();
            Tick();
            m_bus->SetLoseWrites(false);
            break;
        }
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
        m_bus->SetLoseWrites(false);
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

    // The technician moves a slider to another position, with the mouse or
    // the keyboard as the slider takes it; locked, the slider cannot be used.
    void MoveSlider(const Action& x) {
        const Field& f = kFields[x.a % kSliderCount];
        QSlider* s = m_view.Slider(f);
        const int position = x.b % (s->maximum() + 1);
        if (!s->isEnabled() || position == s->value())
            return;
        m_allowed[&f - kFields].insert(slider::ValueAt(*f.scale, position));
        s->setSliderPosition(position);
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

    // Another program applies a settings file and stores it, while the
    // window is locked with nothing left to send: its reports may carry the
    // file's values and the keyboard's own. Then the keyboard is plugged in
    // anew, so that the window reads what it now holds.
    void ApplyElsewhere(int seed) {
        const PollingMachine::Pending& p = m_core.PendingReports();
        if (m_core.ConfigurationUnlocked() || p.options || p.thresholds || p.idNumber || p.store ||
            !m_bus->IsPlugged())
            return;
        m_bus->SetHoldReplies(false);
        m_bus->SetDropReplies(false);
        m_bus->SetFailWrites(false);
        Pump();
        std::mt19937 random(static_cast<unsigned>(seed));
        const auto& version = kVersions[random() % std::size(kVersions)];
        S file;
        for (int line = 0; line < version.values; ++line) {
            const Field& f = FileField(line);
            Set(file, f, RandomValue(random, f));
            m_allowed[&f - kFields].insert(Get(file, f));
        }
        {
            KeyboardSession session(m_bus);
            session.SetReplyTimeouts(std::chrono::milliseconds(50), std::chrono::milliseconds(50));
            std::string differences;
            if (session.Open() == KeyboardSession::Result::Done)
                session.ApplyFileFields(file, version.values, true, differences);
        }
        Pump();
        m_otherWriter = true;
        Check("apply");
        m_otherWriter = false;
        m_bus->Unplug();
        Pump();
        Plug();
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
            if (!m_core.ConfigurationUnlocked() && !m_otherWriter) {
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
        if (const char* field = m_view.Mismatch())
            RC_FAIL(std::string(step) + ": the window does not show the record's " + field);

        // Only now, with its reports checked, the keyboard's own values are
        // its to be sent back.
        const S keyboard = m_bus->FirmwareState();
        for (int i = 0; i < kFieldCount; ++i)
            m_allowed[i].insert(Get(keyboard, kFields[i]));
    }

    std::shared_ptr<EmulatorBus> m_bus;
    PollingMachine m_core;
    PagesView& m_view;
    std::array<std::set<uint16_t>, kFieldCount> m_allowed;
    std::size_t m_written = 0;
    PollingMachine::Pending m_pendingAtLock;
    bool m_simulated = false;
    bool m_otherWriter = false; // the reports checked are another program's
};

TEST(GeneratedFaults, NothingReachesTheKeyboardThatNobodyChose) {
    PagesView pages;
    g_pages = &pages;
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
