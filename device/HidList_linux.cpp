#include "device/HidPlatform.h"
#include "device/ReportDescriptor.h"

#include <libudev.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// The kernel's limit on a report descriptor (HID_MAX_DESCRIPTOR_SIZE).
constexpr std::size_t MaxDescriptorLength = 4096;

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// Plain read(2): a node that vanishes makes the read fail with ENODEV, which
// a C++ stream would throw as an exception.
std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    uint8_t buffer[MaxDescriptorLength];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    close(fd);
    return bytes;
}

// Every attribute may be missing: the device can vanish at any point.
void AddInterfaces(udev* u, const char* syspath, std::vector<HidInterfaceInfo>& list) {
    UdevPtr<udev_device> raw(udev_device_new_from_syspath(u, syspath));
    if (!raw)
        return;
    const char* node = udev_device_get_devnode(raw.get());
    // The parent belongs to `raw`.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(raw.get(), "hid", nullptr);
    const char* hidId = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    const char* hidPath = hid ? udev_device_get_syspath(hid) : nullptr;
    unsigned bus = 0, vendor = 0, product = 0;
    if (!node || !hidId || !hidPath || std::sscanf(hidId, "%x:%x:%x", &bus, &vendor, &product) != 3)
        return;
    const std::vector<uint8_t> descriptor = ReadBytes(std::string(hidPath) + "/report_descriptor");
    std::vector<HidUsage> usages = TopLevelUsages(descriptor.data(), descriptor.size());
    if (usages.empty())
        usages.push_back({});
    for (const HidUsage& usage : usages) {
        HidInterfaceInfo info;
        info.path = node;
        info.vendorId = static_cast<uint16_t>(vendor);
        info.productId = static_cast<uint16_t>(product);
        info.usagePage = usage.usagePage;
        info.usage = usage.usage;
        list.push_back(std::move(info));
    }
}

} // namespace

std::vector<HidInterfaceInfo> ListHidrawInterfaces() {
    std::vector<HidInterfaceInfo> list;
    UdevPtr<udev> u(udev_new());
    if (!u)
        return list;
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(u.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0)
        return list;
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumeration.get()); entry;
         entry = udev_list_entry_get_next(entry))
        AddInterfaces(u.get(), udev_list_entry_get_name(entry), list);
    return list;
}
