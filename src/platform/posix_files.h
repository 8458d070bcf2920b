// The file system and the clock of the machine.
#pragma once

#include <map>

#include "engine/services.h"

namespace ravelin {

class PosixFileSystem : public FileSystem {
public:
    ~PosixFileSystem() override;
    std::unique_ptr<AppendFile> openAppend(const std::string& path, std::string& error) override;
    bool createDirectories(const std::string& path, std::string& error) override;
    bool holdOpen(const std::string& path, std::string& error) override;
    void release(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool remove(const std::string& path) override;

private:
    std::map<std::string, int> held_;
};

class SystemClock : public Clock {
public:
    LocalDateTime now() const override;
};

}  // namespace ravelin
