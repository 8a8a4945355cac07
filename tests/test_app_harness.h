#pragma once

// The real main window against the built-in keyboard, with its timer stopped
// so that tests drive each tick.

#include "app/CKeyboardConfigDlg.h"
#include "app/Prompts.h"
#include "emulator/EmulatorBus.h"

#include <QAbstractButton>
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
    AppHarness();
    explicit AppHarness(Setup setup);
    ~AppHarness() { Destroy(); }

    CKeyboardConfigDlg& Dlg() { return *m_dlg; }
    PollingMachine& Core() { return m_dlg->Core(); }
    EmulatorBus& Bus() { return *m_bus; }
    QString Dir() const { return m_dir.path() + QLatin1Char('/'); }
    void Tick() { m_dlg->OnTimer(); }
    void Destroy() { m_dlg.reset(); } // as the application closes the window
    // Shows the window as the active one, where keys and the focus go.
    bool ShowActive();

    // Waits for the reader thread to open the keyboard (or to lose it).
    bool WaitReading(bool reading = true);
    // Waits until the reader has decoded a reply not yet taken over.
    bool WaitReply(int milliseconds = 3000);
    // The full read after a connection (4 ticks); forgets what was written.
    bool Connect();
    // The tick that requests the status and the tick that takes the reply.
    bool StatusRound() {
        Tick();
        const bool replied = WaitReply();
        Tick();
        return replied && m_dlg->Core().PollState() == 0;
    }
    // Reports written since the last call: the command, or 800 + type for a request.
    std::vector<int> TakeCommands();

    QString Text(int id) const;
    bool Ticked(int id) const { return Button(id)->isChecked(); }
    bool Enabled(int id) const { return m_dlg->Control(id)->isEnabled(); }
    bool ShownIn(int id) const { return m_dlg->Control(id)->isVisibleTo(m_dlg.get()); }
    void Click(int id) { QTest::mouseClick(m_dlg->Control(id), Qt::LeftButton); }
    QAbstractButton* Button(int id) const {
        return static_cast<QAbstractButton*>(m_dlg->Control(id));
    }

private:
    QTemporaryDir m_dir;
    std::shared_ptr<EmulatorBus> m_bus;
    std::unique_ptr<CKeyboardConfigDlg> m_dlg;
};
