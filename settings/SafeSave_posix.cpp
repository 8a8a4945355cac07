#include "settings/SafeSave.h"

#include <cstdio>
#include <unistd.h>

// The new content goes to a temporary file beside the target, which is
// renamed over the target only once everything reached the disk.
SafeSaveError ReplaceFileContent(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return SafeSaveError::CannotCreate;
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = ok && std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return SafeSaveError::WriteFailed;
    }
    return SafeSaveError::None;
}
