#include "core/MessageLog.h"

#include "settings/Utf8File.h"

bool MessageLog::Open(const std::string& path) {
    if (!m_file) {
#ifdef _WIN32
        m_file = OpenUtf8File(path, "wt");
#else
        m_file = OpenUtf8File(path, "w");
#endif
        // Line by line, so that a crash or a kill loses at most the line
        // being written.
        if (m_file)
            std::setvbuf(m_file, nullptr, _IOLBF, BUFSIZ);
    }
    return m_file != nullptr;
}

void MessageLog::Close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}
