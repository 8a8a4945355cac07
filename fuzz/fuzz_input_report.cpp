// The input-report decoder on any 9 bytes. A report of types 1 to 4 encoded
// again from what was decoded must decode to the same fields.

#include "device/ReportProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    DeviceStatus status;
    const protocol::DecodeOutcome outcome = protocol::DecodeInputReport(data, status);
    if (protocol::ReportText(data).size() != 27)
        std::abort();
    const uint8_t type = data[1];
    if (outcome == protocol::DecodeOutcome::Reply && type >= 1 && type <= 4) {
        const protocol::Report again = protocol::EncodeInputReport(type, status);
        DeviceStatus decoded = status;
        if (protocol::DecodeInputReport(again.data(), decoded) != outcome || !(decoded == status))
            std::abort();
    }
    return 0;
}
