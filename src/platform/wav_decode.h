// Alarm WAVs that the sound effect cannot play as they are (μ-law, A-law, ADPCM,
// float, the extensible header), read with libsndfile and written as 16-bit PCM.
#pragma once

#include <string>

namespace ravelin {

// What the alarm player can do with a file.
struct AlarmWavKind {
    std::string why;      // empty when the file can be looped; otherwise why not
    bool decode = false;  // true when it must be turned into 16-bit PCM first
};

// Looks at the header of `path` (nothing is decoded).
AlarmWavKind examineAlarmWav(const std::string& path);

// Writes every frame of the WAV `from` to `to` as 16-bit PCM, same rate and channels
// (samples beyond full scale are clipped). Empty on success, otherwise why not.
std::string decodeToPcm16(const std::string& from, const std::string& to);

}  // namespace ravelin
