// Where the program's own data lives: <folder of the executable>/../share/ravelin,
// the same in the build tree and once installed.
#pragma once

#include <string>

namespace ravelin {

// The data folder, without a trailing "/".
std::string dataDirectory();

// The program's own alarm sound for a stage (1 or 2).
std::string defaultAlarmSoundPath(int stage);

}  // namespace ravelin
