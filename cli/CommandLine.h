#pragma once

#include <string>
#include <vector>

// What kbconfig-cli's exit code says.
enum ExitCode : int {
    ExitDone = 0,
    ExitUsage = 1,
    ExitNoKeyboard = 2,
    ExitNotPermitted = 3,
    ExitNoAnswer = 4, // no answer, keyboard lost, or the read-back differs
    ExitFileError = 5,
    ExitLocked = 6, // another program is changing the keyboard
};

enum class OutputFormat { Text, Json, Csv };

// Everything the command line said.
struct CommandLine {
    std::string command;
    std::string device; // empty: the first keyboard
    std::string logPath;
    std::string file;
    std::vector<std::string> assignments;
    OutputFormat format = OutputFormat::Text;
    bool all = false;
    bool store = false;
    unsigned count = 0; // monitor: lines to print, 0 for no limit
    unsigned intervalMs = 500;
    unsigned waitSeconds = 5; // for the lock of a keyboard another program changes
    std::string stateFile;    // the built-in keyboards' (from the environment), never written over
};
