#pragma once

#include <cstdio>
#include <string>

// The message log: every report written and read, one line each, while it is
// switched on. Switching it on truncates the file.
class MessageLog {
public:
    MessageLog() = default;
    ~MessageLog() { Close(); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    // Opens `path` for writing. Returns whether the log is open afterwards.
    bool Open(const std::string& path);
    void Close();
    // The open stream, or null while the log is off.
    FILE* Stream() const { return m_file; }

private:
    FILE* m_file = nullptr;
};
