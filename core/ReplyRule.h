#pragma once

#include <cstdint>
#include <cstdio>

class CHidDevice;
class KeyboardSettings;

// Which reply answers what the program waits for. A request for type n (1 to
// 4) is answered by a reply of type n. A report 5, 6, 7 or 9 is answered by
// a type-10 reply read after it was written (the caller takes over any reply
// already waiting before it writes): the keyboard also sends live status of
// its own accord, and a late answer to an earlier request may come at any
// time, so neither may pass for the acknowledgement of a report it lost.
namespace reply {

// What is awaited: a request's type, or the answer to a report written.
inline constexpr uint8_t Acknowledgement = 0;

bool Answers(uint8_t replyType, uint8_t awaited);

// Before a report goes out: the reply already waiting, if any, is taken over
// into `record` (and logged) and counts as no reply, since it answers nothing
// sent after it.
void TakeWaiting(KeyboardSettings& record, CHidDevice* device, FILE* log);

} // namespace reply
