// The main window's entry in its real system menu on Windows: appended with
// the Windows calls, and its WM_SYSCOMMAND taken from Qt's native event hook
// to the same handler the context menu uses.

#include "app/CKeyboardConfigDlg.h"

#include <windows.h>

void CKeyboardConfigDlg::AddToWindowsSystemMenu(unsigned commandId, const QString& caption) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, commandId, reinterpret_cast<const wchar_t*>(caption.utf16()));
}

bool CKeyboardConfigDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    // The system keeps the low four bits of a command's ID for itself.
    if (eventType == "windows_generic_MSG" && msg->message == WM_SYSCOMMAND &&
        (msg->wParam & 0xFFF0) < 0xF000) {
        OnSysCommand(static_cast<unsigned>(msg->wParam));
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
