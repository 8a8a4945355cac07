#include "device/StateFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string StateFolder() {
    namespace fs = std::filesystem;
    fs::path folder;
#ifdef _WIN32
    const std::string base = Environment("LOCALAPPDATA");
    if (!base.empty())
        folder = fs::path(base) / "kbconfig";
#else
    // XDG_STATE_HOME counts only when it is an absolute path; a relative
    // one is ignored.
    const std::string state = Environment("XDG_STATE_HOME");
    const std::string home = Environment("HOME");
    if (!state.empty() && state.front() == '/')
        folder = fs::path(state) / "kbconfig";
    else if (!home.empty())
        folder = fs::path(home) / ".local" / "state" / "kbconfig";
#endif
    if (folder.empty())
        return {};
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error))
        return {};
    return (folder / "").string();
}
