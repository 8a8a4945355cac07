#pragma once

#include <QIcon>

// The program's icon (resource 130 of the original), from the resources
// compiled into the program.
QIcon ProgramIcon();
