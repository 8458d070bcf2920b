// The file system and the clocks of the machine.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "engine/services.h"

namespace ravelin {

// Reads an open file to its end, or until more than `limit` bytes are in `text`;
// false with errno kept when a read fails.
bool readOpenFile(int fd, std::string& text, std::size_t limit);

class PosixFileSystem : public FileSystem {
public:
    ~PosixFileSystem() override;
    std::unique_ptr<AppendFile> openAppend(const std::string& path, std::string& error) override;
    bool createDirectories(const std::string& path, std::string& error) override;
    bool holdOpen(const std::string& path, std::string& error) override;
    void release(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool readAll(const std::string& path, std::string& contents, std::string& error) override;

private:
    std::map<std::string, int> held_;
};

// Local time, for the log.
class SystemClock : public Clock {
public:
    LocalDateTime now() const override;
};

// Coordinated universal time, for station mode's messages.
class SystemUtcClock : public UtcClock {
public:
    LocalDateTime utcNow() const override;
};

}  // namespace ravelin
