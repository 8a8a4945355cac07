// Draws res/kbconfig.svg into the raw pictures the Linux build's icon is
// made of (res/kbconfig-<size>.argb: premultiplied 32-bit ARGB, row by row,
// in the machine's byte order), so that the program need not draw the SVG,
// nor decode a picture file, while it starts. Run it after changing the SVG:
//   g++ -fPIC -o /tmp/render-icon tools/render-icon.cpp \
//       $(pkg-config --cflags --libs Qt6Gui) && \
//   QT_QPA_PLATFORM=offscreen /tmp/render-icon res

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res");
    const QIcon icon(folder + QStringLiteral("/kbconfig.svg"));
    // The sizes the X11 window system is given for a scalable icon.
    for (int size : {16, 32, 64, 128}) {
        const QImage image = icon.pixmap(QSize(size, size))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QFile out(folder + QStringLiteral("/kbconfig-%1.argb").arg(size));
        if (image.size() != QSize(size, size) || !out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()) !=
                image.sizeInBytes()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
    }
    return 0;
}
