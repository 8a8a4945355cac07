#pragma once

#include "settings/KeyboardSettings.h"

#include <string>

// Settings files (*.set): a version line and one "value key" line per keyed
// field. Written with CR LF line ends; read with CR LF or LF.

inline constexpr const char* SettingsVersion4 = "4 Quindle Keyboard Configuration Utility Settings";
inline constexpr const char* SettingsVersion5 = "5 Quindle Keyboard Configuration Utility Settings";
inline constexpr const char* SettingsVersion6 = "6 Quindle Keyboard Configuration Utility Settings";

enum class SaveError { None, CannotOpen, WriteFailed };

struct SaveResult {
    SaveError error = SaveError::None;
    std::string message; // the text to show the user; empty on success
};

// Writes the file beside its final place and replaces the old file only when
// everything was written and flushed, so a failed save never loses it.
SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings);

enum class RecallError { None, CannotOpen, NotEnoughLines, IncompatibleFormat, NotANumber };

struct RecallResult {
    RecallError error = RecallError::None;
    std::string message;  // the text to show the user; empty on success
    int linesApplied = 0; // value lines stored into the record
    // A file that could be opened asks for the keyboard to be re-read, even
    // when its content was rejected.
    bool FileOpened() const { return error != RecallError::CannotOpen; }
};

// Reads the file and stores each value into `settings` as soon as its line is
// read; an error stops the reading and leaves the values read before it.
RecallResult RecallSettingsFile(const std::string& path, KeyboardSettings& settings);
