#pragma once

#include <functional>
#include <mutex>
#include <string>

// The built-in keyboards' state file, shared by every process that runs them.
// It is read and rewritten in place (never replaced by another file, so that
// a KeyboardLock on it holds across rewrites), each time under a lock on its
// content that other processes wait for: a reader never sees half a file,
// and two rewrites never lose each other's change. That content lock is
// separate from the KeyboardLock, which a writer holds far longer.
class StateFile {
public:
    // Opens `path`, creating an empty file when there is none.
    explicit StateFile(const std::string& path);
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    // The whole content; empty when the file cannot be read.
    std::string Read();
    // Replaces the content with change(the content as it is now), all under
    // the lock. False when the file cannot be written.
    bool Update(const std::function<std::string(const std::string&)>& change);

private:
    bool Lock(bool exclusive);
    void Unlock();
    std::string ReadLocked();

    // The content lock belongs to the opening, which this process's threads
    // share: they take turns here first.
    std::mutex m_inProcess;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
