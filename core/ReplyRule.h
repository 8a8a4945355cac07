#pragma once

#include <array>
#include <cstdint>

// Which reply answers what the program waits for. A request for type n (1 to
// 4) is answered by a reply of type n. A report 5, 6, 7 or 9 is answered by
// the first reply read after it was written (the caller clears the reply
// flag before writing): type 10, or a type 1 to 4 that no earlier request is
// still owed. A reply owed to an earlier request that went unanswered is that
// request's late answer: it settles one debt and acknowledges nothing else,
// so a keyboard that dropped a report cannot seem to have taken it.
class ReplyRule {
public:
    // What is awaited: a request's type, or the answer to a report written.
    static constexpr uint8_t Acknowledgement = 0;

    // Whether a reply of `replyType` answers `awaited`.
    bool Answers(uint8_t replyType, uint8_t awaited);
    // A reply taken over while nothing was awaited pays what it is owed.
    void Settle(uint8_t replyType);
    // The wait for `awaited` ended without its answer.
    void GaveUp(uint8_t awaited);
    // A new connection owes nothing.
    void Forget() { m_owed.fill(0); }

private:
    static constexpr uint8_t MaxRequestType = 4;
    // Unanswered requests of each type.
    std::array<unsigned, MaxRequestType + 1> m_owed{};
};
