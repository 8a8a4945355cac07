#include "emulator/KeyboardFirmware.h"

#include "device/DeviceIds.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t MaxLevel = 255;

uint16_t SensorCount(uint16_t productId) {
    return productId == ProductWithoutBeeper ? 2 : 4;
}

} // namespace

KeyboardFirmware::KeyboardFirmware(uint16_t productId, uint32_t seed)
    : m_productId(productId), m_state(FactoryState(productId)), m_stored(m_state),
      m_random(seed == 0 ? 1 : seed) {}

bool KeyboardFirmware::HasBeeper() const {
    return m_productId != ProductWithoutBeeper;
}

bool KeyboardFirmware::HasExtendedSwitches() const {
    return m_productId != ProductWithoutBeeper;
}

DeviceStatus KeyboardFirmware::FactoryState(uint16_t productId) {
    DeviceStatus s;
    s.LowThreshold = 60;
    s.HighThreshold = 180;
    s.IntervalTimer = 3;
    s.AlarmTimer = 24;
    s.CleanTimer = 50;
    s.KeystrokeAlarmTrigger = 1100;
    s.KeystrokeCount = 900;
    s.IdNumber = 4711;
    s.NumberOfSensors = SensorCount(productId);
    s.LeftLevel = 90;
    s.RightLevel = 110;
    s.PressureLevel = s.NumberOfSensors > 2 ? 70 : 0;
    s.Sensor4Level = s.NumberOfSensors > 3 ? 40 : 0;
    s.BeeperEnableStatus = productId == ProductWithoutBeeper ? 0 : 1;
    return s;
}

void KeyboardFirmware::SetState(const DeviceStatus& state) {
    m_state = state;
    ApplyRestrictions(m_state);
}

void KeyboardFirmware::SetStored(const DeviceStatus& stored) {
    m_stored = stored;
    ApplyRestrictions(m_stored);
}

void KeyboardFirmware::ApplyRestrictions(DeviceStatus& s) const {
    // Read-only hardware facts and missing parts cannot be switched on.
    s.NumberOfSensors = SensorCount(m_productId);
    if (!HasBeeper()) {
        s.BeeperEnableStatus = 0;
        s.BeeperAlarmOn = 0;
    }
    if (!HasExtendedSwitches()) {
        s.DisableConfig = 0;
        s.DisableBacklight = 0;
        s.DisableAutoSense = 0;
        s.Ps2Keyboard = 0;
        s.EnableReEnumeration = 0;
    }
}

void KeyboardFirmware::HandleOutputReport(const uint8_t* data, std::size_t length) {
    if (data == nullptr || length < 2)
        return;
    Report report{};
    std::memcpy(report.data(), data, std::min(length, report.size()));

    Report reply{};
    reply[1] = protocol::TypeReply;
    switch (report[1]) {
    case protocol::CmdRequest:
        if (report[2] >= protocol::TypeLiveStatus && report[2] <= protocol::TypeConfigurationFlags)
            Queue(protocol::EncodeInputReport(report[2], m_state));
        break;
    case protocol::CmdThresholdsAndTimers:
    case protocol::CmdIdNumber:
    case protocol::CmdConfigurationFlags: {
        DeviceStatus changed = m_state;
        protocol::ApplyOutputReport(report.data(), changed);
        ApplyRestrictions(changed);
        m_state = changed;
        Queue(reply);
        break;
    }
    case protocol::CmdStore:
        m_stored = m_state;
        Queue(reply);
        break;
    default:
        break; // unknown commands are ignored, as a real keyboard would
    }
}

void KeyboardFirmware::Advance(Milliseconds elapsed) {
    m_carry += elapsed;
    while (m_carry >= Tick) {
        m_carry -= Tick;
        Step();
    }
}

void KeyboardFirmware::Step() {
    MoveSensors();
    if (!m_state.CleanActive && m_state.KeystrokeCount < 0xFFFF)
        m_state.KeystrokeCount = static_cast<uint16_t>(m_state.KeystrokeCount + Random() % 2);
    m_sinceClean += Tick;
    UpdateAlarms();
    UpdateCleaning();

    if (m_eventInterval.count() > 0) {
        m_sinceEvent += Tick;
        if (m_sinceEvent >= m_eventInterval) {
            m_sinceEvent = Milliseconds{0};
            SendEvent(EventHeartbeat);
        }
    }
}

