// The alarm sound player used by both faces.
#pragma once

#include <memory>
#include <string>

#include "engine/face.h"
#include "engine/services.h"

namespace ravelin {

// The application's one alarm player: loops a stage's WAV from the working
// directory (one that is not integer PCM from a 16-bit PCM copy in a temporary file,
// removed when the sound stops), or the program's own sound for that stage when the
// file is missing or unusable. Problems (such a file, no audio output) are reported through `face`.
// Needs a running Qt application object.
std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face);

// The same with the program's own sounds taken from `defaultSoundFolder`
// (alarm1.wav, alarm2.wav).
std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face, const std::string& defaultSoundFolder);

// Empty when `path` is a WAV file the player can loop, as it is or decoded; otherwise why not.
std::string checkAlarmWav(const std::string& path);

// What the application's player loops now (an absolute path), empty when silent.
std::string soundPlaying();

}  // namespace ravelin
