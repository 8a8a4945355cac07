#include "dialogkit/ProgramIcon.h"

QIcon ProgramIcon() {
    // The resources live in a static library: register them explicitly so
    // the linker keeps them.
    Q_INIT_RESOURCE(kbconfig);
#ifdef Q_OS_WIN
    // The Windows build's Qt reads no SVG; the .ico has the same drawing.
    return QIcon(QStringLiteral(":/kbconfig.ico"));
#else
    return QIcon(QStringLiteral(":/kbconfig.svg"));
#endif
}
