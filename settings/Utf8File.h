#pragma once

#include <cstdio>
#include <string>

// Files named by UTF-8 paths. On Linux a path is bytes and these are the C
// library's calls; on Windows the C library reads a narrow path in the ANSI
// code page, so these convert to UTF-16 and use the wide-character calls.

// std::fopen for a UTF-8 path.
FILE* OpenUtf8File(const std::string& path, const char* mode);

// What a path names, links followed: nothing, a regular file, or anything
// else (a folder, a fifo, a socket, a device), which is never read or
// written as a settings file: a fifo would block, a device would be replaced.
enum class FileKind { Missing, Regular, Other };
FileKind KindOfFile(const std::string& path);

// Opens a path to read it, links followed, only when it names a regular
// file; null otherwise. Nothing swapped in after the check is read, and a
// fifo is refused at once instead of waited on.
FILE* OpenRegularFile(const std::string& path);

#ifdef _WIN32
std::wstring WidePath(const std::string& path);
std::string Utf8Text(const wchar_t* text);
#endif
