// Drives the real kbconfig.exe window from outside, as a user at a Windows
// desktop would (run by scripts/test-windows.sh under wine and Xvfb):
//   window_probe PROGRAM SCREENSHOT
// checks PROGRAM's version information and manifest, waits for its running
// main window, checks that the live numbers change, saves a screenshot,
// opens About through the system menu's command and presses OK in About and
// then in the main window. Exits 0 when every step worked.

#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int WindowWaitMs = 15000;
constexpr int LiveSpanMs = 3000;
constexpr int PollMs = 50;
constexpr WPARAM AboutCommand = 16;

bool Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    std::fflush(stdout);
    return ok;
}

std::wstring Wide(const char* text) {
    return reinterpret_cast<const wchar_t*>(QString::fromUtf8(text).utf16());
}

// The shown top-level window of a template's caption, or null.
HWND Shown(const DialogTemplate& tmpl) {
    HWND window = FindWindowW(nullptr, Wide(tmpl.caption).c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

template <class Done> bool WaitFor(Done done) {
    for (int waited = 0; waited < WindowWaitMs; waited += PollMs) {
        if (done())
            return true;
        QThread::msleep(PollMs);
    }
    return done();
}

// A control's rectangle on the screen: the window's client area is the
// template scaled, so dialog units map in proportion.
QRect OnScreen(HWND window, const DialogTemplate& tmpl, int x, int y, int width, int height) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const double sx = double(client.right) / tmpl.width, sy = double(client.bottom) / tmpl.height;
    return QRect(origin.x + int(x * sx), origin.y + int(y * sy), int(width * sx), int(height * sy));
}

QRect ControlOnScreen(HWND window, const DialogTemplate& tmpl, int id) {
    for (const ControlTemplate& c : tmpl.controls)
        if (c.id == id)
            return OnScreen(window, tmpl, c.x, c.y, c.width, c.height);
    return {};
}

QImage Grab(const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

void Click(const QPoint& at) {
    SetCursorPos(at.x(), at.y());
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

std::wstring VersionText(const std::wstring& program, const wchar_t* name) {
    std::wstring data(GetFileVersionInfoSizeW(program.c_str(), nullptr), L'\0');
    void* value = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(program.c_str(), 0, DWORD(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), (L"\\StringFileInfo\\040904B0\\" + std::wstring(name)).c_str(),
                        &value, &size))
        return {};
    return static_cast<const wchar_t*>(value);
}

std::string Manifest(const std::wstring& program) {
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    const std::string text =
        found ? std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                            SizeofResource(module, found))
              : std::string();
    if (module)
        FreeLibrary(module);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 3)
        return 2;
    const std::wstring program = Wide(argv[1]);
    const DialogTemplate& main = MainWindowTemplate();
    const DialogTemplate& about = AboutTemplate();
    bool ok = Check(VersionText(program, L"ProductName") == Wide(main.caption) &&
                        !VersionText(program, L"FileVersion").empty(),
                    "version information with product name and file version");
    const std::string manifest = Manifest(program);
    ok &= Check(manifest.find("PerMonitorV2") != std::string::npos &&
                    manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos,
                "manifest: per-monitor DPI awareness, common controls 6");

    HWND window = nullptr;
    if (!Check(WaitFor([&] { return (window = Shown(main)) != nullptr; }), "main window shown"))
        return 1;
    QRect numbers = ControlOnScreen(window, main, IDC_LEFT_VALUE);
    numbers = numbers.united(ControlOnScreen(window, main, IDC_KEYSTROKE_VALUE));
    const QImage before = Grab(numbers);
    QThread::msleep(LiveSpanMs);
    ok &= Check(Grab(numbers) != before, "live numbers change");
    RECT frame;
    GetWindowRect(window, &frame);
    Grab(QRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1)))
        .save(QString::fromLocal8Bit(argv[2]));

    PostMessageW(window, WM_SYSCOMMAND, AboutCommand, 0);
    HWND aboutBox = nullptr;
    if (!Check(WaitFor([&] { return (aboutBox = Shown(about)) != nullptr; }),
               "system menu command 16 opens About"))
        return 1;
    Click(ControlOnScreen(aboutBox, about, IDOK).center());
    ok &= Check(WaitFor([&] { return !Shown(about); }), "OK closes About");
    Click(ControlOnScreen(window, main, IDOK).center());
    ok &= Check(WaitFor([&] { return !IsWindow(window); }), "OK closes the main window");
    return ok ? 0 : 1;
}
