// Drives the running kbconfig.exe window from outside, as a user would. It
// answers commands, one a line on standard input, one line each: for the
// window check under wine and Xvfb (scripts/window-check.sh) and for the
// Windows VM test (tests/vm-windows/README.md lists them). The control's
// place and the picture of a text come from the window's own template built
// as the window builds it, with the same font and style, so both must match
// what is on the screen pixel for pixel.
//   window_probe --serve

#include "dialogkit/DialogBuilder.h"
#include "pages/CPropSheet.h"
#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTextStream>
#include <QThread>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int WaitMs = 15000;
constexpr int LiveSpanMs = 3000;
constexpr int PollMs = 50;
constexpr WPARAM AboutCommand = 16;

// The shown top-level window with a template's caption, or null.
HWND Shown(const DialogTemplate& tmpl) {
    HWND window = FindWindowW(nullptr, qUtf16Printable(QString::fromUtf8(tmpl.caption)));
    return window && IsWindowVisible(window) ? window : nullptr;
}

template <class Done> bool WaitFor(Done done, int limitMs = WaitMs) {
    for (int waited = 0; !done(); waited += PollMs) {
        if (waited > limitMs)
            return false;
        QThread::msleep(PollMs);
    }
    return true;
}

// A rectangle of a window's client area on the screen.
QRect OnScreen(HWND window, const QRect& inClient) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return inClient.translated(origin.x, origin.y);
}

QImage Grab(const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

// The window with its frame; the whole screen when there is none.
QImage GrabWindow(HWND window) {
    RECT frame;
    if (!window || !GetWindowRect(window, &frame))
        return Grab(QGuiApplication::primaryScreen()->geometry());
    return Grab(QRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1)));
}

// A press and a release a moment apart, as a hand gives them: a slow
// program under emulation may take a pair in one go for no click at all.
void Click(const QPoint& at) {
    SetCursorPos(at.x(), at.y());
    for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
        QThread::msleep(100);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flag;
        SendInput(1, &input, sizeof(INPUT));
    }
}

// QSlider's own style option for its handle's place, which it keeps protected.
struct OpenSlider : QSlider {
    using QSlider::initStyleOption;
};

// The main window's controls as the window builds them, laid out but never
// on the screen: their places in the client area, and what a label looks
// like with a given text.
class Reference {
public:
    Reference() : m_built(MainWindowTemplate(), &m_host) {
        m_host.resize(m_built.size());
        m_sheet.move(m_built.control(IDC_SHEET_PLACEHOLDER)->geometry().topLeft());
        m_host.setAttribute(Qt::WA_DontShowOnScreen);
        m_host.show();
    }

    QRect Place(int id) const {
        const QWidget* control = m_built.control(id);
        return control ? control->geometry() : QRect();
    }
    QRect Tab(int index) {
        m_sheet.setCurrentIndex(index);
        const QRect tab = m_sheet.tabBar()->tabRect(index);
        return QRect(m_sheet.tabBar()->mapTo(&m_host, tab.topLeft()), tab.size());
    }
    // Where a slider of the page shown has its handle when at `position`.
    QRect Handle(int id, int position) {
        QSlider* slider = nullptr;
        for (QWidget* control : {m_sheet.m_threshold.Control(id), m_sheet.m_timers.Control(id)})
            if (control && m_sheet.currentWidget()->isAncestorOf(control))
                slider = qobject_cast<QSlider*>(control);
        if (!slider)
            return {};
        const QSignalBlocker quiet(slider); // the copy has no keyboard to tell
        slider->setValue(position);
        QStyleOptionSlider option;
        (slider->*&OpenSlider::initStyleOption)(&option);
        const QRect handle =
            slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
        return QRect(slider->mapTo(&m_host, handle.topLeft()), handle.size());
    }
    // A label's text area, inside its frame if it has one: what the label
    // says, not how the style draws its edge.
    QRect TextArea(int id) const {
        const auto* label = m_built.get<QLabel>(id);
        return label ? label->contentsRect().translated(label->pos()) : QRect();
    }
    QImage Showing(int id, const QString& text) {
        auto* label = m_built.get<QLabel>(id);
        if (!label)
            return {};
        label->setText(text);
        return m_host.grab(TextArea(id)).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QSize Size() const { return m_built.size(); }

private:
    QWidget m_host;
    BuiltDialog m_built;
    CPropSheet m_sheet{QStringLiteral("PropSheet"), &m_host, false, 0};
};

// "yes" when the two pictures agree but for a few pixels (the edge of a
// glyph may be drawn a shade apart), "blank" for a picture of one colour.
QString Compare(const QImage& screen, const QImage& expected) {
    if (screen.isNull() || screen.size() != expected.size())
        return QStringLiteral("no size");
    const QImage a = screen.convertToFormat(QImage::Format_RGB32);
    int differ = 0;
    bool oneColour = true;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = expected.pixel(x, y);
            oneColour &= p == a.pixel(0, 0);
            differ += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                          std::abs(qBlue(p) - qBlue(q)) > 48;
        }
    if (oneColour)
        return QStringLiteral("blank");
    const int percent = differ * 100 / (a.width() * a.height());
    return differ * 100 <= a.width() * a.height() ? QStringLiteral("yes")
                                                   : QStringLiteral("no %1% differ").arg(percent);
}

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

