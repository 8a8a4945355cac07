#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

// The built-in keyboards' state file, shared by every process that runs them.
// It is read and rewritten in place (never replaced by another file, so that
// a KeyboardLock on it holds across rewrites), each time under a lock on its
// content that other processes wait for: a reader never sees half a file,
// and two rewrites never lose each other's change. That content lock is
// separate from the KeyboardLock, which a writer holds far longer.
class StateFile {
public:
    // Opens `path` for reading and writing, creating an empty file when there
    // is none. Nothing waits: a fifo or a device is refused, not opened.
    explicit StateFile(const std::string& path);
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    // Why the file cannot serve ("Permission denied", "not a regular
    // file"); empty when it can.
    const std::string& Error() const { return m_error; }

    // The whole content; nothing when the file cannot be read.
    std::optional<std::string> Read();
    // Replaces the content with change(the content as it is now), all under
    // the lock; a change that gives nothing leaves the file as it is. False
    // then, and when the file cannot be written.
    using Change = std::function<std::optional<std::string>(const std::string&)>;
    bool Update(const Change& change);

private:
    bool Lock(bool exclusive);
    void Unlock();
    std::optional<std::string> ReadLocked();
    bool Write(const std::string& text); // the whole content, with the lock held

    // The content lock belongs to the opening, which this process's threads
    // share: they take turns here first.
    std::mutex m_inProcess;
    std::string m_error;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