void KeyboardFirmware::MoveSensors() {
    const uint16_t count = m_state.NumberOfSensors;
    struct Sensor {
        uint16_t& level;
        bool enabled;
    };
    Sensor sensors[] = {
        {m_state.LeftLevel, count > 0 && !m_state.DisableSensorLeft},
        {m_state.RightLevel, count > 1 && !m_state.DisableSensorReft},
        {m_state.PressureLevel, count > 2 && !m_state.DisableSensorPressure},
        {m_state.Sensor4Level, count > 3 && !m_state.DisableSensor4},
    };
    for (Sensor& sensor : sensors) {
        if (!sensor.enabled) {
            sensor.level = 0;
            continue;
        }
        // A step of -3..+3; a cleaning run pulls the levels down.
        int level = std::min<int>(sensor.level, MaxLevel);
        level += static_cast<int>(Random() % 7) - 3;
        if (m_state.CleanActive)
            level -= 2;
        sensor.level = static_cast<uint16_t>(std::clamp(level, 0, int{MaxLevel}));
    }
}

void KeyboardFirmware::UpdateAlarms() {
    if (m_state.HostModeEnable) {
        // The host switches the indicators itself.
        m_state.LedAlarmOn = m_state.HostLedOn ? 1 : 0;
        m_state.BeeperAlarmOn = (m_state.HostBeeperOn && HasBeeper()) ? 1 : 0;
        return;
    }
    const bool keystrokes =
        m_state.EnableKeystroke && m_state.KeystrokeCount >= m_state.KeystrokeAlarmTrigger;
    const bool timer = m_state.EnableTimer && m_state.AlarmTimer > 0 &&
                       m_sinceClean >= std::chrono::minutes(m_state.AlarmTimer);
    const bool alarm = (keystrokes || timer) && !m_state.CleanActive;
    if (alarm && !m_alarm)
        SendEvent(EventAlarmRaised);
    m_alarm = alarm;
    m_alarmFor = alarm ? m_alarmFor + Tick : Milliseconds{0};
    m_state.LedAlarmOn = (alarm && m_state.LedEnableStatus) ? 1 : 0;
    m_state.BeeperAlarmOn = (alarm && m_state.BeeperEnableStatus && HasBeeper()) ? 1 : 0;
}

void KeyboardFirmware::UpdateCleaning() {
    if (!m_state.CleanActive) {
        // The user answers an alarm by starting a cleaning run.
        if (m_alarm && m_alarmFor >= AlarmResponseTime) {
            m_state.CleanActive = 1;
            m_cleaningFor = Milliseconds{0};
            SendEvent(EventCleaningStarted);
        }
        return;
    }
    m_cleaningFor += Tick;
    if (m_cleaningFor >= std::chrono::seconds(std::max<uint16_t>(m_state.CleanTimer, 1))) {
        m_state.CleanActive = 0;
        m_state.KeystrokeCount = 0;
        m_sinceClean = Milliseconds{0};
        m_alarm = false;
        m_alarmFor = Milliseconds{0};
        SendEvent(EventCleaningFinished);
    }
}

void KeyboardFirmware::PowerCycle() {
    const DeviceStatus before = m_state;
    const DeviceStatus factory = FactoryState(m_productId);
    m_state = m_stored;
    m_state.LeftLevel = factory.LeftLevel;
    m_state.RightLevel = factory.RightLevel;
    m_state.PressureLevel = factory.PressureLevel;
    m_state.Sensor4Level = factory.Sensor4Level;
    m_state.KeystrokeCount = before.KeystrokeCount;
    m_state.LedAlarmOn = 0;
    m_state.BeeperAlarmOn = 0;
    m_state.CleanActive = m_state.PowerOnWipe ? 1 : 0;
    ApplyRestrictions(m_state);

    m_output.clear();
    m_carry = m_sinceEvent = m_sinceClean = m_alarmFor = m_cleaningFor = Milliseconds{0};
    m_alarm = false;
}

void KeyboardFirmware::SendEvent(uint8_t code) {
    Report report{};
    report[1] = protocol::TypeEvent;
    report[2] = code;
    report[3] = static_cast<uint8_t>(m_state.KeystrokeCount >> 8);
    report[4] = static_cast<uint8_t>(m_state.KeystrokeCount & 0xFF);
    report[5] =
        static_cast<uint8_t>((m_state.LedAlarmOn ? 1 : 0) | (m_state.BeeperAlarmOn ? 2 : 0) |
                             (m_state.CleanActive ? 4 : 0));
    Queue(report);
}

void KeyboardFirmware::PressKey() {
    if (m_state.KeystrokeCount < 0xFFFF)
        ++m_state.KeystrokeCount;
    Queue(protocol::EncodeInputReport(protocol::TypeLiveStatus, m_state));
}

std::vector<KeyboardFirmware::Report> KeyboardFirmware::TakeOutput() {
    std::vector<Report> out(m_output.begin(), m_output.end());
    m_output.clear();
    return out;
}

uint32_t KeyboardFirmware::Random() {
    // xorshift32: small, fast and the same on every platform.
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return m_random;
}
