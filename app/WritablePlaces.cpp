#include "app/WritablePlaces.h"

#include "device/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr auto LastFolderKey = "SettingsFiles/lastFolder";

// The user's own settings of the program (not the profile key, which stays
// unused).
constexpr auto Organisation = "kbconfig";
constexpr auto Application = "kbconfig";

} // namespace

bool FolderWritable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QString MessageLogPath(const QString& programDir) {
    if (!FolderWritable(programDir)) {
        const std::string state = StateFolder();
        if (!state.empty())
            return QFile::decodeName(QByteArray::fromStdString(state)) +
                   QStringLiteral("debug.txt");
    }
    return programDir + QStringLiteral("debug.txt");
}

QString SettingsFileFolder(const QString& programDir) {
    if (FolderWritable(programDir))
        return programDir;
    const QSettings settings{QLatin1String(Organisation), QLatin1String(Application)};
    const QString last = settings.value(QLatin1String(LastFolderKey)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberSettingsFileFolder(const QString& programDir, const QString& chosenPath) {
    if (chosenPath.isEmpty() || FolderWritable(programDir))
        return;
    QSettings settings{QLatin1String(Organisation), QLatin1String(Application)};
    settings.setValue(QLatin1String(LastFolderKey), QFileInfo(chosenPath).absolutePath());
}
