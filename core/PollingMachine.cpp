#include "core/PollingMachine.h"

#include "core/CoreView.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/ReportProtocol.h"
#include "settings/KeyboardSettings.h"

PollingMachine::PollingMachine(std::shared_ptr<HidBus> bus)
    : m_device(std::make_unique<CHidDevice>(std::move(bus))) {}

PollingMachine::~PollingMachine() {
    Stop();
}

bool PollingMachine::Start() {
    return m_device->StartReader();
}

void PollingMachine::Stop() {
    m_device->Close();
    m_log.Close();
}

bool PollingMachine::KeyboardPresent() const {
    return m_device->IsReading();
}

uint16_t PollingMachine::ProductId() const {
    return m_device->ProductId.load();
}

uint32_t PollingMachine::CurrentConnection() const {
    return m_device->Reader ? m_device->Reader->Connection.load() : 0;
}

bool PollingMachine::ConfigurationVerified() const {
    return m_verifiedConnection != 0 && m_verifiedConnection == CurrentConnection();
}

void PollingMachine::RequestOptionsReport() {
    if (m_unlocked) {
        m_pending.options = true;
        ++m_optionsRequests.requested;
    }
}

void PollingMachine::RequestThresholdsReport() {
    if (m_unlocked) {
        m_pending.thresholds = true;
        ++m_thresholdsRequests.requested;
    }
}

void PollingMachine::RequestIdNumberReport() {
    if (m_unlocked) {
        m_pending.idNumber = true;
        ++m_idNumberRequests.requested;
    }
}

void PollingMachine::ClearUnlessRequestedAgain(bool& pending, const RequestCount& count) {
    if (count.requested == count.sent)
        pending = false;
}

// The view is told the outcome also when an unlock is refused, so that what
// it holds for the unlocked state (the writer lock) is let go in one place.
bool PollingMachine::SetConfigurationUnlocked(bool unlock) {
    if (!unlock || KeyboardPresent() || m_simulate)
        m_unlocked = unlock;
    if (m_view)
        m_view->ShowConfigurationLock(m_unlocked);
    return m_unlocked;
}

bool PollingMachine::EnableMessageLog(bool on, const std::string& path) {
    if (on)
        return m_log.Open(path);
    m_log.Close();
    return false;
}

// The file is read into a copy, so that a file that stops half-way leaves
// the record (and with it the keyboard) as it was. The display is refreshed
// last, so that nothing can paint the old values over the recalled ones.
RecallResult PollingMachine::Recall(const std::string& path) {
    KeyboardSettings recalled = g_settings;
    RecallResult result = RecallSettingsFile(path, recalled);
    if (!result.FileOpened())
        return result;
    const bool complete = result.error == RecallError::None;
    if (complete) {
        g_settings = recalled;
        RequestOptionsReport();
        RequestThresholdsReport();
        RequestIdNumberReport();
    }
    m_pending.reread = true;
    if (complete)
        ShowRecord();
    return result;
}

void PollingMachine::ShowRecord() {
    if (m_view)
        m_view->ShowRecord();
}

void PollingMachine::ShowNoDevice() {
    if (m_view)
        m_view->ShowNoDevice();
}

int PollingMachine::GetReport(uint8_t type) {
    const protocol::Payload payload = protocol::EncodeRequest(type);
    if (FILE* log = m_log.Stream())
        std::fputs(protocol::GetReportLogLine(payload).c_str(), log);
    return m_device->WriteReport(payload.bytes.data(), payload.length);
}

// Request 2 opens a full read. Until request 4 is answered the record may
// mix fresh replies with older ones, so nothing is sent from it.
bool PollingMachine::StartFullReadRequest() {
    if (GetReport(protocol::TypeThresholdsAndTimers) != 0)
        return false;
    m_verifiedConnection = 0;
    return true;
}

