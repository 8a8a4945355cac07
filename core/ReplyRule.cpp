#include "core/ReplyRule.h"

#include "device/ReportProtocol.h"

namespace {

bool IsRequestType(uint8_t type) {
    return type >= protocol::TypeLiveStatus && type <= protocol::TypeConfigurationFlags;
}

} // namespace

bool ReplyRule::Answers(uint8_t replyType, uint8_t awaited) {
    if (IsRequestType(replyType) && m_owed[replyType] > 0) {
        --m_owed[replyType];
        return awaited == replyType;
    }
    if (awaited == Acknowledgement)
        return replyType == protocol::TypeReply || IsRequestType(replyType);
    return replyType == awaited;
}

void ReplyRule::Settle(uint8_t replyType) {
    if (IsRequestType(replyType) && m_owed[replyType] > 0)
        --m_owed[replyType];
}

void ReplyRule::GaveUp(uint8_t awaited) {
    if (IsRequestType(awaited))
        ++m_owed[awaited];
}
