#include "app/WritablePlaces.h"

#include "device/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

constexpr auto LastFolderKey = "SettingsFiles/lastFolder";

// The user's own settings of the program (not the profile key, which stays
// unused).
constexpr auto Organisation = "kbconfig";
constexpr auto Application = "kbconfig";

// The user's settings of the program: ~/.config/kbconfig/kbconfig.conf; on
// Windows kbconfig.ini in the state folder, beside the message log, rather
// than the registry.
std::unique_ptr<QSettings> UserSettings() {
#ifdef Q_OS_WIN
    const std::string state = StateFolder();
    if (!state.empty())
        return std::make_unique<QSettings>(QFile::decodeName(QByteArray::fromStdString(state)) +
                                               QStringLiteral("kbconfig.ini"),
                                           QSettings::IniFormat);
#endif
    return std::make_unique<QSettings>(QLatin1String(Organisation), QLatin1String(Application));
}

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
    const QString last = UserSettings()->value(QLatin1String(LastFolderKey)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberSettingsFileFolder(const QString& programDir, const QString& chosenPath) {
    if (chosenPath.isEmpty() || FolderWritable(programDir))
        return;
    UserSettings()->setValue(QLatin1String(LastFolderKey), QFileInfo(chosenPath).absolutePath());
}
