// Station mode's operating-system services: the MQTT password file, and the files of the
// public maps' secrets, read by the same rules.
#pragma once

#include <string>

namespace ravelin {

// The password: the first line of a regular file that only its owner may read or write.
// False with a message naming the file when it cannot be used; the password is never in it.
bool readPasswordFile(const std::string& path, std::string& password, std::string& error);

// The same for the secret named `what` ("API key") of `option` ("--safecast-key-file").
bool readSecretFile(const std::string& option, const std::string& path, const std::string& what, std::string& secret,
                    std::string& error);

}  // namespace ravelin
