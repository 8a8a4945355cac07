#include "app/Prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

QMessageBox::Icon ToBoxIcon(Prompts::Icon icon) {
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Real message boxes and file dialogs.
class DialogPrompts final : public Prompts {
public:
    bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        owner);
        return box.exec() == QMessageBox::Yes;
    }

    void Message(QWidget* owner, const QString& text, const QString& title, Icon icon) override {
        QMessageBox box(ToBoxIcon(icon), title, text, QMessageBox::Ok, owner);
        box.exec();
    }

    QString SaveFileName(QWidget* owner, const FileDialogRequest& request) override {
        return Run(owner, request, QFileDialog::AcceptSave);
    }

    QString OpenFileName(QWidget* owner, const FileDialogRequest& request) override {
        return Run(owner, request, QFileDialog::AcceptOpen);
    }

private:
    static QString Run(QWidget* owner, const FileDialogRequest& request,
                       QFileDialog::AcceptMode mode) {
        // QFileDialog never changes the process's current directory, and in
        // save mode it asks before an existing file is replaced.
        QFileDialog dialog(owner, request.title, request.initialDirectory);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                           : QFileDialog::ExistingFile);
        dialog.setNameFilters(NameFiltersForPlatform(request.filters));
        dialog.setDefaultSuffix(request.defaultSuffix);
        dialog.selectFile(request.initialName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

Prompts* g_installedPrompts = nullptr;

} // namespace

QStringList NameFiltersForPlatform(const QStringList& filters) {
#ifdef Q_OS_WIN
    return filters;
#else
    // "*.*" only matches names with a dot outside Windows: let the
    // all-files entry really show all files.
    QStringList result;
    for (QString filter : filters) {
        filter.replace(QRegularExpression(QStringLiteral("\\(\\*\\.\\*\\)$")),
                       QStringLiteral("(*)"));
        result.append(filter);
    }
    return result;
#endif
}

Prompts& CurrentPrompts() {
    static DialogPrompts dialogs;
    return g_installedPrompts ? *g_installedPrompts : dialogs;
}

void SetPrompts(Prompts* prompts) {
    g_installedPrompts = prompts;
}
