#include "app/CKeyboardConfigApp.h"
#include "app/StartupOptions.h"
#include "dialogkit/ProgramIcon.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Taken before QApplication removes the options it knows.
    const QString commandLine = CommandLineText(argc, argv);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kbconfig"));
    // The profile key of the program; no setting is ever read or written.
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    // Every window's icon, the main window's too.
    QApplication::setWindowIcon(ProgramIcon());

    CKeyboardConfigApp app;
    return app.InitInstance(commandLine);
}
