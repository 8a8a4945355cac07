#include "dialogkit/ProgramIcon.h"

#include <QImage>
#include <QPixmap>
#include <QResource>

QIcon ProgramIcon() {
    // The resources live in a static library: register them explicitly so
    // the linker keeps them.
    Q_INIT_RESOURCE(kbconfig);
#ifdef Q_OS_WIN
    // The Windows build's Qt reads no SVG; the .ico has the same drawing.
    return QIcon(QStringLiteral(":/kbconfig.ico"));
#else
    // kbconfig.svg drawn beforehand (tools/render-icon.cpp) at the sizes the
    // window system is given: drawing the SVG, or even decoding picture
    // files, at start-up cost more than the rest of the window's own set-up.
    QIcon icon;
    for (int size : {16, 32, 64, 128}) {
        const QByteArray pixels =
            QResource(QStringLiteral(":/kbconfig-%1.argb").arg(size)).uncompressedData();
        const QImage image(reinterpret_cast<const uchar*>(pixels.constData()), size, size,
                           QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image.copy())); // `pixels` goes
    }
    return icon;
#endif
}
