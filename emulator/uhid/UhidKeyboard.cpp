#include "emulator/uhid/UhidKeyboard.h"

#include "device/DeviceIds.h"
#include "emulator/uhid/ReportDescriptors.h"

#include <algorithm>
#include <cstdio>

std::optional<protocol::Report> ToFirmwareReport(const std::vector<uint8_t>& fromKernel) {
    // uhid keeps the report-ID byte in front of the 8 data bytes; a USB
    // keyboard would see only the 8. Anything else means the writer framed
    // the report wrongly (for example it left out the report ID), which a
    // real keyboard would not understand either.
    protocol::Report report{};
    if (fromKernel.size() != report.size() || fromKernel[0] != 0)
        return std::nullopt;
    std::copy(fromKernel.begin() + 1, fromKernel.end(), report.begin() + 1);
    return report;
}

bool UhidKeyboard::Plug(std::string* error) {
    if (IsPlugged())
        return true;
    if (m_everPlugged)
        m_firmware.PowerCycle();
    const uint16_t product = m_firmware.ProductId();
    // Created in this order, the configuration interface is listed last.
    if (!m_keyboard.Create("Keyboard", KeyboardVendorId, product, KeyboardDescriptor, error) ||
        !m_vendor.Create("Keyboard Vendor", KeyboardVendorId, product, VendorUsage2Descriptor,
                         error) ||
        !m_config.Create("Keyboard Configuration", KeyboardVendorId, product,
                         ConfigurationDescriptor, error)) {
        Unplug();
        return false;
    }
    m_everPlugged = true;
    return true;
}

void UhidKeyboard::Unplug() {
    m_config.Destroy();
    m_vendor.Destroy();
    m_keyboard.Destroy();
}

std::vector<int> UhidKeyboard::Fds() const {
    std::vector<int> fds;
    for (const UhidDevice* d : {&m_keyboard, &m_vendor, &m_config})
        if (d->IsCreated())
            fds.push_back(d->Fd());
    return fds;
}

void UhidKeyboard::HandleEvent(int fd) {
    std::vector<uint8_t> output;
    for (UhidDevice* d : {&m_keyboard, &m_vendor, &m_config}) {
        if (!d->IsCreated() || d->Fd() != fd || !d->ReadEvent(output) || d != &m_config)
            continue;
        if (auto report = ToFirmwareReport(output)) {
            if (OnOutput)
                OnOutput(*report);
            m_firmware.HandleOutputReport(report->data(), report->size());
        } else {
            ++m_unexpected;
            std::fprintf(stderr, "uhid keyboard: output report of %zu bytes ignored\n",
                         output.size());
        }
    }
    Flush();
}

void UhidKeyboard::Flush() {
    for (const protocol::Report& report : m_firmware.TakeOutput()) {
        // On the wire the keyboard sends its 8 data bytes, no report ID.
        if (m_config.IsCreated() && !m_config.SendInput(report.data() + 1, report.size() - 1))
            std::fprintf(stderr, "uhid keyboard: input report not sent\n");
    }
}
