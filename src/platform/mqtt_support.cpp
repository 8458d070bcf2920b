#include "platform/mqtt_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix_files.h"

namespace ravelin {

bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
    return readSecretFile("--mqtt-password-file", path, "password", password, error);
}

bool readSecretFile(const std::string& option, const std::string& path, const std::string& what, std::string& password,
                    std::string& error) {
    const std::string name = option + " " + path;
    // The mode is checked on the file opened, not on a name that could change in between.
    // Non-blocking, so that a named pipe with no writer is refused below instead of
    // holding up the start; a regular file reads the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = name + ": not a regular file";
        return false;
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = name + ": the file is open to other users (mode " + mode +
                "); refusing to use it. Make it private with: chmod 600 " + path;
        return false;
    }
    std::string text;
    // A password, not a file of anything else: the first 64 KiB at most.
    if (!readOpenFile(fd, text, 65536)) {
        error = name + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    ::close(fd);
    const auto end = text.find_first_of("\r\n");
    password = text.substr(0, end);
    if (password.empty()) {
        error = name + ": the file holds no " + what;
        return false;
    }
    return true;
}

}  // namespace ravelin
