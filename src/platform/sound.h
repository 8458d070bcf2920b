// The alarm sound player used by both faces.
#pragma once

#include <memory>

#include "engine/face.h"
#include "outputs/alarms.h"

namespace ravelin {

// The application's one alarm player. Problems (a missing file, no audio output)
// are reported through `face`.
std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face);

}  // namespace ravelin
