// The keyboards on a bus, and a bus narrowed to one of them.

#include "core/KeyboardBus.h"

#include "device/CHidDevice.h"

#include <set>

namespace {

class PathBus : public HidBus {
public:
    PathBus(std::shared_ptr<HidBus> bus, std::string path)
        : m_bus(std::move(bus)), m_path(std::move(path)) {}

    std::vector<HidInterfaceInfo> enumerate() override {
        std::vector<HidInterfaceInfo> list = m_bus->enumerate();
        std::erase_if(list, [this](const HidInterfaceInfo& info) { return info.path != m_path; });
        return list;
    }

    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        if (path == m_path)
            return m_bus->open(path, error);
        if (error)
            *error = HidOpenError::NotFound;
        return nullptr;
    }

    std::unique_ptr<HidWatch> watch(HidChangeHandler handler) override {
        return m_bus->watch(std::move(handler));
    }

    std::string LockFile(const std::string& path) const override {
        return m_bus->LockFile(path);
    }

private:
    std::shared_ptr<HidBus> m_bus;
    std::string m_path;
};

} // namespace

std::vector<KeyboardInterface> FindKeyboards(HidBus& bus) {
    std::vector<KeyboardInterface> found;
    std::set<std::string> seen;
    for (const HidInterfaceInfo& info : bus.enumerate()) {
        if (CHidDevice::IsKeyboardConfiguration(info) && seen.insert(info.path).second)
            found.push_back({info.path, info.productId});
    }
    return found;
}

std::shared_ptr<HidBus> OnlyPath(std::shared_ptr<HidBus> bus, std::string path) {
    return std::make_shared<PathBus>(std::move(bus), std::move(path));
}
