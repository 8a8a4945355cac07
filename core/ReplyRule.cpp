#include "core/ReplyRule.h"

#include "device/ReportProtocol.h"
#include "settings/KeyboardSettings.h"

bool reply::Answers(uint8_t replyType, uint8_t awaited) {
    if (awaited == Acknowledgement)
        return replyType == protocol::TypeReply;
    return replyType == awaited;
}

void reply::TakeWaiting(KeyboardSettings& record, CHidDevice* device, FILE* log) {
    record.PullLiveStatus(device, log);
    record.ReplyReceived = false;
}
