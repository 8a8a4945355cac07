#include "app/CKeyboardConfigApp.h"

#include "app/CKeyboardConfigDlg.h"
#include "app/Prompts.h"
#include "app/StartupOptions.h"

#include <memory>

int CKeyboardConfigApp::InitInstance(const QString& commandLine) {
    const bool testMode = DecideTestMode(commandLine, CurrentPrompts());
    auto window = std::make_unique<CKeyboardConfigDlg>(testMode, CurrentProgramDirectory());
    window->exec();
    // Destroying the window stops the timer, the reader thread and the log.
    window.reset();
    return 0;
}
