#include "platform/posix_files.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace ravelin {
namespace {

class PosixAppendFile : public AppendFile {
public:
    explicit PosixAppendFile(int fd) : fd_(fd) {}
    ~PosixAppendFile() override { close(); }
    long write(const char* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error_ = std::strerror(errno);
            return static_cast<long>(n);
        }
    }
    bool sync() override {
        if (::fsync(fd_) == 0) return true;
        error_ = std::strerror(errno);
        return false;
    }
    bool close() override {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0) error_ = std::strerror(errno);
        return rc == 0;
    }
    std::string error() const override { return error_; }
    bool mark(FileMark& out) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            error_ = std::strerror(errno);
            return false;
        }
        out = FileMark{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                       static_cast<std::uint64_t>(st.st_size)};
        return true;
    }
    bool lastByte(int& byte) override {
        FileMark m;
        if (!mark(m)) return false;
        if (m.size == 0) {
            byte = -1;
            return true;
        }
        unsigned char c = 0;
        for (;;) {
            const ssize_t n = ::pread(fd_, &c, 1, static_cast<off_t>(m.size - 1));
            if (n < 0 && errno == EINTR) continue;
            if (n == 1) {
                byte = c;
                return true;
            }
            error_ = n < 0 ? std::strerror(errno) : "the file grew shorter while read";
            return false;
        }
    }

private:
    int fd_;
    std::string error_;
};

}  // namespace

PosixFileSystem::~PosixFileSystem() {
    for (auto& [path, fd] : held_) ::close(fd);
}

std::unique_ptr<AppendFile> PosixFileSystem::openAppend(const std::string& path, std::string& error) {
    // Readable too, so that the log can see how the file ends; a file it may only write
    // is still appended to.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PosixAppendFile>(fd);
}

bool PosixFileSystem::createDirectories(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (std::filesystem::is_directory(path)) return true;
    error = ec ? ec.message() : "not a folder";
    return false;
}

bool PosixFileSystem::holdOpen(const std::string& path, std::string& error) {
    if (held_.count(path)) return true;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    held_[path] = fd;
    return true;
}

void PosixFileSystem::release(const std::string& path) {
    if (auto it = held_.find(path); it != held_.end()) {
        ::close(it->second);
        held_.erase(it);
    }
}

bool PosixFileSystem::exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool PosixFileSystem::remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool readOpenFile(int fd, std::string& text, std::size_t limit) {
    char buf[65536];
    while (text.size() <= limit) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

bool PosixFileSystem::readAll(const std::string& path, std::string& contents, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    contents.clear();
    if (fd < 0 || !readOpenFile(fd, contents, std::string::npos - 1)) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

namespace {
LocalDateTime fromTm(const std::tm& tm) {
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}
}  // namespace

LocalDateTime SystemClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return fromTm(tm);
}

LocalDateTime SystemUtcClock::utcNow() const {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return fromTm(tm);
}

}  // namespace ravelin
