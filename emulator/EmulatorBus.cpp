#include "emulator/EmulatorBus.h"

#include "device/DeviceIds.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

enum class InterfaceRole { Keyboard, Vendor, Configuration, Foreign };

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

// What one open connection has been sent and not yet read.
struct InputQueue {
    InterfaceRole role;
    uint64_t generation;
    std::deque<protocol::Report> reports;
    bool everRead = false; // losses count only where someone reads
};

} // namespace

struct EmulatorBus::Impl {
    explicit Impl(const Options& o)
        : options(o), firmware(o.productId, o.seed), plugged(o.pluggedIn) {}

    mutable std::mutex lock;
    std::condition_variable readable; // readers wait for reports here
    std::condition_variable wake;     // the clock thread waits here

    const Options options;
    KeyboardFirmware firmware;
    bool plugged;
    bool closed = false;
    // Raised at every unplug: connections opened before it are dead for good.
    uint64_t generation = 1;
    std::vector<std::weak_ptr<InputQueue>> queues;
    std::vector<HidInterfaceInfo> foreign;
    std::vector<protocol::Report> written;
    uint64_t dropped = 0;

    bool dropReplies = false;
    bool holdReplies = false;
    std::vector<protocol::Report> held;
    bool failWrites = false;
    bool loseWrites = false;
    bool permissionDenied = false;
    std::chrono::milliseconds replyDelay{0};
    std::multimap<Clock::time_point, protocol::Report> delayed;

    bool notifications = true;
    std::map<uint64_t, HidChangeHandler> watchers;
    uint64_t nextWatcher = 1;
    uint64_t enumerations = 0;

    int floodLeft = 0;
    Clock::duration floodPeriod{};
    Clock::time_point floodNext;

    Clock::time_point nextTick = Clock::now() + KeyboardFirmware::Tick;
    std::thread clock;

    // All of the following run with `lock` held.
    void Notify(HidChange change) {
        if (!notifications)
            return;
        for (const auto& [id, handler] : watchers)
            handler(change);
    }

    bool Alive(const InputQueue& q) const {
        if (closed)
            return false;
        return q.role == InterfaceRole::Foreign || (plugged && q.generation == generation);
    }

    void Deliver(const protocol::Report& report) {
        if (!plugged)
            return;
        std::erase_if(queues, [](const std::weak_ptr<InputQueue>& q) { return q.expired(); });
        for (const auto& weak : queues) {
            auto q = weak.lock();
            if (!q || q->role != InterfaceRole::Configuration || q->generation != generation)
                continue;
            if (q->reports.size() >= std::max<std::size_t>(options.queueCapacity, 1)) {
                q->reports.pop_front();
                if (q->everRead)
                    ++dropped;
            }
            q->reports.push_back(report);
        }
        readable.notify_all();
    }

    void DeliverFirmwareOutput() {
        for (const auto& report : firmware.TakeOutput())
            Deliver(report);
    }

    // The answer to a write passes through the reply faults.
    void DeliverReplies() {
        for (const auto& report : firmware.TakeOutput()) {
            if (dropReplies)
                continue;
            if (holdReplies)
                held.push_back(report);
            else if (replyDelay.count() > 0) {
                delayed.emplace(Clock::now() + replyDelay, report);
                wake.notify_all();
            } else {
                Deliver(report);
            }
        }
    }

    bool Write(const InputQueue& q, const uint8_t* report, std::size_t length) {
        if (!Alive(q) || failWrites)
            return false;
        if (q.role != InterfaceRole::Configuration)
            return true; // the other interfaces take reports and ignore them
        // The configuration interface has 8-byte output reports and no
        // report IDs: a write is the report ID 0 and those 8 bytes.
        protocol::Report whole{};
        if (report == nullptr || length != whole.size() || report[0] != 0)
            return false;
        std::memcpy(whole.data(), report, whole.size());
        written.push_back(whole);
        if (loseWrites)
            return true;
        firmware.HandleOutputReport(whole.data(), whole.size());
        DeliverReplies();
        return true;
    }

    void RunClock() {
        std::unique_lock<std::mutex> guard(lock);
        while (!closed) {
            const auto now = Clock::now();
            if (options.autonomous && plugged) {
                // After a long stall, carry on from now instead of catching up.
                if (now - nextTick > std::chrono::seconds(1))
                    nextTick = now;
                while (nextTick <= now) {
                    firmware.Advance(KeyboardFirmware::Tick);
                    nextTick += KeyboardFirmware::Tick;
                }
                DeliverFirmwareOutput();
            } else {
                nextTick = now + KeyboardFirmware::Tick;
            }
            while (!delayed.empty() && delayed.begin()->first <= now) {
                Deliver(delayed.begin()->second);
                delayed.erase(delayed.begin());
            }
            while (floodLeft > 0 && floodNext <= now) {
                firmware.PressKey();
                DeliverFirmwareOutput();
                --floodLeft;
                floodNext += floodPeriod;
            }

            auto next = Clock::time_point::max();
            if (options.autonomous)
                next = nextTick;
            if (!delayed.empty())
                next = std::min(next, delayed.begin()->first);
            if (floodLeft > 0)
                next = std::min(next, floodNext);
            if (next == Clock::time_point::max())
                wake.wait(guard);
            else
                wake.wait_until(guard, next);
        }
    }
};

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
