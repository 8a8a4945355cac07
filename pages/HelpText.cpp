#include "pages/HelpText.h"

#include <QFile>

QString LoadHelpText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Unable to open file \"%1\"").arg(path);
    QByteArray bytes = file.readAll();
    bytes.replace("\r\n", "\n");
    return QString::fromUtf8(bytes);
}
