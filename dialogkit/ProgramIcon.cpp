#include "dialogkit/ProgramIcon.h"

QIcon ProgramIcon() {
    // The resources live in a static library: register them explicitly so
    // the linker keeps them.
    Q_INIT_RESOURCE(kbconfig);
    return QIcon(QStringLiteral(":/kbconfig.svg"));
}
