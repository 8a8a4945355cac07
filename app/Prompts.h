#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every message box and file dialog of the program goes through this seam, so
// that tests can answer them without a person.
struct FileDialogRequest {
    QString title;
    QString defaultSuffix; // without the dot, e.g. "set"
    QString initialName;   // e.g. "zarn.set"
    QString initialDirectory;
    QStringList filters; // e.g. {"Config files (*.set)", "All Files (*.*)"}
};

class Prompts {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    virtual ~Prompts() = default;
    // Yes/No question with the question icon; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& title) = 0;
    // A message with an OK button.
    virtual void Message(QWidget* owner, const QString& text, const QString& title, Icon icon) = 0;
    // Return the chosen path, or an empty string when cancelled. The save
    // dialog asks before overwriting an existing file.
    virtual QString SaveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QString OpenFileName(QWidget* owner, const FileDialogRequest& request) = 0;
};

// The file-type filters as the file dialog of this platform needs them.
QStringList NameFiltersForPlatform(const QStringList& filters);

// The prompts in use: real dialogs unless a test installed its own.
Prompts& CurrentPrompts();
// Installs `prompts` (not owned); nullptr restores the real dialogs.
void SetPrompts(Prompts* prompts);
