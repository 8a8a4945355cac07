#pragma once

#include "settings/DeviceStatus.h"

#include <cstdio>
#include <string>

class CHidDevice;

// The one working copy of the keyboard: what the user edits, saves, recalls and
// sends, and the last status the keyboard reported. Values are stored as
// written, never clamped. Used on the user-interface thread only.
// The 33 keyboard fields come first (the DeviceStatus base), then the reply state.
class KeyboardSettings : public DeviceStatus {
public:
    std::string LastReportText; // last input report as hex text
    bool ReplyReceived = false; // the last pull took over a reply
    bool DevicePresent = false; // the reader sees the keyboard answering
    uint8_t ReplyType = 0;      // input type of the reply the last pull took over

    // Report senders: build the payload from the record, write the message-log
    // line when `log` is open, then write to `device` unless it is null or
    // `simulate` is set. Return 0 (written, or not written on purpose), or the
    // device's write result (1 failed, 2 not the configuration interface,
    // 3 no device handle).
    int SendThresholdsAndTimers(CHidDevice* device, FILE* log, bool simulate) const;
    int SendIdNumber(CHidDevice* device, FILE* log, bool simulate) const;
    int SendConfigurationFlags(CHidDevice* device, FILE* log, bool simulate) const;
    int SendStore(CHidDevice* device, FILE* log, bool simulate) const;

    // Take the reader's data over under the status lock. Return 0, -1 without a
    // device, -2 without a reader.
    int PullFullStatus(CHidDevice* device, FILE* log);
    int PullLiveStatus(CHidDevice* device, FILE* log);

    DeviceStatus& Block() { return *this; }
    const DeviceStatus& Block() const { return *this; }
};

// The process-wide record, constructed with its defaults before anything runs.
extern KeyboardSettings g_settings;
