#pragma once

// What the commands share: opening (and, for a command that writes, locking)
// a keyboard, changing its settings, and telling a failure in one line.

#include "cli/Commands.h"
#include "core/KeyboardSession.h"
#include "device/KeyboardLock.h"
#include "device/RecordFields.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Result = KeyboardSession::Result;

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

// An open keyboard: the one at --device, or the first on the bus that opens.
struct Opened {
    std::string path;
    std::unique_ptr<KeyboardSession> session;
    KeyboardLock lock; // held for a command that writes
};

// Opens the keyboard, its lock taken first when `writes`, so that everything
// read from it is what the last writer left. Returns ExitDone with
// `opened.session` set, or the exit code after printing why (ExitDone without
// a session: interrupted).
int OpenKeyboard(const std::shared_ptr<HidBus>& bus, const CommandLine& line, bool writes,
                 FILE* log, Opened& opened);


int RunApply(const CommandLine& line, const std::shared_ptr<HidBus>& bus, FILE* log);
// Monitors the keyboard `opened` holds; a keyboard lost is waited for until
// it is back, and the lines go on.
int RunMonitor(const CommandLine& line, Opened& opened, const std::shared_ptr<HidBus>& bus,
               FILE* log);
