#include "core/MessageLog.h"

bool MessageLog::Open(const std::string& path) {
    if (!m_file) {
#ifdef _WIN32
        m_file = std::fopen(path.c_str(), "wt");
#else
        m_file = std::fopen(path.c_str(), "w");
#endif
    }
    return m_file != nullptr;
}

void MessageLog::Close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}
