#include "device/HidPlatform.h"

#include <windows.h>

#include <dbt.h>

#include <future>
#include <system_error>
#include <thread>

namespace {

// The HID device interface class (what HidD_GetHidGuid returns), spelled out
// so that no HID library needs loading for it.
constexpr GUID HidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr wchar_t WindowClassName[] = L"KbconfigHidWatch";

// A message-only window on a thread of its own, registered for arrivals and
// removals of HID interfaces (WM_DEVICECHANGE).
class WindowsHidWatch : public HidWatch {
public:
    explicit WindowsHidWatch(HidChangeHandler handler) : m_handler(std::move(handler)) {}

    // Starts the thread; false when the window or the registration failed.
    bool Start() {
        std::promise<bool> started;
        std::future<bool> ready = started.get_future();
        try {
            m_thread = std::thread([this, &started] { Run(started); });
        } catch (const std::system_error&) {
            return false;
        }
        if (ready.get())
            return true;
        m_thread.join();
        return false;
    }

    ~WindowsHidWatch() override {
        if (!m_thread.joinable())
            return;
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_thread.join();
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowsHidWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_DEVICECHANGE) {
            if (wParam == DBT_DEVICEARRIVAL)
                self->m_handler(HidChange::Arrived);
            else if (wParam == DBT_DEVICEREMOVECOMPLETE)
                self->m_handler(HidChange::Left);
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Run(std::promise<bool>& started) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowClassName;
        RegisterClassExW(&windowClass); // fails harmlessly when already registered
        m_window = CreateWindowExW(0, WindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        HDEVNOTIFY notification = nullptr;
        if (m_window) {
            SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
            filter.dbcc_size = sizeof(filter);
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = HidInterfaceClass;
            notification =
                RegisterDeviceNotificationW(m_window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        }
        if (!notification) {
            if (m_window)
                DestroyWindow(m_window);
            started.set_value(false);
            return;
        }
        started.set_value(true);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        UnregisterDeviceNotification(notification);
    }

    HidChangeHandler m_handler;
    HWND m_window = nullptr;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<HidWatch> WatchHidInterfaces(HidChangeHandler handler) {
    auto watch = std::make_unique<WindowsHidWatch>(std::move(handler));
    if (!watch->Start())
        return nullptr;
    return watch;
}
