// KeyboardSession against the built-in keyboard: which reply answers which
// exchange when replies come late, are held back or arrive unasked for.

#include "core/KeyboardSession.h"
#include "emulator/EmulatorBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using R = KeyboardSession::Result;

struct Session {
    std::shared_ptr<EmulatorBus> bus =
        std::make_shared<EmulatorBus>(EmulatorBus::Options{.autonomous = false});
    KeyboardSession session{bus};
    Session() {
        session.SetReplyTimeouts(150ms, 150ms);
        EXPECT_EQ(session.Open(), R::Done);
    }
    // Lets the reader decode what the keyboard sent.
    void Settle() { session.Pause(std::chrono::steady_clock::now() + 50ms); }
};

TEST(SessionReplies, OnlyAnAcknowledgementReadAfterTheWriteCounts) {
    KeyboardSettings values;
    values.LowThreshold = 99;

    // A stray reply waiting before the write answers nothing sent after it.
    {
        Session s;
        s.bus->SendReport(protocol::Report{0, protocol::TypeReply});
        s.Settle();
        s.bus->SetDropReplies(true);
        EXPECT_EQ(s.session.Send(protocol::CmdStore, values), R::NoAnswer);
        EXPECT_EQ(s.session.Send(protocol::CmdThresholdsAndTimers, values), R::NoAnswer);
    }
    // The late answers to status requests that went unanswered arrive after
    // report 5, which the keyboard lost, and so does live status of the
    // keyboard's own: none of them acknowledges it.
    {
        Session s;
        s.bus->SetHoldReplies(true);
        EXPECT_EQ(s.session.Request(protocol::TypeLiveStatus), R::NoAnswer);
        s.bus->SetLoseWrites(true);
        std::thread late([&] {
            std::this_thread::sleep_for(50ms);
            s.bus->SetHoldReplies(false);
            s.bus->SendReport(protocol::Report{0, protocol::TypeLiveStatus});
        });
        EXPECT_EQ(s.session.Send(protocol::CmdThresholdsAndTimers, values), R::NoAnswer);
        late.join();
    }
    // A held reply that comes within the wait is the answer; a request is
    // answered only by its own type: a type-10 reply is no answer to it, nor
    // live status arriving before its own reply.
    {
        Session s;
        s.bus->SetReplyDelay(60ms);
        EXPECT_EQ(s.session.Send(protocol::CmdIdNumber, values), R::Done);
        s.bus->SetReplyDelay(0ms);
        s.bus->SetHoldReplies(true);
        std::thread stray([&] {
            std::this_thread::sleep_for(30ms);
            s.bus->SendReport(protocol::Report{0, protocol::TypeReply});
        });
        EXPECT_EQ(s.session.Request(protocol::TypeIdNumber), R::NoAnswer);
        stray.join();
        std::thread late([&] {
            std::this_thread::sleep_for(30ms);
            s.bus->SendReport(protocol::Report{0, protocol::TypeLiveStatus});
            s.bus->SetHoldReplies(false);
        });
        EXPECT_EQ(s.session.Request(protocol::TypeIdNumber), R::Done);
        late.join();
        EXPECT_EQ(s.session.Record().ReplyType, protocol::TypeIdNumber);
    }
}

} // namespace
