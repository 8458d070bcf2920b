// The log folder of the history, read through POSIX calls; never written.
#pragma once

#include <string>

#include "history/history_log.h"

namespace ravelin {

class PosixLogFolder : public LogFolder {
public:
    explicit PosixLogFolder(std::string folder) : folder_(std::move(folder)) {}
    bool list(std::vector<std::string>& names, std::string& error) override;
    bool readFrom(const std::string& name, std::uint64_t offset, std::string& bytes, std::string& error) override;
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

}  // namespace ravelin
