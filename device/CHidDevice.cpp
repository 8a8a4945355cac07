#include "device/CHidDevice.h"

#include "device/CReaderThread.h"
#include "device/DeviceIds.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

CHidDevice::CHidDevice(std::shared_ptr<HidBus> bus) : m_bus(std::move(bus)) {}

CHidDevice::~CHidDevice() {
    Close();
    CloseConnections();
}

bool CHidDevice::Open() {
    CloseConnections();
    ProductId = 0;

    bool denied = false;
    std::set<std::string> tried;
    // The attributes and capabilities come with the enumeration, so foreign
    // devices are never opened. The first interface that passes every test
    // wins; backends that list nested collections repeat a path, and a path
    // is opened at most once per search.
    for (const HidInterfaceInfo& info : m_bus->enumerate()) {
        if (info.vendorId != KeyboardVendorId || !IsKnownProductId(info.productId)) {
            continue;
        }
        QueryCapabilities(info);
        if (InterfaceKind != KindConfiguration) {
            continue;
        }
        if (!tried.insert(info.path).second) {
            continue;
        }
        HidOpenError error = HidOpenError::None;
        std::unique_ptr<HidConnection> writer = m_bus->open(info.path, &error);
        if (!writer) {
            denied = denied || error == HidOpenError::PermissionDenied;
            continue;
        }
        std::unique_ptr<HidConnection> reader = m_bus->open(info.path, &error);
        if (!reader) {
            denied = denied || error == HidOpenError::PermissionDenied;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_connectionLock);
            WriteHandle = std::move(writer);
            ConfigHandle = WriteHandle.get();
            ReadHandle = std::move(reader);
            m_openPath = info.path;
        }
        ProductId = info.productId;
        m_permissionDenied = false;
        return true;
    }
    m_permissionDenied = denied;
    return false;
}

std::string CHidDevice::LockFile() const {
    std::lock_guard<std::mutex> lock(m_connectionLock);
    return WriteHandle ? m_bus->LockFile(m_openPath) : std::string();
}

void CHidDevice::QueryCapabilities(const HidInterfaceInfo& info) {
    std::lock_guard<std::mutex> lock(m_connectionLock);
    Capabilities = {info.usagePage, info.usage, info.inputReportLength, info.outputReportLength};
    InterfaceKind = KindOf(info);
    if (InterfaceKind == KindConfiguration) {
        InputReportLength = info.inputReportLength;
        OutputReportLength = info.outputReportLength;
    }
}

uint8_t CHidDevice::KindOf(const HidInterfaceInfo& info) {
    // Usage 2 is tested first, on any usage page.
    if (info.usage == 2)
        return KindUsage2;
    if (info.usagePage == VendorUsagePage && info.usage == ConfigurationUsage)
        return KindConfiguration;
    return info.usagePage == VendorUsagePage ? KindVendorOther : KindOther;
}

bool CHidDevice::IsKeyboardConfiguration(const HidInterfaceInfo& info) {
    return info.vendorId == KeyboardVendorId && IsKnownProductId(info.productId) &&
           KindOf(info) == KindConfiguration;
}

int CHidDevice::ReadReport(uint8_t* buffer, int timeoutMs) {
    HidConnection* connection = ReadHandle.get();
    if (!connection) {
        return -1;
    }
    const std::size_t length = InputReportLength;
    const int n = connection->read(buffer, length, timeoutMs);
    if (n <= 0) {
        return n < 0 ? -1 : 0;
    }
    // A short report reads as if zero-filled to the full length.
    std::fill(buffer + std::min<std::size_t>(static_cast<std::size_t>(n), length), buffer + length,
              uint8_t{0});
    return 1;
}

int CHidDevice::WriteReport(const uint8_t* payload, std::size_t length) {
    std::lock_guard<std::mutex> lock(m_connectionLock);
    // Report ID 0, at most 8 payload bytes, zeros up to the report length.
    std::vector<uint8_t> report(std::max<std::size_t>(OutputReportLength, ReportLength), 0);
    std::memcpy(report.data() + 1, payload, std::min<std::size_t>(length, 8));
    if (!WriteHandle) {
        return 3;
    }
    if (!ConfigHandle) {
        return 2;
    }
    return WriteHandle->write(report.data(), OutputReportLength) ? 0 : 1;
}

bool CHidDevice::StartReader() {
    Reader = std::make_unique<CReaderThread>(this);
    return Reader->Start();
}

bool CHidDevice::IsReading() const {
    return Reader && Reader->ReaderState == CReaderThread::Reading;
}

void CHidDevice::Close() {
    if (!Reader) {
        return;
    }
    Reader->Stop();
    Reader.reset();
    CloseConnections();
}

void CHidDevice::CloseConnections() {
    std::unique_ptr<HidConnection> writer;
    std::unique_ptr<HidConnection> reader;
    {
        std::lock_guard<std::mutex> lock(m_connectionLock);
        ConfigHandle = nullptr;
        writer = std::move(WriteHandle);
        reader = std::move(ReadHandle);
    }
    // Closed outside the lock: closing may wait for the backend.
}
