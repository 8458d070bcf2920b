#include "platform/log_folder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ravelin {

bool PosixLogFolder::list(std::vector<std::string>& names, std::string& error) {
    DIR* dir = ::opendir(folder_.c_str());
    if (dir == nullptr) {
        error = folder_ + ": " + std::strerror(errno);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return true;
}

bool PosixLogFolder::readFrom(const std::string& name, std::uint64_t offset, std::string& bytes,
                              std::string& error) {
    const std::string path = folder_ + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && static_cast<std::uint64_t>(st.st_size) > offset) {
        bytes.resize(static_cast<std::size_t>(st.st_size - static_cast<off_t>(offset)));
        std::size_t got = 0;
        while (ok && got < bytes.size()) {
            const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            ok = n >= 0;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    if (!ok) error = path + ": " + (errno ? std::strerror(errno) : "not a regular file");
    ::close(fd);
    return ok;
}

}  // namespace ravelin
