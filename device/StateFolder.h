#pragma once

#include <string>

// The user's folder for files the program writes for itself, for when the
// folder it would otherwise use cannot be written: $XDG_STATE_HOME/kbconfig,
// else ~/.local/state/kbconfig (on Windows %LOCALAPPDATA%\kbconfig). Created
// when missing. Returned with a trailing separator; empty when there is no
// such folder and it cannot be made.
std::string StateFolder();
