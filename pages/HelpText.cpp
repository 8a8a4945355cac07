#include "pages/HelpText.h"

#include <QFile>

QString LoadHelpText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Unable to open file \"%1\"").arg(path);
    return HelpTextFromBytes(file.readAll());
}

QString HelpTextFromBytes(QByteArray bytes) {
    bytes.replace("\r\n", "\n");
    return QString::fromUtf8(bytes);
}
