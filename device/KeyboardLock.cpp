#include "device/KeyboardLock.h"

std::string KeyboardLock::HolderSentence(const std::string& program, long process) {
    if (program.empty() || process <= 0)
        return "another program is changing this keyboard";
    return program + ", process " + std::to_string(process) + ", is changing this keyboard";
}
