#include "test_app_harness.h"

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "settings/KeyboardSettings.h"

#include <QApplication>
#include <QLabel>

AppHarness::AppHarness() : AppHarness(Setup{}) {}

AppHarness::AppHarness(Setup setup) {
    g_settings = KeyboardSettings{};
    m_bus = std::make_shared<EmulatorBus>(EmulatorBus::Options{
        .productId = setup.productId, .autonomous = false, .pluggedIn = setup.pluggedIn});
    m_dlg = std::make_unique<CKeyboardConfigDlg>(
        setup.testMode, setup.programDir.isEmpty() ? Dir() : setup.programDir, m_bus);
    m_dlg->SetTimerRunning(false);
    m_dlg->m_runModal = [](QDialog&) {};
}

bool AppHarness::ShowActive() {
    m_dlg->show();
    QApplication::setActiveWindow(m_dlg.get());
    return QTest::qWaitForWindowActive(m_dlg.get());
}

bool AppHarness::WaitReading(bool reading) {
    return QTest::qWaitFor([&] { return m_dlg->Core().KeyboardPresent() == reading; });
}

bool AppHarness::WaitReply(int milliseconds) {
    CHidDevice& device = m_dlg->Core().Device();
    return QTest::qWaitFor(
        [&] {
            std::lock_guard lock(StatusLock);
            return device.Reader && device.Reader->ReplyReceived.load() != 0;
        },
        milliseconds);
}

bool AppHarness::Connect() {
    bool ok = WaitReading();
    for (int step = 0; ok && step < 4; ++step) {
        Tick();
        ok = step == 3 || WaitReply();
    }
    TakeCommands();
    return ok && m_dlg->Core().PollState() == 0;
}

std::vector<int> AppHarness::TakeCommands() {
    std::vector<int> codes;
    for (const protocol::Report& r : m_bus->WrittenReports())
        codes.push_back(r[1] == protocol::CmdRequest ? 800 + r[2] : r[1]);
    m_bus->ClearWrittenReports();
    return codes;
}

QString AppHarness::Text(int id) const {
    if (auto* label = qobject_cast<QLabel*>(m_dlg->Control(id)))
        return label->text();
    return Button(id)->text();
}
