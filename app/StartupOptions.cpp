#include "app/StartupOptions.h"

#include "app/Prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

QString CommandLineText(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    return words.join(QLatin1Char(' '));
}

bool DecideTestMode(const QString& commandLine, Prompts& prompts) {
    if (commandLine.isEmpty())
        return false;
    if (commandLine.toUpper() == QLatin1String("TEST"))
        return true;
    return prompts.AskYesNo(nullptr, QStringLiteral("Show Extra Test Functions?"),
                            QStringLiteral("Set Test Options"));
}

QString ProgramDirectory(const QString& programPath, QChar separator) {
    const qsizetype last = programPath.lastIndexOf(separator);
    if (last < 0)
        return QString(separator);
    return programPath.left(last + 1);
}

QString CurrentProgramDirectory() {
    const QString path = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    return ProgramDirectory(path, QDir::separator());
}
