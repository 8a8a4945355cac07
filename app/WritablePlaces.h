#pragma once

#include <QString>

// Where the program writes when it is installed in a folder the user cannot
// write. A writable program folder (a build tree, a copy in the user's own
// folders) keeps everything there, as it always was.

// Whether files can be created in `folder`.
bool FolderWritable(const QString& folder);

// The message log "debug.txt": in the program folder, else in the user's
// state folder.
QString MessageLogPath(const QString& programDir);

// The folder the Save and Recall dialogs start in: the program folder; else
// the folder last used, else the user's documents folder.
QString SettingsFileFolder(const QString& programDir);
// Keeps the folder of a settings file the user chose, for the next dialog
// (only where the program folder is not used for that).
void RememberSettingsFileFolder(const QString& programDir, const QString& chosenPath);
