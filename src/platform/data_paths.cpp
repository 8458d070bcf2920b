#include "platform/data_paths.h"

#include <filesystem>
#include <system_error>

namespace ravelin {

std::string dataDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "../share/ravelin";
    return (exe.parent_path().parent_path() / "share" / "ravelin").lexically_normal().string();
}

std::string defaultAlarmSoundPath(int stage) {
    return dataDirectory() + (stage == 2 ? "/sounds/alarm2.wav" : "/sounds/alarm1.wav");
}

}  // namespace ravelin
