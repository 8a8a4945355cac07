#include "core/MessageLog.h"

bool MessageLog::Open(const std::string& path) {
    if (!m_file) {
#ifdef _WIN32
        m_file = std::fopen(path.c_str(), "wt");
#else
        m_file = std::fopen(path.c_str(), "w");
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
