#include "app/CKeyboardConfigApp.h"
#include "app/StartupOptions.h"
#include "app/StartupWarmUp.h"
#include "dialogkit/ProgramIcon.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Taken before QApplication removes the options it knows.
    const QString commandLine = CommandLineText(argc, argv);
    StartupWarmUp warmUp; // before the application object, so its font thread starts sooner

    QApplication application(argc, argv);
    warmUp.WaitForFonts(); // the window measures its first text next
    warmUp.LoadImageReaders();
    QApplication::setApplicationName(QStringLiteral("kbconfig"));
    // The profile key of the program; no setting is ever read or written.
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    // Every window's icon, the main window's too.
    QApplication::setWindowIcon(ProgramIcon());

    CKeyboardConfigApp app;
    const int result = app.InitInstance(commandLine);
    warmUp.Wait(); // its threads use the application object: they end before it does
    return result;
}
