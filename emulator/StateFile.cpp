#include "emulator/StateFile.h"

#ifdef _WIN32
#include "settings/Utf8File.h"
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif


#ifdef _WIN32

// LockFileEx on the whole range: other handles wait in LockFileEx before
// they read or write, and this handle alone reads and writes.
StateFile::StateFile(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

StateFile::~StateFile() {
    if (m_handle)
        CloseHandle(m_handle);
}

bool StateFile::Lock(bool exclusive) {
    OVERLAPPED at{};
    return m_handle && LockFileEx(m_handle, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, MAXDWORD,
                                  MAXDWORD, &at);
}

void StateFile::Unlock() {
    OVERLAPPED at{};
    UnlockFileEx(m_handle, 0, MAXDWORD, MAXDWORD, &at);
}

std::string StateFile::ReadLocked() {
    std::string text;
    SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    for (DWORD n = 0; ReadFile(m_handle, buffer, sizeof buffer, &n, nullptr) && n > 0;)
        text.append(buffer, n);
    return text;
}

bool StateFile::Update(const std::function<std::string(const std::string&)>& change) {
    std::lock_guard<std::mutex> turn(m_inProcess);
    if (!Lock(true))
        return false;
    const std::string text = change(ReadLocked());
    DWORD written = 0;
    bool ok = SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN) == 0 &&
              WriteFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &written,
                        nullptr) &&
              written == text.size() && SetEndOfFile(m_handle);
    Unlock();
    return ok;
}

#else

// Open-file-description locks (fcntl), which are independent of the flock a
// KeyboardLock takes on the same file, and conflict between two openings in
// one process as between two processes.
StateFile::StateFile(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
}

StateFile::~StateFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StateFile::Lock(bool exclusive) {
    struct flock whole {};
    whole.l_type = exclusive ? F_WRLCK : F_RDLCK;
    whole.l_whence = SEEK_SET;
    while (m_fd >= 0) {
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

std::string StateFile::ReadLocked() {
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

bool StateFile::Update(const std::function<std::string(const std::string&)>& change) {
    std::lock_guard<std::mutex> turn(m_inProcess);
    if (!Lock(true))
        return false;
    const std::string text = change(ReadLocked());
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::pwrite(m_fd, text.data() + done, text.size() - done,
                                   static_cast<off_t>(done));
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::ftruncate(m_fd, static_cast<off_t>(text.size())) == 0;
    Unlock();
    return ok;
}

#endif

std::string StateFile::Read() {
    std::lock_guard<std::mutex> turn(m_inProcess);
    if (!Lock(false))
        return {};
    std::string text = ReadLocked();
    Unlock();
    return text;
}
