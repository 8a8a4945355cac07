#include "emulator/uhid/UhidDevice.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <unistd.h>

bool UhidDevice::Create(const std::string& name, uint16_t vendorId, uint16_t productId,
                        std::span<const uint8_t> descriptor, std::string* error) {
    Destroy();
    m_fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (m_fd < 0) {
        if (error)
            *error = std::string("cannot open /dev/uhid: ") + std::strerror(errno);
        return false;
    }
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    auto& req = ev.u.create2;
    std::strncpy(reinterpret_cast<char*>(req.name), name.c_str(), sizeof(req.name) - 1);
    std::strncpy(reinterpret_cast<char*>(req.phys), "uhid-keyboard", sizeof(req.phys) - 1);
    req.rd_size = static_cast<uint16_t>(std::min(descriptor.size(), sizeof(req.rd_data)));
    std::memcpy(req.rd_data, descriptor.data(), req.rd_size);
    req.bus = BUS_USB;
    req.vendor = vendorId;
    req.product = productId;
    req.version = 0x0100;
    req.country = 0;
    if (!WriteEvent(&ev, sizeof(ev))) {
        if (error)
            *error = std::string("UHID_CREATE2 failed: ") + std::strerror(errno);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

void UhidDevice::Destroy() {
    if (m_fd < 0)
        return;
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    WriteEvent(&ev, sizeof(ev));
    ::close(m_fd); // closing alone would destroy it too
    m_fd = -1;
}

bool UhidDevice::SendInput(const uint8_t* data, std::size_t size) {
    if (m_fd < 0)
        return false;
    uhid_event ev{};
    ev.type = UHID_INPUT2;
    ev.u.input2.size = static_cast<uint16_t>(std::min<std::size_t>(size, UHID_DATA_MAX));
    std::memcpy(ev.u.input2.data, data, ev.u.input2.size);
    return WriteEvent(&ev, sizeof(ev));
}

bool UhidDevice::ReadEvent(std::vector<uint8_t>& output) {
    uhid_event ev{};
    const ssize_t n = ::read(m_fd, &ev, sizeof(ev));
    if (n <= 0)
        return false;
    switch (ev.type) {
    case UHID_OUTPUT:
        output.assign(ev.u.output.data,
                      ev.u.output.data + std::min<std::size_t>(ev.u.output.size, UHID_DATA_MAX));
        return true;
    case UHID_GET_REPORT: {
        // The keyboard has no feature reports.
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = ev.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        WriteEvent(&reply, sizeof(reply));
        return false;
    }
    case UHID_SET_REPORT: {
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = ev.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
        WriteEvent(&reply, sizeof(reply));
        return false;
    }
    default:
        return false; // START, STOP, OPEN, CLOSE need no answer
    }
}

bool UhidDevice::WriteEvent(const void* event, std::size_t size) {
    const ssize_t n = ::write(m_fd, event, size);
    return n == static_cast<ssize_t>(size);
}
