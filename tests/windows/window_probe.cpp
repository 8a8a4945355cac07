// Drives the running kbconfig.exe window from outside, as a user would
// (scripts/window-check.sh runs it under wine and Xvfb): waits for the main
// window, checks that the live numbers change, saves a screenshot, opens
// About through the system menu's command, and presses OK in About and then
// in the main window. Exits 0 when every step worked.
//   window_probe SCREENSHOT

#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <windows.h>

#include <cstdio>

namespace {

constexpr int WaitMs = 15000;
constexpr int LiveSpanMs = 3000;
constexpr int PollMs = 50;
constexpr WPARAM AboutCommand = 16;

bool Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    return ok;
}

// The shown top-level window with a template's caption, or null.
HWND Shown(const DialogTemplate& tmpl) {
    HWND window = FindWindowW(nullptr, qUtf16Printable(QString::fromUtf8(tmpl.caption)));
    return window && IsWindowVisible(window) ? window : nullptr;
}

template <class Done> bool WaitFor(Done done) {
    for (int waited = 0; !done(); waited += PollMs) {
        if (waited > WaitMs)
            return false;
        QThread::msleep(PollMs);
    }
    return true;
}

// A control on the screen: the client area is the template scaled, so
// dialog units map in proportion.
QRect ControlOnScreen(HWND window, const DialogTemplate& tmpl, int id) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const double sx = double(client.right) / tmpl.width, sy = double(client.bottom) / tmpl.height;
    for (const ControlTemplate& c : tmpl.controls)
        if (c.id == id)
            return QRect(origin.x + int(c.x * sx), origin.y + int(c.y * sy), int(c.width * sx),
                         int(c.height * sy));
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

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const DialogTemplate& main = MainWindowTemplate();
    const DialogTemplate& about = AboutTemplate();
    HWND window = nullptr, aboutBox = nullptr;
    if (argc != 2 || !Check(WaitFor([&] { return window = Shown(main); }), "main window shown"))
        return 1;
    const QRect numbers = ControlOnScreen(window, main, IDC_LEFT_VALUE)
                              .united(ControlOnScreen(window, main, IDC_KEYSTROKE_VALUE));
    const QImage before = Grab(numbers);
    QThread::msleep(LiveSpanMs);
    bool ok = Check(Grab(numbers) != before, "live numbers change");
    RECT frame;
    GetWindowRect(window, &frame);
    Grab(QRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1)))
        .save(QString::fromLocal8Bit(argv[1]));

    PostMessageW(window, WM_SYSCOMMAND, AboutCommand, 0);
    if (!Check(WaitFor([&] { return aboutBox = Shown(about); }), "system menu's About opens About"))
        return 1;
    Click(ControlOnScreen(aboutBox, about, IDOK).center());
    ok &= Check(WaitFor([&] { return !Shown(about); }), "OK closes About");
    Click(ControlOnScreen(window, main, IDOK).center());
    ok &= Check(WaitFor([&] { return !IsWindow(window); }), "OK closes the main window");
    return ok ? 0 : 1;
}
