#include "device/KeyboardLock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

// How often a waiting writer tries again.
constexpr std::chrono::milliseconds RetryInterval{20};

// The process holding a flock on the file `st` describes, from the kernel's
// table of locks ("1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"); 0 when
// none is listed.
long FlockHolder(const struct stat& st) {
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%lu", major(st.st_dev),
                  minor(st.st_dev), static_cast<unsigned long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, file;
        long pid = 0;
        if (fields >> number >> kind) {
            if (kind == "->") // a waiter, listed under the holder
                continue;
            if (fields >> advisory >> mode >> pid >> file && kind == "FLOCK" && file == device)
                return pid;
        }
    }
    return 0;
}

std::string ProgramName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

struct KeyboardLock::Impl {
    int fd = -1;
};

KeyboardLock::KeyboardLock() : m_impl(std::make_unique<Impl>()) {}

KeyboardLock::~KeyboardLock() {
    Release();
}

void KeyboardLock::Release() {
    if (m_impl->fd >= 0)
        ::close(m_impl->fd); // drops the flock with the last descriptor of this opening
    m_impl->fd = -1;
}

KeyboardLock::Outcome KeyboardLock::TryAcquire(const std::string& file,
                                               std::chrono::milliseconds wait) {
    Release();
    m_holderText.clear();
    // Opened without creating anything and without blocking (a fifo or a
    // device node must not stall here).
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Outcome::Unavailable;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_impl->fd = fd;
            return Outcome::Acquired;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return Outcome::Unavailable;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(RetryInterval);
    }
    struct stat st {};
    const long pid = ::fstat(fd, &st) == 0 ? FlockHolder(st) : 0;
    ::close(fd);
    m_holderText = HolderSentence(pid > 0 ? ProgramName(pid) : std::string(), pid);
    return Outcome::Busy;
}
