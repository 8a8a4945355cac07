#pragma once

#include <QChar>
#include <QString>

class Prompts;

// The command-line text after the program name: the arguments joined by one
// blank each, exactly as given (before the toolkit removes any of its own).
QString CommandLineText(int argc, char** argv);

// Test mode from the command-line text: "TEST" in any case switches it on;
// any other non-empty text asks the user; an empty one leaves it off.
bool DecideTestMode(const QString& commandLine, Prompts& prompts);

// The directory part of the program's path, up to and including the last
// separator. A path without a separator gives the separator alone.
QString ProgramDirectory(const QString& programPath, QChar separator);

// The program directory of the running program, with the platform's separator.
QString CurrentProgramDirectory();
