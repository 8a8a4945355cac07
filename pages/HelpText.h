#pragma once

#include <QByteArray>
#include <QString>

// The help file's name, in the program directory.
inline constexpr const char* HelpFileName = "Olvane_Help.txt";

// The text of the help file at `path` for the help box: CR LF and LF line
// ends both become line breaks, long lines and a last line without a line
// end are kept whole. A file that cannot be opened gives a message naming it.
QString LoadHelpText(const QString& path);

// The help text from the file's bytes (UTF-8; CR LF or LF line ends).
QString HelpTextFromBytes(QByteArray bytes);
