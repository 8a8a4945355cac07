// The help-file reader on any bytes: no line end of the file survives as a
// carriage return before a line feed.

#include "pages/HelpText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = HelpTextFromBytes(bytes);
    if (text.contains(QStringLiteral("\r\n")) && !bytes.contains("\r\r\n"))
        std::abort();
    return 0;
}
