#pragma once

#include "settings/KeyboardSettings.h"

#include <string>

// Settings files (*.set): a version line and one "value key" line per keyed
// field. Written with CR LF line ends; read with CR LF or LF.

inline constexpr const char* SettingsVersion4 = "4 Quindle Keyboard Configuration Utility Settings";
inline constexpr const char* SettingsVersion5 = "5 Quindle Keyboard Configuration Utility Settings";
inline constexpr const char* SettingsVersion6 = "6 Quindle Keyboard Configuration Utility Settings";

// NotAFile: the path names something else than a regular file (or a link to
// one), which is left as it is; the message is that of CannotOpen.
enum class SaveError { None, CannotOpen, WriteFailed, NotAFile };

struct SaveResult {
    SaveError error = SaveError::None;
    std::string message; // the text to show the user; empty on success
};

// Writes the file beside its final place and replaces the old file only when
// everything was written and flushed, so a failed save never loses it.
SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings);

enum class RecallError {
    None,
    CannotOpen,
    NotEnoughLines,
    IncompatibleFormat,
    NotANumber,
    LineTooLong,
    OutOfRange, // a number larger than its field takes, or below 0
    WrongKey,   // Exact reading only: the key is not the one of its line
};

struct RecallResult {
    RecallError error = RecallError::None;
    std::string message;  // the text to show the user; empty on success
    int linesApplied = 0; // value lines stored into the record
    // A file that could be opened asks for the keyboard to be re-read, even
    // when its content was rejected.
    bool FileOpened() const { return error != RecallError::CannotOpen; }
};

// How a value line is read. ByPosition, as the window reads it: the value
// goes to the field of its line's position whatever key follows, and the
// number is what the line begins with (blanks, a sign, digits; the rest is
// ignored). Exact, for scripts: after optional blanks, digits only, then the
// key of that line and nothing else. Either way a value the field cannot
// take is refused.
enum class RecallReading { ByPosition, Exact };

// Reads the file and stores each value into `settings` as soon as its line is
// read; an error stops the reading and leaves the values read before it, and
// its message names the line and quotes it (VisibleText).
// Only a regular file is opened. A UTF-8 byte-order mark before the first
// line is skipped; lines end with LF, CR LF or CR. A line longer than
// SettingsLineLimit characters (its line end not counted) is refused.
RecallResult RecallSettingsFile(const std::string& path, KeyboardSettings& settings,
                                RecallReading reading = RecallReading::ByPosition);
inline constexpr int SettingsLineLimit = 99;

// Copies the fields of the first `valueLines` value lines of a settings file
// (as RecallResult::linesApplied counts them) from `from` to `onto`.
void CopyFileFields(const DeviceStatus& from, int valueLines, DeviceStatus& onto);
