// Station mode's operating-system services: the MQTT password file.
#pragma once

#include <string>

namespace ravelin {

// The password: the first line of a regular file that only its owner may read or write.
// False with a message naming the file when it cannot be used; the password is never in it.
bool readPasswordFile(const std::string& path, std::string& password, std::string& error);

}  // namespace ravelin
