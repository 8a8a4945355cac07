#include "device/HidapiBus.h"

#include <hidapi.h>

#include "device/HidAccess.h"
#include "device/HidPlatform.h"

#include <cstdio>
#include <mutex>

namespace {

// hidapi wants enumerate, open and close never to run at the same time; reads
// and writes on different handles may overlap.
std::mutex g_hidapiLock;

// A library that cannot start leaves the bus empty ("no keyboard"), said once.
bool InitHidapi() {
    static const bool ok = [] {
        if (hid_init() == 0)
            return true;
        const wchar_t* reason = hid_error(nullptr);
        std::fprintf(stderr,
                     "kbconfig: the HID library could not start (%ls); no keyboard is seen\n",
                     reason ? reason : L"no reason given");
        return false;
    }();
    return ok;
}

// A connection to one hidraw node. The keyboard uses no numbered reports, so
// hidapi hands input reports over without the report ID: put it back in
// front, so that callers always see whole reports with byte 0 the ID. On
// write hidapi wants the report ID first, as callers give it.
class HidapiConnection : public HidConnection {
public:
    explicit HidapiConnection(hid_device* device) : m_device(device) {}
    ~HidapiConnection() override {
        std::lock_guard<std::mutex> lock(g_hidapiLock);
        hid_close(m_device);
    }

    int read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
        if (length < 2) {
            return -1;
        }
        buffer[0] = 0;
        const int n = hid_read_timeout(m_device, buffer + 1, length - 1, timeoutMs);
        if (n < 0) {
            return -1;
        }
        return n == 0 ? 0 : n + 1;
    }

    bool write(const uint8_t* report, std::size_t length) override {
        return hid_write(m_device, report, length) >= 0;
    }

private:
    hid_device* m_device;
};

class HidapiBus : public HidBus {
public:
    std::vector<HidInterfaceInfo> enumerate() override {
#ifdef __linux__
        // hid_enumerate of hidapi 0.13 crashes on a device that vanishes while
        // it lists the bus (a missing "uevent" attribute): never called here.
        return ListHidrawInterfaces();
#else
        std::vector<HidInterfaceInfo> result;
        std::lock_guard<std::mutex> lock(g_hidapiLock);
        if (!InitHidapi()) {
            return result;
        }
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d; d = d->next) {
            HidInterfaceInfo info;
            info.path = d->path ? d->path : "";
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            info.usagePage = d->usage_page;
            info.usage = d->usage;
            // hidapi does not tell report lengths: the keyboard's are 9 with
            // the report ID.
            info.inputReportLength = 9;
            info.outputReportLength = 9;
            result.push_back(std::move(info));
        }
        hid_free_enumeration(list);
        return result;
#endif
    }

    std::unique_ptr<HidWatch> watch(HidChangeHandler handler) override {
#if defined(__linux__) || defined(_WIN32)
        return WatchHidInterfaces(std::move(handler));
#else
        (void)handler;
        return nullptr; // the periodic search alone
#endif
    }

    // The hidraw node itself on Linux, the device path (a mutex's name) on Windows.
    std::string LockFile(const std::string& path) const override { return path; }

    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        std::lock_guard<std::mutex> lock(g_hidapiLock);
        HidOpenError result = HidOpenError::None;
        std::unique_ptr<HidConnection> connection;
        if (!InitHidapi()) {
            result = HidOpenError::Other;
        } else if (hid_device* device = hid_open_path(path.c_str())) {
            connection = std::make_unique<HidapiConnection>(device);
        } else {
            result = OpenFailure(path);
        }
        if (error) {
            *error = result;
        }
        return connection;
    }
};

} // namespace

std::shared_ptr<HidBus> CreateHidapiBus() {
    return std::make_shared<HidapiBus>();
}
