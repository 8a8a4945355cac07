// The settings record's exchanges with the device: the report senders and the
// pulls that take the reader thread's data over.

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/ReportProtocol.h"
#include "settings/KeyboardSettings.h"

namespace {

// Logs the payload, then writes it unless there is no device or the send is
// only simulated.
int Send(const protocol::Payload& payload, CHidDevice* device, FILE* log, bool simulate) {
    if (log) {
        std::fputs(protocol::WriteReportLogLine(payload).c_str(), log);
    }
    if (!device || simulate) {
        return 0;
    }
    return device->WriteReport(payload.bytes.data(), payload.length);
}

} // namespace

int KeyboardSettings::SendThresholdsAndTimers(CHidDevice* device, FILE* log, bool simulate) const {
    return Send(protocol::EncodeThresholdsAndTimers(*this), device, log, simulate);
}

int KeyboardSettings::SendIdNumber(CHidDevice* device, FILE* log, bool simulate) const {
    return Send(protocol::EncodeIdNumber(*this), device, log, simulate);
}

int KeyboardSettings::SendConfigurationFlags(CHidDevice* device, FILE* log, bool simulate) const {
    return Send(protocol::EncodeConfigurationFlags(*this), device, log, simulate);
}

int KeyboardSettings::SendStore(CHidDevice* device, FILE* log, bool simulate) const {
    return Send(protocol::EncodeStore(), device, log, simulate);
}

namespace {

enum class PullKind { Full, Live };

int Pull(KeyboardSettings& settings, CHidDevice* device, FILE* log, PullKind kind) {
    if (!device) {
        return -1;
    }
    CReaderThread* reader = device->Reader.get();
    if (!reader) {
        return -2;
    }
    std::lock_guard<std::mutex> lock(StatusLock);
    settings.DevicePresent = reader->DevicePresent != 0;
    settings.ReplyReceived = reader->ReplyReceived != 0;
    if (settings.ReplyReceived) {
        const DeviceStatus& s = reader->Status;
        if (kind == PullKind::Full) {
            settings.Block() = s;
        } else {
            settings.LeftLevel = s.LeftLevel;
            settings.RightLevel = s.RightLevel;
            settings.PressureLevel = s.PressureLevel;
            settings.Sensor4Level = s.Sensor4Level;
            settings.KeystrokeCount = s.KeystrokeCount;
            settings.LedAlarmOn = s.LedAlarmOn;
            settings.BeeperAlarmOn = s.BeeperAlarmOn;
            settings.CleanActive = s.CleanActive;
        }
        settings.LastReportText = reader->LastReplyText;
        settings.ReplyType = reader->LastReplyType;
        if (log) {
            std::fprintf(log, "%s\n", settings.LastReportText.c_str());
        }
        reader->ReplyReceived = 0;
    }
    return 0;
}

} // namespace

int KeyboardSettings::PullFullStatus(CHidDevice* device, FILE* log) {
    return Pull(*this, device, log, PullKind::Full);
}

int KeyboardSettings::PullLiveStatus(CHidDevice* device, FILE* log) {
    return Pull(*this, device, log, PullKind::Live);
}
