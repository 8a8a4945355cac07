#include "cli/CommandSupport.h"

#include "device/HidAccess.h"

#include <chrono>

std::string OneLine(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            const std::size_t next = text.find_first_not_of("\r\n", i);
            if (next != std::string::npos && text[next] != '"' && !out.empty())
                out += ' '; // a line end before a closing quote is dropped
            i = (next == std::string::npos ? text.size() : next) - 1;
        } else {
            out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
        }
    }
    return out;
}

void PrintError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "kbconfig-cli: %s\n", OneLine(message).c_str());
}

int ExitFor(Result result) {
    switch (result) {
    case Result::Done:
        return ExitDone;
    case Result::NoKeyboard:
        return ExitNoKeyboard;
    case Result::PermissionDenied:
        return ExitNotPermitted;
    default:
        return ExitNoAnswer;
    }
}

std::string Reason(Result result, const std::string& detail) {
    if (result == Result::PermissionDenied)
        return std::string("No Device") + PermissionHint;
    std::string text = ResultText(result);
    return detail.empty() ? text : text + ": " + detail;
}

std::string Hex(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", value);
    return text;
}

int Failed(const std::string& path, Result result, const std::string& detail) {
    PrintError(path + ": " + Reason(result, detail));
    return ExitFor(result);
}

int LockKeyboard(const HidBus& bus, const std::string& path, const CommandLine& line,
                 KeyboardLock& lock) {
    const std::string file = bus.LockFile(path);
    if (file.empty())
        return ExitDone;
    if (lock.TryAcquire(file, std::chrono::seconds(line.waitSeconds)) !=
        KeyboardLock::Outcome::Busy)
        return ExitDone; // Unavailable: the keyboard's own open tells why
    PrintError(path + ": " + lock.HolderText());
    return ExitLocked;
}

std::vector<std::string> KeyboardPaths(HidBus& bus, const CommandLine& line) {
    if (!line.device.empty())
        return {line.device};
    std::vector<std::string> paths;
    for (const KeyboardInterface& keyboard : FindKeyboards(bus))
        paths.push_back(keyboard.path);
    return paths;
}

Result OpenAt(const std::shared_ptr<HidBus>& bus, const std::string& path, FILE* log,
              std::unique_ptr<KeyboardSession>& session) {
    auto opening = std::make_unique<KeyboardSession>(OnlyPath(bus, path), log);
    const Result r = opening->Open();
    if (r == Result::Done)
        session = std::move(opening);
    return r;
}

int OpenKeyboard(const std::shared_ptr<HidBus>& bus, const CommandLine& line, bool writes,
                 FILE* log, Opened& opened, bool quiet) {
    Result failure = Result::NoKeyboard;
    for (const std::string& path : KeyboardPaths(*bus, line)) {
        if (writes)
            if (const int exit = LockKeyboard(*bus, path, line, opened.lock); exit != ExitDone)
                return exit;
        const Result r = OpenAt(bus, path, log, opened.session);
        if (r == Result::Done) {
            opened.path = path;
            return ExitDone;
        }
        opened.lock.Release();
        if (r == Result::Interrupted)
            return ExitDone; // a monitor stopped early
        if (r != Result::NoKeyboard)
            failure = r;
    }
    const std::string where = line.device.empty() ? "" : line.device + ": ";
    if (quiet)
        return ExitFor(failure);
    if (failure == Result::NoKeyboard)
        PrintError(line.device.empty() ? "no keyboard found" : where + "no keyboard");
    else
        PrintError(where + Reason(failure));
    return ExitFor(failure);
}
