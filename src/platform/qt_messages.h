// Qt's own messages from its sound back end (the stream's errors when a sound device goes
// away, repeated for every buffer it could not read) are not the program's to print.
#pragma once

#include <string>

namespace ravelin {

// Whether a Qt message of `category` saying `text` comes from Qt's sound back end.
bool isSoundBackEndMessage(const std::string& category, const std::string& text);

// From now on, the first message of Qt's sound back end goes out once through the program's
// own reporting ("sound system: ..."), the rest not at all; every other Qt message as before.
void filterSoundBackEndMessages();

}  // namespace ravelin
