// Until the real player exists: says once that there is no sound.
#include "platform/sound.h"

namespace ravelin {
namespace {
class SilentPlayer : public SoundPlayer {
public:
    explicit SilentPlayer(MonitorFace& face) { face.setProblem(Problem{ProblemKey::NoAudioOutput, {}, {}, {}}); }
    void playLoop(int, const std::string&) override {}
    void stop() override {}
};
}  // namespace

std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face) { return std::make_unique<SilentPlayer>(face); }

}  // namespace ravelin
