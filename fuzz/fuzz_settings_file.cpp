// The settings-file reader on any bytes. What it recalls must survive a save
// and a second recall unchanged; what the exact reading takes, the window's
// reads alike; a message shows no control character of the file.

#include "settings/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath(const char* name) {
    const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/kbfuzz-" + std::to_string(::getpid()) + "-" + name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = ScratchPath("input.set");
    static const std::string saved = ScratchPath("saved.set");
    FILE* file = std::fopen(input.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    KeyboardSettings recalled;
    const RecallResult result = RecallSettingsFile(input, recalled);
    if (result.error == RecallError::CannotOpen || result.linesApplied > 20)
        std::abort();
    for (const char c : result.message)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n')
            std::abort();
    KeyboardSettings exact;
    if (RecallSettingsFile(input, exact, RecallReading::Exact).error == RecallError::None &&
        (result.error != RecallError::None || !(exact.Block() == recalled.Block())))
        std::abort();
    if (result.error == RecallError::None) {
        if (SaveSettingsFile(saved, recalled).error != SaveError::None)
            std::abort();
        KeyboardSettings again;
        if (RecallSettingsFile(saved, again).error != RecallError::None)
            std::abort();
        // EnableReEnumeration is the one keyed field a version-6 file may lack.
        again.EnableReEnumeration = recalled.EnableReEnumeration;
        if (!(again.Block() == recalled.Block()))
            std::abort();
    }
    return 0;
}
