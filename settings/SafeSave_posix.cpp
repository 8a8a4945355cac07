#include "settings/SafeSave.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The new content goes to a temporary file of a unique name beside the
// target, which is renamed over the target only once everything reached the
// disk. What the old file was is kept: a symbolic link is saved through to
// the file it names and stays a link; the old file's permission bits (and,
// where allowed, its owner) pass to the new one. A folder that cannot take a
// new file, holding a file that may be written, is saved in place as a plain
// overwrite would do it.

namespace {

// The file a path finally names: symbolic links are followed, also to a
// target that does not exist yet (saving creates it).
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size())
            break;
        link.resize(static_cast<std::size_t>(length));
        if (link.front() == '/') {
            path = link;
        } else {
            const std::size_t slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
        }
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The process's file-creation mask, read without changing it (umask() would
// change it for every thread for a moment). 022 when it cannot be read.
mode_t CurrentUmask() {
    mode_t mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[128];
        while (std::fgets(line, sizeof line, status)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0;
}

// The old file itself is truncated and rewritten: not safe against a failure
// half-way, but the only way to save into a folder that takes no new files.
SafeSaveError WriteInPlace(const std::string& target, const std::string& content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return SafeSaveError::CannotCreate;
    const bool ok = WriteAll(fd, content);
    return (::close(fd) == 0 && ok) ? SafeSaveError::None : SafeSaveError::WriteFailed;
}

} // namespace

SafeSaveError ReplaceFileContent(const std::string& path, const std::string& content) {
    const std::string target = ResolveLinks(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // A file the user may not write is not replaced behind their back.
    if (exists && S_ISREG(old.st_mode) && ::access(target.c_str(), W_OK) != 0)
        return SafeSaveError::CannotCreate;

    const std::string folder = FolderOf(target);
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
        if (folderRefuses && exists && S_ISREG(old.st_mode))
            return WriteInPlace(target, content);
        return SafeSaveError::CannotCreate;
    }

    // mkstemp creates the file for its owner only; the new file gets the old
    // one's bits, or those a plain new file would have had.
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Only possible for a privileged user or within the user's groups;
        // otherwise the file is the saver's own, as any new file would be.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    bool ok = ::fchmod(fd, mode) == 0;
    ok = WriteAll(fd, content) && ok;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return SafeSaveError::WriteFailed;
    }
    // The rename itself reaches the disk with the folder.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return SafeSaveError::None;
}
