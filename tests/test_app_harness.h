#pragma once

// Shared helpers of the main-window tests: the real main window against the
// built-in keyboard, with the timer stopped so that tests drive each tick.

#include "app/CKeyboardConfigDlg.h"
#include "app/Prompts.h"
#include "device/ReportProtocol.h"
#include "emulator/EmulatorBus.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Answers every prompt from a script and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString text, title;
        Icon icon;
    };
    bool yes = false;
    QString savePath, openPath; // empty: the user cancels
    std::vector<Shown> messages;
    std::vector<FileDialogRequest> saveRequests, openRequests;
    int questions = 0;

    bool AskYesNo(QWidget*, const QString& text, const QString& title) override;
    void Message(QWidget*, const QString& text, const QString& title, Icon icon) override;
    QString SaveFileName(QWidget*, const FileDialogRequest& request) override;
    QString OpenFileName(QWidget*, const FileDialogRequest& request) override;
};

// Installs ScriptedPrompts for its lifetime.
struct PromptsScope {
    ScriptedPrompts prompts;
    PromptsScope() { SetPrompts(&prompts); }
    ~PromptsScope() { SetPrompts(nullptr); }
};

class AppHarness {
public:
    struct Setup {
        bool testMode = false;
        bool pluggedIn = true;
        uint16_t productId = 0x0705;
    };
    AppHarness();
    explicit AppHarness(Setup setup);
    ~AppHarness();

    CKeyboardConfigDlg& Dlg() { return *m_dlg; }
    EmulatorBus& Bus() { return *m_bus; }
    QString Dir() const { return m_dir.path() + QLatin1Char('/'); }

    void Tick() { m_dlg->OnTimer(); }
    // Waits for the reader thread to open the keyboard (or to lose it).
    bool WaitReading(bool reading = true);
    // Waits until the reader has decoded a reply not yet taken over.
    bool WaitReply();
    // Ticks through the full read that follows a connection: 4 ticks.
    bool Connect();
    // One status exchange: the request tick and the tick that takes the reply.
    bool StatusRound();
    // Closes the window as the application does.
    void Destroy();

    // Output reports written since the last call, command byte and data.
    std::vector<protocol::Report> TakeWritten();
    std::vector<int> TakeCommands(); // byte 1 (and byte 2 for requests: 8xx)

    QString Text(int id) const;
    bool Ticked(int id) const;
    bool Enabled(int id) const;
    bool ShownIn(int id) const; // visible as far as the window is concerned
    void Click(int id);

private:
    QTemporaryDir m_dir;
    std::shared_ptr<EmulatorBus> m_bus;
    std::unique_ptr<CKeyboardConfigDlg> m_dlg;
};

// Encodes a request (command 8) as 800 + type, other commands as themselves.
int CommandCode(const protocol::Report& report);
