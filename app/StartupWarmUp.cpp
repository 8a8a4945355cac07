#include "app/StartupWarmUp.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#ifdef KBCONFIG_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

StartupWarmUp::StartupWarmUp() {
#ifdef KBCONFIG_HAVE_FONTCONFIG
    // The toolkit's own call, after WaitForFonts, finds the configuration
    // loaded and returns at once.
    m_fonts = std::thread([] { FcInit(); });
#endif
}

StartupWarmUp::~StartupWarmUp() {
    Wait();
}

void StartupWarmUp::WaitForFonts() {
    if (m_fonts.joinable())
        m_fonts.join();
}

void StartupWarmUp::Wait() {
    WaitForFonts();
    if (m_images.joinable())
        m_images.join();
}

void StartupWarmUp::LoadImageReaders() {
    m_images = std::thread([] {
        QByteArray picture;
        QBuffer out(&picture);
        out.open(QIODevice::WriteOnly);
        QImage(1, 1, QImage::Format_ARGB32).save(&out, "PNG");
        // Named by its format, as a picture file is by its suffix, so that
        // the reader asks the plugins the same way the style's read does.
        QBuffer in(&picture);
        in.open(QIODevice::ReadOnly);
        QImageReader(&in, "png").read();
    });
}
