#pragma once

#include <QString>

// Start-up: decides test mode, finds the program directory and runs the
// main window modally; the program ends when the window closes.
class CKeyboardConfigApp {
public:
    // `commandLine` is the text after the program name. Returns the exit code.
    int InitInstance(const QString& commandLine);
};
