#include "emulator/StateFile.h"

#ifdef _WIN32
#include "settings/Utf8File.h"
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
constexpr const char* NotRegular = "not a regular file";
}


#ifdef _WIN32

// LockFileEx on the whole range: other handles wait in LockFileEx before
// they read or write, and this handle alone reads and writes.
StateFile::StateFile(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = "cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    m_handle = handle;
    if (GetFileType(handle) != FILE_TYPE_DISK)
        m_error = NotRegular;
}

StateFile::~StateFile() {
    if (m_handle)
        CloseHandle(m_handle);
}

bool StateFile::Lock(bool exclusive) {
    OVERLAPPED at{};
    return m_handle && m_error.empty() && LockFileEx(m_handle, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, MAXDWORD,
                                  MAXDWORD, &at);
}

void StateFile::Unlock() {
    OVERLAPPED at{};
    UnlockFileEx(m_handle, 0, MAXDWORD, MAXDWORD, &at);
}

std::optional<std::string> StateFile::ReadLocked() {
    std::string text;
    if (SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN) != 0)
        return std::nullopt;
    char buffer[4096];
    for (DWORD n = 0;;) {
        if (!ReadFile(m_handle, buffer, sizeof buffer, &n, nullptr))
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, n);
    }
}

bool StateFile::Write(const std::string& text) {
    DWORD written = 0;
    return SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN) == 0 &&
           WriteFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && SetEndOfFile(m_handle);
}

#else

// Open-file-description locks (fcntl), which are independent of the flock a
// KeyboardLock takes on the same file, and conflict between two openings in
// one process as between two processes.
StateFile::StateFile(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    struct stat st {};
    if (m_fd < 0)
        m_error = std::strerror(errno);
    else if (::fstat(m_fd, &st) != 0)
        m_error = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        m_error = NotRegular;
}

StateFile::~StateFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StateFile::Lock(bool exclusive) {
    struct flock whole {};
    whole.l_type = exclusive ? F_WRLCK : F_RDLCK;
    whole.l_whence = SEEK_SET;
    while (m_fd >= 0 && m_error.empty()) {
        if (::fcntl(m_fd, F_OFD_SETLKW, &whole) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
    return false;
}

void StateFile::Unlock() {
    struct flock whole {};
    whole.l_type = F_UNLCK;
    whole.l_whence = SEEK_SET;
    ::fcntl(m_fd, F_OFD_SETLK, &whole);
}

std::optional<std::string> StateFile::ReadLocked() {
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n == 0)
            return text;
        if (n < 0 && errno != EINTR)
            return std::nullopt;
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            at += n;
        }
    }
}

bool StateFile::Write(const std::string& text) {
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::pwrite(m_fd, text.data() + done, text.size() - done,
                                   static_cast<off_t>(done));
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return ok && ::ftruncate(m_fd, static_cast<off_t>(text.size())) == 0;
}

#endif

std::optional<std::string> StateFile::Read() {
    std::lock_guard<std::mutex> turn(m_inProcess);
    if (!Lock(false))
        return std::nullopt;
    std::optional<std::string> text = ReadLocked();
    Unlock();
    return text;
}

bool StateFile::Update(const Change& change) {
    std::lock_guard<std::mutex> turn(m_inProcess);
    if (!Lock(true))
        return false;
    const std::optional<std::string> old = ReadLocked();
    const std::optional<std::string> text = old ? change(*old) : std::nullopt;
    const bool ok = text && Write(*text);
    Unlock();
    return ok;
}