// The reply this tick's pull took over, if any, must answer what is awaited
// (see reply::Answers): a late answer to an earlier request, or live status
// the keyboard sent of its own accord, never stands in for it.
bool PollingMachine::CheckReply(uint16_t limit, uint8_t awaited) {
    if (g_settings.ReplyReceived && reply::Answers(g_settings.ReplyType, awaited))
        return true;
    if (++m_waitTicks > limit)
        m_state = Dispatch;
    if (!g_settings.DevicePresent) {
        ShowNoDevice();
        m_state = StartFullRead;
    }
    return false;
}

void PollingMachine::NoKeyboard() {
    m_connection = 0;
    m_acknowledgements = Acknowledgements::Trusted;
    m_state = StartFullRead;
    ClearPending();
    if (m_unlocked)
        SetConfigurationUnlocked(false);
    ShowNoDevice();
}

// A keyboard unplugged and plugged in again (or replaced) between two ticks
// is a keyboard lost: the unlock, the changes and a full read under way were
// meant for the old one.
bool PollingMachine::KeyboardReplaced() {
    const uint32_t connection = CurrentConnection();
    const bool replaced = m_connection != 0 && connection != m_connection;
    m_connection = connection;
    return replaced && !m_simulate;
}

// A loss is marked once, when a tick first finds the keyboard missing (or
// replaced), and a return when a tick first finds it again.
void PollingMachine::NoteKeyboardPresence(bool present) {
    if (m_keyboardSeen != -1 && present != (m_keyboardSeen == 1))
        m_history.AddMarker(present ? HistoryMarker::KeyboardFound : HistoryMarker::KeyboardLost);
    m_keyboardSeen = present ? 1 : 0;
}

// Events reach the event log from the reader, not the machine: each one the
// reader decoded since the last tick is marked.
void PollingMachine::NoteEvents() {
    const CReaderThread* reader = m_device->Reader.get();
    if (!reader)
        return;
    const uint64_t events = reader->EventsDecoded.load();
    for (; m_eventsSeen < events; ++m_eventsSeen)
        m_history.AddMarker(HistoryMarker::Event);
}

void PollingMachine::Tick() {
    ++m_ticks;
    const bool replaced = KeyboardReplaced();
    if (replaced || (!KeyboardPresent() && !m_simulate)) {
        NoteKeyboardPresence(false);
        NoKeyboard();
        return;
    }
    NoteKeyboardPresence(true);
    NoteEvents();

    FILE* log = m_log.Stream();
    CHidDevice* device = m_device.get();
    switch (m_state) {
    case Dispatch:
        DispatchStep();
        break;

    case AwaitStatus:
        g_settings.PullLiveStatus(device, log);
        if (CheckReply(ReplyTickLimit, protocol::TypeLiveStatus)) {
            m_acknowledgements = Acknowledgements::Trusted;
            m_history.AddSample(g_settings);
            ShowRecord();
            m_state = Dispatch;
        }
        break;

    case StartFullRead:
        if (m_simulate) {
            m_state = Dispatch;
            break;
        }
        reply::TakeWaiting(g_settings, m_device.get(), m_log.Stream());
        if (StartFullReadRequest()) {
            m_state = AwaitThresholds;
            m_waitTicks = 0;
        } else {
            m_state = Dispatch;
        }
        break;

    // A full read that does not complete starts again from request 2: the
    // record must not keep another keyboard's ID number and switches.
    case AwaitThresholds:
    case AwaitIdNumber:
    case AwaitConfigurationFlags: {
        static constexpr uint8_t expected[] = {protocol::TypeThresholdsAndTimers,
                                               protocol::TypeIdNumber,
                                               protocol::TypeConfigurationFlags};
        const int step = m_state - AwaitThresholds;
        g_settings.PullFullStatus(device, log);
        const bool tookOver = g_settings.ReplyReceived;
        if (!CheckReply(ReplyTickLimit, expected[step])) {
            if (tookOver)
                ShowRecord();
            if (m_state == Dispatch)
                m_state = StartFullRead;
            break;
        }
        ShowRecord();
        if (m_state == AwaitConfigurationFlags) {
            m_verifiedConnection = m_connection;
            if (m_view)
                m_view->ShowSensorCount(g_settings.NumberOfSensors);
            m_state = Dispatch;
        } else if (GetReport(expected[step + 1]) == 0) {
            m_state = m_state + 1;
            m_waitTicks = 0;
        } else {
            m_state = StartFullRead;
        }
        break;
    }

    case AwaitIdNumberAck:
    case AwaitThresholdsAck:
    case AwaitConfigurationFlagsAck:
    case AwaitStoreAck: {
        const int waiting = m_state;
        const bool store = waiting == AwaitStoreAck;
        g_settings.PullLiveStatus(device, log);
        if (!CheckReply(store ? StoreReplyTickLimit : ReplyTickLimit, reply::Acknowledgement)) {
            if (m_state != waiting)
                m_acknowledgements = Acknowledgements::LateOnePossible;
        } else if (m_acknowledgements != Acknowledgements::Trusted) {
            // Perhaps the late answer to an earlier write: the report stays
            // pending and goes again once a status request was answered.
            m_acknowledgements = Acknowledgements::StatusFirst;
            m_state = Dispatch;
        } else {
            if (store)
                m_pending.store = false;
            else if (m_state == AwaitIdNumberAck)
                ClearUnlessRequestedAgain(m_pending.idNumber, m_idNumberRequests);
            else if (m_state == AwaitThresholdsAck)
                ClearUnlessRequestedAgain(m_pending.thresholds, m_thresholdsRequests);
            else
                ClearUnlessRequestedAgain(m_pending.options, m_optionsRequests);
            m_state = Dispatch;
        }
        break;
    }

    default:
        m_state = StartFullRead;
        break;
    }
}

