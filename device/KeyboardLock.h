#pragma once

#include <chrono>
#include <memory>
#include <string>

// One writer per keyboard: an advisory lock that every program changing a
// keyboard takes for as long as it reads, changes, writes and checks its
// configuration. On Linux it is a flock on the file that stands for the
// keyboard (its hidraw node, or the built-in keyboard's state file): every
// program that may write the keyboard can open that file, and no lock file of
// a predictable name is ever made. On Windows it is a named mutex derived
// from the file's path. The lock goes with the process: a program that dies
// holds nothing.
//
// Not reentrant on Linux: a second KeyboardLock on the same file in the same
// process waits for the first like any other holder. (A Windows mutex lets
// the thread that holds it take it again.)
class KeyboardLock {
public:
    enum class Outcome {
        Acquired,
        Busy,        // another holder kept it for the whole wait
        Unavailable, // the file cannot be opened: nothing to lock with
    };

    KeyboardLock();
    ~KeyboardLock(); // releases
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

    // Takes the lock on `file`, waiting up to `wait` for another holder to
    // let go. Busy leaves HolderText() set. A lock held before is released
    // first.
    Outcome TryAcquire(const std::string& file, std::chrono::milliseconds wait);
    void Release();

    // After Busy: "kbconfig, process 1234, is changing this keyboard", with
    // the holder's program name and process number ("another program" when
    // they cannot be learnt).
    const std::string& HolderText() const { return m_holderText; }

    // The sentence for a holder.
    static std::string HolderSentence(const std::string& program, long process);

private:
    struct Impl; // the platform's part: KeyboardLock_posix.cpp, KeyboardLock_win.cpp
    std::unique_ptr<Impl> m_impl;
    std::string m_holderText;
};
