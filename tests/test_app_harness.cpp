#include "test_app_harness.h"

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "settings/KeyboardSettings.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

bool ScriptedPrompts::AskYesNo(QWidget*, const QString& text, const QString& title) {
    ++questions;
    messages.push_back({text, title, Icon::Question});
    return yes;
}

void ScriptedPrompts::Message(QWidget*, const QString& text, const QString& title, Icon icon) {
    messages.push_back({text, title, icon});
}

QString ScriptedPrompts::SaveFileName(QWidget*, const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return savePath;
}

QString ScriptedPrompts::OpenFileName(QWidget*, const FileDialogRequest& request) {
    openRequests.push_back(request);
    return openPath;
}

AppHarness::AppHarness() : AppHarness(Setup{}) {}

AppHarness::AppHarness(Setup setup) {
    g_settings = KeyboardSettings{};
    EmulatorBus::Options options;
    options.autonomous = false;
    options.pluggedIn = setup.pluggedIn;
    options.productId = setup.productId;
    m_bus = std::make_shared<EmulatorBus>(options);
    m_dlg = std::make_unique<CKeyboardConfigDlg>(setup.testMode, Dir(), m_bus);
    m_dlg->SetTimerRunning(false);
    m_dlg->m_runModal = [](QDialog&) {};
}

AppHarness::~AppHarness() {
    Destroy();
}

void AppHarness::Destroy() {
    m_dlg.reset();
}

bool AppHarness::WaitReading(bool reading) {
    return QTest::qWaitFor([&] { return g_device && g_device->IsReading() == reading; }, 5000);
}

bool AppHarness::WaitReply() {
    return QTest::qWaitFor(
        [&] {
            std::lock_guard lock(StatusLock);
            return g_device && g_device->Reader && g_device->Reader->ReplyReceived.load() != 0;
        },
        3000);
}

bool AppHarness::Connect() {
    if (!WaitReading())
        return false;
    for (int step = 0; step < 4; ++step) {
        if (step > 0 && !WaitReply())
            return false;
        Tick();
    }
    return m_dlg->m_nPollState == 0;
}

bool AppHarness::StatusRound() {
    Tick();
    if (!WaitReply())
        return false;
    Tick();
    return m_dlg->m_nPollState == 0;
}

std::vector<protocol::Report> AppHarness::TakeWritten() {
    std::vector<protocol::Report> written = m_bus->WrittenReports();
    m_bus->ClearWrittenReports();
    return written;
}

int CommandCode(const protocol::Report& report) {
    return report[1] == protocol::CmdRequest ? 800 + report[2] : report[1];
}

std::vector<int> AppHarness::TakeCommands() {
    std::vector<int> codes;
    for (const protocol::Report& report : TakeWritten())
        codes.push_back(CommandCode(report));
    return codes;
}

QString AppHarness::Text(int id) const {
    if (auto* label = qobject_cast<QLabel*>(m_dlg->Control(id)))
        return label->text();
    return static_cast<QAbstractButton*>(m_dlg->Control(id))->text();
}

bool AppHarness::Ticked(int id) const {
    return static_cast<QAbstractButton*>(m_dlg->Control(id))->isChecked();
}

bool AppHarness::Enabled(int id) const {
    return m_dlg->Control(id)->isEnabled();
}

bool AppHarness::ShownIn(int id) const {
    return m_dlg->Control(id)->isVisibleTo(m_dlg.get());
}

void AppHarness::Click(int id) {
    QTest::mouseClick(m_dlg->Control(id), Qt::LeftButton);
}
