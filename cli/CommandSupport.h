#pragma once

// What the commands share: opening (and, for a command that writes, locking)
// a keyboard, changing its settings, and telling a failure in one line.

#include "cli/CommandLine.h"
#include "core/KeyboardSession.h"
#include "device/KeyboardLock.h"
#include "device/RecordFields.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Result = KeyboardSession::Result;

// Prints "kbconfig-cli: " and `message` on stderr as one line.
void PrintError(const std::string& message);

// Any text as one line of printable characters (a settings file's messages
// hold line ends and may quote any bytes of a foreign file).
std::string OneLine(const std::string& text);

int ExitFor(Result result);
std::string Reason(Result result, const std::string& detail = {});
std::string Hex(uint16_t value);

// Prints "PATH: reason" and returns the exit code for `result`.
int Failed(const std::string& path, Result result, const std::string& detail = {});

// Takes the KeyboardLock of the keyboard at `path` for a command that writes,
// waiting up to --wait. ExitDone when taken (or when nothing can be locked),
// else the holder's line is printed and ExitLocked returned.
int LockKeyboard(const HidBus& bus, const std::string& path, const CommandLine& line,
                 KeyboardLock& lock);

// The keyboards a command tries, in turn: the one at --device, or every one
// on the bus in the bus's order.
std::vector<std::string> KeyboardPaths(HidBus& bus, const CommandLine& line);

// Opens the keyboard at `path` and no other; Done leaves it in `session`.
Result OpenAt(const std::shared_ptr<HidBus>& bus, const std::string& path, FILE* log,
              std::unique_ptr<KeyboardSession>& session);

// An open keyboard: the one at --device, or the first on the bus that opens.
struct Opened {
    std::string path;
    std::unique_ptr<KeyboardSession> session;
    KeyboardLock lock; // held for a command that writes
};

// Opens the keyboard, its lock taken first when `writes`, so that everything
// read from it is what the last writer left. Returns ExitDone with
// `opened.session` set, or the exit code after printing why unless `quiet`
// (ExitDone without a session: interrupted).
int OpenKeyboard(const std::shared_ptr<HidBus>& bus, const CommandLine& line, bool writes,
                 FILE* log, Opened& opened, bool quiet = false);
