// The built-in keyboard bus's controls for tests: faults on demand, reports
// sent of its own accord, the clock moved by hand, and what was written.

#include "emulator/EmulatorBusImpl.h"

using emulator_bus::Clock;

void EmulatorBus::SetDropReplies(bool drop) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->dropReplies = drop;
}

void EmulatorBus::SetReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->replyDelay = delay;
}

void EmulatorBus::SetHoldReplies(bool hold) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->holdReplies = hold;
    if (!hold) {
        for (const auto& report : m_impl->held)
            m_impl->Deliver(report);
        m_impl->held.clear();
    }
}

void EmulatorBus::SetFailWrites(bool fail) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->failWrites = fail;
}

void EmulatorBus::SetLoseWrites(bool lose) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->loseWrites = lose;
}

void EmulatorBus::SetPermissionDenied(bool denied) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->permissionDenied = denied;
}

void EmulatorBus::SendReport(const protocol::Report& report) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Deliver(report);
}

void EmulatorBus::SendEvent() {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->firmware.SendEvent();
    m_impl->DeliverFirmwareOutput();
}

void EmulatorBus::Flood(int perSecond, int count) {
    if (perSecond <= 0 || count <= 0)
        return;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->floodPeriod =
        std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / perSecond;
    if (m_impl->floodLeft == 0)
        m_impl->floodNext = Clock::now();
    m_impl->floodLeft += count;
    m_impl->wake.notify_all();
}

void EmulatorBus::AddForeignInterface(const HidInterfaceInfo& info) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->foreign.push_back(info);
}

void EmulatorBus::Advance(std::chrono::milliseconds elapsed) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->plugged)
        return;
    m_impl->firmware.Advance(elapsed);
    m_impl->DeliverFirmwareOutput();
}

DeviceStatus EmulatorBus::FirmwareState() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->firmware.State();
}

DeviceStatus EmulatorBus::StoredState() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->firmware.Stored();
}

std::vector<protocol::Report> EmulatorBus::WrittenReports() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->written;
}

void EmulatorBus::ClearWrittenReports() {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->written.clear();
}

uint64_t EmulatorBus::DroppedReports() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->dropped;
}

void EmulatorBus::WithFirmware(const std::function<void(KeyboardFirmware&)>& change) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    change(m_impl->firmware);
    m_impl->DeliverFirmwareOutput();
}
