#include "device/KeyboardLock.h"

#include "settings/Utf8File.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

// A named mutex per keyboard, and beside it a small named memory that holds
// the holder's program name and process number for a waiting writer to tell.
// A mutex belongs to the thread that took it: the lock is released on the
// thread that acquired it.

namespace {

constexpr DWORD HolderBytes = 256;

// "Local\kbconfig-lock-" and the path, lower case (paths are not case
// sensitive here), without the backslashes an object name may not hold.
std::wstring ObjectName(const std::string& file, const wchar_t* kind) {
    std::wstring name = WidePath(file);
    for (wchar_t& c : name)
        c = c == L'\\' ? L'/' : static_cast<wchar_t>(std::towlower(c));
    return std::wstring(L"Local\\kbconfig-") + kind + L"-" + name.substr(0, MAX_PATH - 40);
}

std::string OwnProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    if (name.size() > 4 && name.substr(name.size() - 4) == L".exe")
        name.resize(name.size() - 4);
    return Utf8Text(name.c_str());
}

} // namespace

struct KeyboardLock::Impl {
    HANDLE mutex = nullptr;
    HANDLE holder = nullptr; // the named memory, kept open while held
};

KeyboardLock::KeyboardLock() : m_impl(std::make_unique<Impl>()) {}

KeyboardLock::~KeyboardLock() {
    Release();
}

void KeyboardLock::Release() {
    if (m_impl->holder)
        CloseHandle(m_impl->holder);
    if (m_impl->mutex) {
        ReleaseMutex(m_impl->mutex);
        CloseHandle(m_impl->mutex);
    }
    m_impl->holder = m_impl->mutex = nullptr;
}

KeyboardLock::Outcome KeyboardLock::TryAcquire(const std::string& file,
                                               std::chrono::milliseconds wait) {
    Release();
    m_holderText.clear();
    HANDLE mutex = CreateMutexW(nullptr, FALSE, ObjectName(file, L"lock").c_str());
    if (!mutex)
        return Outcome::Unavailable;
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait.count()));
    const std::wstring holderName = ObjectName(file, L"holder");
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) { // abandoned: its holder died
        m_impl->mutex = mutex;
        m_impl->holder = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            HolderBytes, holderName.c_str());
        if (m_impl->holder) {
            if (void* view = MapViewOfFile(m_impl->holder, FILE_MAP_WRITE, 0, 0, HolderBytes)) {
                const std::string text =
                    HolderSentence(OwnProgramName(), static_cast<long>(GetCurrentProcessId()));
                std::copy_n(text.c_str(), std::min<std::size_t>(text.size() + 1, HolderBytes - 1),
                            static_cast<char*>(view));
                UnmapViewOfFile(view);
            }
        }
        return Outcome::Acquired;
    }
    CloseHandle(mutex);
    if (waited != WAIT_TIMEOUT)
        return Outcome::Unavailable;
    m_holderText = HolderSentence({}, 0);
    if (HANDLE holder = OpenFileMappingW(FILE_MAP_READ, FALSE, holderName.c_str())) {
        if (const void* view = MapViewOfFile(holder, FILE_MAP_READ, 0, 0, HolderBytes)) {
            const char* text = static_cast<const char*>(view);
            if (*text)
                m_holderText.assign(text, strnlen(text, HolderBytes));
            UnmapViewOfFile(view);
        }
        CloseHandle(holder);
    }
    return Outcome::Busy;
}