int Serve() {
    Reference reference;
    HWND window = nullptr;
    QTextStream in(stdin), out(stdout);
    const QHash<QString, WORD> keys{{"tab", VK_TAB},   {"space", VK_SPACE}, {"up", VK_UP},
                                    {"down", VK_DOWN}, {"left", VK_LEFT},   {"right", VK_RIGHT}};
    for (QString line; in.readLineInto(&line);) {
        const QString verb = line.section(' ', 0, 0);
        const int id = line.section(' ', 1, 1).toInt();
        QString answer = QStringLiteral("ok");
        if (verb == "window") {
            const int seconds = id; // the argument, read as a number like the ids
            if (WaitFor([&] { return window = Shown(MainWindowTemplate()); }, seconds * 1000)) {
                RECT client;
                GetClientRect(window, &client);
                if (QSize(client.right, client.bottom) != reference.Size())
                    answer = QStringLiteral("error client %1x%2, template %3x%4")
                                 .arg(client.right).arg(client.bottom)
                                 .arg(reference.Size().width()).arg(reference.Size().height());
            } else {
                answer = QStringLiteral("error no window");
            }
        } else if (verb == "save") {
            GrabWindow(window).save(line.section(' ', 1));
        } else if (!window) {
            answer = QStringLiteral("error no window");
        } else if (verb == "shows") {
            answer = Compare(Grab(OnScreen(window, reference.TextArea(id))),
                             reference.Showing(id, line.section(' ', 2)));
        } else if (verb == "click") {
            SetForegroundWindow(window);
            Click(OnScreen(window, reference.Place(id)).center());
        } else if (verb == "tab") {
            Click(OnScreen(window, reference.Tab(id)).center());
        } else if (verb == "handle") {
            Click(OnScreen(window, reference.Handle(id, line.section(' ', 2, 2).toInt())).center());
        } else if (verb == "live") {
            const QRect numbers = OnScreen(
                window,
                reference.Place(IDC_LEFT_VALUE).united(reference.Place(IDC_KEYSTROKE_VALUE)));
            const QImage before = Grab(numbers);
            QThread::msleep(LiveSpanMs);
            answer = Grab(numbers) != before ? QStringLiteral("yes") : QStringLiteral("no");
        } else if (verb == "about") { // from the system menu, closed with Enter
            PostMessageW(window, WM_SYSCOMMAND, AboutCommand, 0);
            HWND about = nullptr;
            if (!WaitFor([&] { return about = Shown(AboutTemplate()); })) {
                answer = QStringLiteral("error no About");
            } else {
                SetForegroundWindow(about);
                PressKey(VK_RETURN);
                if (!WaitFor([&] { return !Shown(AboutTemplate()); }))
                    answer = QStringLiteral("error About stays");
            }
        } else if (verb == "close") { // with its OK button
            SetForegroundWindow(window);
            Click(OnScreen(window, reference.Place(IDOK)).center());
            if (!WaitFor([&] { return !IsWindow(window); }))
                answer = QStringLiteral("error window stays");
        } else if (verb == "key" && keys.contains(line.section(' ', 1))) {
            SetForegroundWindow(window);
            PressKey(keys.value(line.section(' ', 1)));
        } else {
            answer = QStringLiteral("error unknown command");
        }
        out << answer << Qt::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return argc == 2 && QByteArray(argv[1]) == "--serve" ? Serve() : 2;
}
