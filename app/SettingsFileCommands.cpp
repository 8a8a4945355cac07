// The "Save" and "Recall" buttons: settings files chosen in a file dialog.

#include "app/CKeyboardConfigDlg.h"

#include "app/Prompts.h"
#include "app/WritablePlaces.h"
#include "settings/KeyboardSettings.h"
#include "settings/SettingsFile.h"

#include <QFile>

namespace {

FileDialogRequest SettingsFileRequest(const QString& title, const QString& directory) {
    FileDialogRequest request;
    request.title = title;
    request.defaultSuffix = QStringLiteral("set");
    request.initialName = QStringLiteral("zarn.set");
    request.initialDirectory = directory;
    request.filters = {QStringLiteral("Config files (*.set)"), QStringLiteral("All Files (*.*)")};
    return request;
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString UserText(const std::string& message) {
    return QFile::decodeName(QByteArray::fromStdString(message));
}

} // namespace

void CKeyboardConfigDlg::OnSave() {
    Prompts& prompts = CurrentPrompts();
    const QString path =
        prompts.SaveFileName(this, SettingsFileRequest(QStringLiteral("Select Configuration File"),
                                                       SettingsFileFolder(m_strDir)));
    if (path.isEmpty())
        return;
    RememberSettingsFileFolder(m_strDir, path);
    const SaveResult result = SaveSettingsFile(LocalPath(path), g_settings);
    if (result.error != SaveError::None) {
        prompts.Message(this, UserText(result.message),
                        QStringLiteral("Error in Saving Configuration"), Prompts::Icon::Error);
    }
}

// The machine reads the file; a file that stops half-way changes nothing.
// The message comes after the record is settled, so nothing that paints
// while it is open can send a broken file's values.
void CKeyboardConfigDlg::OnRecall() {
    Prompts& prompts = CurrentPrompts();
    const QString path =
        prompts.OpenFileName(this, SettingsFileRequest(QStringLiteral("Recall Configuration File"),
                                                       SettingsFileFolder(m_strDir)));
    if (path.isEmpty())
        return;
    RememberSettingsFileFolder(m_strDir, path);
    const RecallResult result = m_core->Recall(LocalPath(path));
    if (result.error != RecallError::None) {
        prompts.Message(this, UserText(result.message),
                        QStringLiteral("Error in Restore Configuration"), Prompts::Icon::Error);
    }
}
