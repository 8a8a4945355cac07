#pragma once

// The real main window against the built-in keyboard, with its timer stopped
// so that tests drive each tick.

#include "app/CKeyboardConfigDlg.h"
#include "app/Prompts.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"
#include "pages/CPropSheet.h"
#include "settings/KeyboardSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

// Answers every prompt from a script and records what was asked; installed
// for its lifetime.
struct ScriptedPrompts : Prompts {
    bool yes = false;
    QString savePath, openPath; // empty: the user cancels
    std::vector<std::pair<QString, Icon>> messages;
    std::vector<FileDialogRequest> requests;

    ScriptedPrompts() { SetPrompts(this); }
    ~ScriptedPrompts() override { SetPrompts(nullptr); }
    bool AskYesNo(QWidget*, const QString& text, const QString&) override {
        messages.emplace_back(text, Icon::Question);
        return yes;
    }
    void Message(QWidget*, const QString& text, const QString&, Icon icon) override {
        messages.emplace_back(text, icon);
    }
    QString SaveFileName(QWidget*, const FileDialogRequest& r) override { return Ask(r, savePath); }
    QString OpenFileName(QWidget*, const FileDialogRequest& r) override { return Ask(r, openPath); }
    QString Ask(const FileDialogRequest& r, const QString& path) {
        requests.push_back(r);
        return path;
    }
};

// Where the platform's own behaviour is expected.
#ifdef Q_OS_WIN
inline constexpr bool WindowsBuild = true;
#else
inline constexpr bool WindowsBuild = false;
#endif

class AppHarness {
public:
    struct Setup {
        bool testMode = false;
        bool pluggedIn = true;
        uint16_t productId = 0x0705;
        QString programDir = {}; // empty: the harness's own scratch folder
    };
    AppHarness() : AppHarness(Setup{}) {}
    explicit AppHarness(Setup setup) {
        g_settings = KeyboardSettings{};
        m_bus = std::make_shared<EmulatorBus>(EmulatorBus::Options{
            .productId = setup.productId, .autonomous = false, .pluggedIn = setup.pluggedIn});
        m_dlg = std::make_unique<CKeyboardConfigDlg>(
            setup.testMode, setup.programDir.isEmpty() ? Dir() : setup.programDir, m_bus);
        m_dlg->SetTimerRunning(false);
        m_dlg->m_runModal = [](QDialog&) {};
    }

    CKeyboardConfigDlg& Dlg() { return *m_dlg; }
    PollingMachine& Core() { return m_dlg->Core(); }
    EmulatorBus& Bus() { return *m_bus; }
    QString Dir() const { return m_dir.path() + QLatin1Char('/'); }
    void Tick() { m_dlg->OnTimer(); }
    // Shows the window as the active one, where keys and the focus go.
    bool ShowActive() {
        m_dlg->show();
        QApplication::setActiveWindow(m_dlg.get());
        return QTest::qWaitForWindowActive(m_dlg.get());
    }

    // Waits for the reader thread to open the keyboard (or to lose it).
    bool WaitReading(bool reading = true) {
        return QTest::qWaitFor([&] { return m_dlg->Core().KeyboardPresent() == reading; });
    }
    // Waits until the reader has decoded a reply not yet taken over.
    bool WaitReply(int milliseconds = 3000) {
        CHidDevice& device = m_dlg->Core().Device();
        return QTest::qWaitFor(
            [&] {
                std::lock_guard lock(StatusLock);
                return device.Reader && device.Reader->ReplyReceived.load() != 0;
            },
            milliseconds);
    }
    // The full read after a connection (4 ticks); forgets what was written.
    bool Connect() {
        bool ok = WaitReading();
        for (int step = 0; ok && step < 4; ++step) {
            Tick();
            ok = step == 3 || WaitReply();
        }
        TakeCommands();
        return ok && m_dlg->Core().PollState() == 0;
    }
    // The tick that requests the status and the tick that takes the reply.
    bool StatusRound() {
        Tick();
        const bool replied = WaitReply();
        Tick();
        return replied && m_dlg->Core().PollState() == 0;
    }
    // Reports written since the last call: the command, or 800 + type for a request.
    std::vector<int> TakeCommands() {
        std::vector<int> codes;
        for (const protocol::Report& r : m_bus->WrittenReports())
            codes.push_back(r[1] == protocol::CmdRequest ? 800 + r[2] : r[1]);
        m_bus->ClearWrittenReports();
        return codes;
    }

    // A control of the window or of a page; a page's becomes the page shown.
    QWidget* Widget(int id) const {
        if (QWidget* w = m_dlg->Control(id))
            return w;
        CPropSheet* sheet = m_dlg->m_pPropSheet;
        QWidget* w = sheet->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
        for (int i = 0; i < sheet->count(); ++i) {
            if (sheet->widget(i)->isAncestorOf(w))
                sheet->setCurrentIndex(i);
        }
        return w;
    }
    QString Text(int id) const {
        if (auto* label = qobject_cast<QLabel*>(Widget(id)))
            return label->text();
        return Button(id)->text();
    }
    bool Ticked(int id) const { return Button(id)->isChecked(); }
    bool Enabled(int id) const { return Widget(id)->isEnabled(); }
    bool ShownIn(int id) const { return Widget(id)->isVisibleTo(m_dlg.get()); }
    void Click(int id) { QTest::mouseClick(Widget(id), Qt::LeftButton); }
    QAbstractButton* Button(int id) const { return static_cast<QAbstractButton*>(Widget(id)); }

private:
    // Gone in the reverse order: the window first, as the application closes it.
    QTemporaryDir m_dir;
    std::shared_ptr<EmulatorBus> m_bus;
    std::unique_ptr<CKeyboardConfigDlg> m_dlg;
};
