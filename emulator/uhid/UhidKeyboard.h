#pragma once

#include "device/ReportProtocol.h"
#include "emulator/KeyboardFirmware.h"
#include "emulator/uhid/UhidDevice.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// An output report as uhid hands it on (the report-ID byte 0 in front of the
// 8 data bytes, where a USB keyboard sees only the 8) turned into what the
// firmware model expects: the report ID 0 and the 8 bytes. Nothing for any
// other size or report ID.
std::optional<protocol::Report> ToFirmwareReport(const std::vector<uint8_t>& fromKernel);

// The built-in keyboard as the kernel sees it: three uhid devices with the
// maker's vendor ID and the firmware's product ID (a boot keyboard, a vendor
// interface of usage 2 and the configuration interface, created in that
// order), with the configuration interface wired to the firmware model.
class UhidKeyboard {
public:
    explicit UhidKeyboard(KeyboardFirmware& firmware) : m_firmware(firmware) {}

    bool Plug(std::string* error); // creates the devices (after a power cycle if replugged)
    void Unplug();                 // destroys them
    bool IsPlugged() const { return m_config.IsCreated(); }

    // The file descriptors to wait on for kernel events.
    std::vector<int> Fds() const;
    // Handles one kernel event on `fd`: output reports of the configuration
    // interface go to the firmware; reports of the others are ignored.
    void HandleEvent(int fd);
    // Sends what the firmware has queued (dropped while unplugged).
    void Flush();

    int UnexpectedReports() const { return m_unexpected; }

    // Sees every output report of the configuration interface before the
    // firmware does (tests that check what reached which plug-in).
    std::function<void(const protocol::Report&)> OnOutput;

private:
    KeyboardFirmware& m_firmware;
    UhidDevice m_keyboard;
    UhidDevice m_vendor;
    UhidDevice m_config;
    bool m_everPlugged = false;
    int m_unexpected = 0;
};
