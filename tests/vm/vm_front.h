#pragma once

// What the two VM tests share: their check lines, the uhid keyboard program
// driven through its standard input and output, and the command line's
// show and apply checked against what the keyboard holds.

#include "settings/DeviceStatus.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vmfront {

constexpr uint16_t Product = 0x0705;

// Every field differs from the reader's starting values.
extern const char* const Distinctive;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);
int Shell(const std::string& command); // the exit code of a shell command
std::string ReadText(const std::string& path);

// A program that answers one line a command on its standard output. Its
// pipes are closed in every other program this process starts, so that it
// sees the end of its input when this side goes, whoever else still runs.
class Child {
public:
    bool Start(const std::vector<std::string>& argv, const char* folder = nullptr);
    ~Child();
    std::string Ask(const std::string& command);
    std::string ReadLine();

private:
    pid_t m_pid = -1;
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
};

// The uhid keyboard program (emulator/uhid/main.cpp).
class Front : public Child {
public:
    bool Start(const std::string& path);
    DeviceStatus Status(const char* which); // "state" or "stored"
};

// `cli` show --json names a path that starts with `pathPrefix` and reads
// every field the keyboard holds; apply FILE --store leaves the file's
// settings (and the keyboard's own ID number) in the keyboard, and stored.
// `cli` is a shell command prefix, `name` the program named in the check
// lines. Returns the path show named.
std::string CheckShowAndApply(const std::string& cli, const std::string& name,
                              const std::string& pathPrefix, Front& front);

} // namespace vmfront

// One check's line ("PASS: what" or "FAIL: what -- detail"), counted.
bool Check(bool ok, const std::string& what, const std::string& detail = {});
int ChecksFailed();
