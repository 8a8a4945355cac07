#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One HID device made known to the Linux kernel through /dev/uhid. The kernel
// then presents it like any other HID device (a hidraw node with hid-generic).
class UhidDevice {
public:
    UhidDevice() = default;
    ~UhidDevice() { Destroy(); }
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    // Opens /dev/uhid and creates a USB device with this report descriptor.
    bool Create(const std::string& name, uint16_t vendorId, uint16_t productId,
                std::span<const uint8_t> descriptor, std::string* error);
    // Removes the device from the kernel, as pulling the plug does.
    void Destroy();
    bool IsCreated() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // Sends one input report, exactly as the device would on the wire.
    bool SendInput(const uint8_t* data, std::size_t size);

    // Reads one event from the kernel and answers what needs an answer.
    // Returns true and fills `output` when the event was an output report
    // (bytes as the kernel hands them on); false for any other event.
    bool ReadEvent(std::vector<uint8_t>& output);

private:
    bool WriteEvent(const void* event, std::size_t size);

    int m_fd = -1;
};
