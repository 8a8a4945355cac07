#include "settings/Utf8File.h"

#include <sys/stat.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#ifdef _WIN32
#include <windows.h>

FileKind KindOfFile(const std::string& path) {
    struct _stat64 st {};
    if (_wstat64(WidePath(path).c_str(), &st) != 0)
        return FileKind::Missing;
    return (st.st_mode & _S_IFMT) == _S_IFREG ? FileKind::Regular : FileKind::Other;
}

std::wstring WidePath(const std::string& path) {
    const int size = static_cast<int>(path.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, path.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8Text(const wchar_t* text) {
    std::string utf8(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                        nullptr);
    utf8.pop_back(); // the terminating null
    return utf8;
}

FILE* OpenUtf8File(const std::string& path, const char* mode) {
    const std::string modeText = mode;
    return _wfopen(WidePath(path).c_str(), std::wstring(modeText.begin(), modeText.end()).c_str());
}

FILE* OpenRegularFile(const std::string& path) {
    return KindOfFile(path) == FileKind::Regular ? OpenUtf8File(path, "rb") : nullptr;
}

#else

FileKind KindOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
}

FILE* OpenUtf8File(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

// Opened first and looked at after, so the check is of what is read. Opening
// without waiting returns at once for a fifo (that no one writes); a
// regular file reads alike with or without O_NONBLOCK.
FILE* OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    FILE* file = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::fdopen(fd, "rb") : nullptr;
    if (!file)
        ::close(fd);
    return file;
}

#endif
