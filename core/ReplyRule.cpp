#include "core/ReplyRule.h"

#include "device/ReportProtocol.h"

bool reply::Answers(uint8_t replyType, uint8_t awaited) {
    if (awaited == Acknowledgement)
        return replyType == protocol::TypeReply;
    return replyType == awaited;
}