// Send the most urgent pending report, or ask for the live status. A keyboard
// whose configuration was not read on this connection is read first: until
// then the record may hold another keyboard's values, and none of them may
// reach this one.
void PollingMachine::DispatchStep() {
    FILE* log = m_log.Stream();
    if (m_simulate) {
        g_settings.SendThresholdsAndTimers(m_device.get(), log, true);
        ClearPending();
        ShowRecord();
        return;
    }

    CHidDevice* device = m_device.get();
    reply::TakeWaiting(g_settings, m_device.get(), m_log.Stream());
    int r = 0;
    if (!ConfigurationVerified()) {
        r = StartFullReadRequest() ? 0 : 1;
        m_state = AwaitThresholds;
    } else if (m_acknowledgements == Acknowledgements::StatusFirst) {
        // The keyboard answers in the order it was asked: once the status
        // request sent now is answered, every late acknowledgement has come
        // (or never will), and the next write's acknowledgement is its own.
        r = GetReport(protocol::TypeLiveStatus);
        m_state = AwaitStatus;
    } else if (m_pending.options) {
        r = g_settings.SendConfigurationFlags(device, log, false);
        m_optionsRequests.sent = m_optionsRequests.requested;
        m_state = AwaitConfigurationFlagsAck;
    } else if (m_pending.thresholds) {
        r = g_settings.SendThresholdsAndTimers(device, log, false);
        m_thresholdsRequests.sent = m_thresholdsRequests.requested;
        m_state = AwaitThresholdsAck;
    } else if (m_pending.idNumber) {
        r = g_settings.SendIdNumber(device, log, false);
        m_idNumberRequests.sent = m_idNumberRequests.requested;
        m_state = AwaitIdNumberAck;
    } else if (m_pending.store) {
        r = g_settings.SendStore(device, log, false);
        m_state = AwaitStoreAck;
    } else if (m_pending.reread) {
        r = StartFullReadRequest() ? 0 : 1;
        if (r == 0)
            m_pending.reread = false;
        m_state = AwaitThresholds;
    } else {
        r = GetReport(protocol::TypeLiveStatus);
        m_state = AwaitStatus;
    }
    m_waitTicks = 0;
    if (r != 0)
        m_state = Dispatch;
}
