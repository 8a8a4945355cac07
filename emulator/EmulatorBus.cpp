#include "emulator/EmulatorBusImpl.h"

#include "device/DeviceIds.h"

using emulator_bus::Clock;
using emulator_bus::InputQueue;
using emulator_bus::InterfaceRole;

namespace {

// The keyboard's own interfaces, in enumeration order: the configuration
// interface comes last, so that a search must skip the others.
struct OwnInterface {
    const char* path;
    InterfaceRole role;
    uint16_t usagePage;
    uint16_t usage;
    uint32_t inputLength;
    uint32_t outputLength;
};
constexpr OwnInterface OwnInterfaces[] = {
    {"emulator:keyboard", InterfaceRole::Keyboard, 0x0001, 0x0006, 9, 2},
    {"emulator:vendor", InterfaceRole::Vendor, VendorUsagePage, 0x0002, 33, 33},
    {"emulator:config", InterfaceRole::Configuration, VendorUsagePage, ConfigurationUsage, 9, 9},
};

} // namespace

// A handler registered with the bus; destroyed under the bus's lock, which
// every notification holds, so none comes after.
class EmulatorWatch : public HidWatch {
public:
    EmulatorWatch(std::shared_ptr<EmulatorBus::Impl> impl, uint64_t id)
        : m_impl(std::move(impl)), m_id(id) {}
    ~EmulatorWatch() override {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->watchers.erase(m_id);
    }

private:
    std::shared_ptr<EmulatorBus::Impl> m_impl;
    uint64_t m_id;
};

// A connection to one of the bus's interfaces.
class EmulatorBusConnection : public HidConnection {
public:
    EmulatorBusConnection(std::shared_ptr<EmulatorBus::Impl> impl,
                          std::shared_ptr<InputQueue> queue)
        : m_impl(std::move(impl)), m_queue(std::move(queue)) {}

    int read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
        auto& impl = *m_impl;
        std::unique_lock<std::mutex> guard(impl.lock);
        m_queue->everRead = true;
        auto ready = [&] { return !impl.Alive(*m_queue) || !m_queue->reports.empty(); };
        if (timeoutMs < 0)
            impl.readable.wait(guard, ready);
        else if (timeoutMs == 0 ? !ready()
                                : !impl.readable.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                                          ready))
            return 0; // a poll without waiting costs no system call
        if (!impl.Alive(*m_queue))
            return -1;
        const protocol::Report report = m_queue->reports.front();
        m_queue->reports.pop_front();
        const std::size_t n = std::min(length, report.size());
        std::memcpy(buffer, report.data(), n);
        return static_cast<int>(n);
    }

    bool write(const uint8_t* report, std::size_t length) override {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        return m_impl->Write(*m_queue, report, length);
    }

private:
    std::shared_ptr<EmulatorBus::Impl> m_impl;
    std::shared_ptr<InputQueue> m_queue;
};

EmulatorBus::EmulatorBus() : EmulatorBus(Options{}) {}

EmulatorBus::EmulatorBus(Options options) : m_impl(std::make_shared<Impl>(options)) {
    m_impl->clock = std::thread([impl = m_impl.get()] { impl->RunClock(); });
}

EmulatorBus::~EmulatorBus() {
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->closed = true;
    }
    m_impl->wake.notify_all();
    m_impl->readable.notify_all();
    m_impl->clock.join();
}

std::vector<HidInterfaceInfo> EmulatorBus::enumerate() {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    ++m_impl->enumerations;
    std::vector<HidInterfaceInfo> list = m_impl->foreign;
    if (!m_impl->plugged)
        return list;
    for (const OwnInterface& own : OwnInterfaces) {
        HidInterfaceInfo info;
        info.path = own.path;
        info.vendorId = KeyboardVendorId;
        info.productId = m_impl->options.productId;
        info.usagePage = own.usagePage;
        info.usage = own.usage;
        info.inputReportLength = own.inputLength;
        info.outputReportLength = own.outputLength;
        list.push_back(info);
    }
    return list;
}

std::unique_ptr<HidConnection> EmulatorBus::open(const std::string& path, HidOpenError* error) {
    auto fail = [error](HidOpenError why) {
        if (error)
            *error = why;
        return nullptr;
    };
    std::lock_guard<std::mutex> guard(m_impl->lock);
    auto queue = std::make_shared<InputQueue>();
    queue->generation = m_impl->generation;

    const bool foreign = std::any_of(m_impl->foreign.begin(), m_impl->foreign.end(),
                                     [&](const HidInterfaceInfo& f) { return f.path == path; });
    const auto own = std::find_if(std::begin(OwnInterfaces), std::end(OwnInterfaces),
                                  [&](const OwnInterface& o) { return path == o.path; });
    if (foreign) {
        queue->role = InterfaceRole::Foreign;
    } else if (own != std::end(OwnInterfaces)) {
        if (!m_impl->plugged)
            return fail(HidOpenError::NotFound);
        if (m_impl->permissionDenied)
            return fail(HidOpenError::PermissionDenied);
        queue->role = own->role;
    } else {
        return fail(HidOpenError::NotFound);
    }
    m_impl->queues.push_back(queue);
    if (error)
        *error = HidOpenError::None;
    return std::make_unique<EmulatorBusConnection>(m_impl, queue);
}

std::unique_ptr<HidWatch> EmulatorBus::watch(HidChangeHandler handler) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    const uint64_t id = m_impl->nextWatcher++;
    m_impl->watchers.emplace(id, std::move(handler));
    return std::make_unique<EmulatorWatch>(m_impl, id);
}

void EmulatorBus::SetNotifications(bool on) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->notifications = on;
}

void EmulatorBus::Notify(HidChange change) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Notify(change);
}

uint64_t EmulatorBus::Enumerations() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->enumerations;
}

void EmulatorBus::Plug() {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (m_impl->plugged)
        return;
    m_impl->firmware.PowerCycle();
    m_impl->plugged = true;
    m_impl->nextTick = Clock::now() + KeyboardFirmware::Tick;
    m_impl->wake.notify_all();
    m_impl->Notify(HidChange::Arrived);
}

void EmulatorBus::Unplug() {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->plugged)
        return;
    m_impl->plugged = false;
    ++m_impl->generation;
    m_impl->delayed.clear();
    m_impl->held.clear();
    m_impl->readable.notify_all();
    m_impl->Notify(HidChange::Left);
}

bool EmulatorBus::IsPlugged() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->plugged;
}
