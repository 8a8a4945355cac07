// "Configure": unlocking takes the keyboard's writer lock, so that no other
// program changes the keyboard while the window may.

#include "app/CKeyboardConfigDlg.h"

#include "app/Prompts.h"
#include "device/CHidDevice.h"

void CKeyboardConfigDlg::SetConfigurationUnlocked(bool unlock) {
    if (unlock && !m_core->ConfigurationUnlocked()) {
        const std::string file = m_core->Device().LockFile();
        if (!file.empty() && m_writerLock.TryAcquire(file, std::chrono::milliseconds(0)) ==
                                 KeyboardLock::Outcome::Busy) {
            CurrentPrompts().Message(this, QString::fromStdString(m_writerLock.HolderText()),
                                     QStringLiteral("Configure"), Prompts::Icon::Warning);
            return;
        }
    }
    // Locked, or refused: ShowConfigurationLock lets the writer lock go.
    m_core->SetConfigurationUnlocked(unlock);
}
