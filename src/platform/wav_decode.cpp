#include "platform/wav_decode.h"

#include <sndfile.h>

#include <cmath>
#include <memory>
#include <vector>

namespace ravelin {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

// Integer PCM under the plain WAV header: what the sound effect plays itself.
bool playsAsIs(int format) {
    const int sub = format & SF_FORMAT_SUBMASK;
    return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
           (sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32);
}

short toPcm16(double v) {
    // Read normalised, so a 16-bit source comes back exactly.
    const double scaled = std::nearbyint(v * 32768.0);
    return static_cast<short>(scaled > 32767.0 ? 32767.0 : scaled < -32768.0 ? -32768.0 : scaled);
}

}  // namespace

AlarmWavKind examineAlarmWav(const std::string& path) {
    SF_INFO info{};
    const Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) return {sf_strerror(nullptr)};
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) return {"not a WAV file"};
    if (info.frames <= 0) return {"no samples"};
    return {{}, !playsAsIs(info.format)};
}

std::string decodeToPcm16(const std::string& from, const std::string& to) {
    SF_INFO in{};
    const Sndfile source(sf_open(from.c_str(), SFM_READ, &in));
    if (!source) return sf_strerror(nullptr);
    SF_INFO out{};
    out.samplerate = in.samplerate;
    out.channels = in.channels;
    out.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const Sndfile target(sf_open(to.c_str(), SFM_WRITE, &out));
    if (!target) return sf_strerror(nullptr);

    constexpr sf_count_t kFrames = 4096;
    std::vector<double> block(static_cast<std::size_t>(kFrames * in.channels));
    std::vector<short> pcm(block.size());
    sf_count_t written = 0;
    for (;;) {
        const sf_count_t got = sf_readf_double(source.get(), block.data(), kFrames);
        if (got <= 0) break;
        const auto samples = static_cast<std::size_t>(got * in.channels);
        for (std::size_t i = 0; i < samples; ++i) pcm[i] = toPcm16(block[i]);
        if (sf_writef_short(target.get(), pcm.data(), got) != got) return sf_strerror(target.get());
        written += got;
    }
    if (sf_error(source.get()) != SF_ERR_NO_ERROR) return sf_strerror(source.get());
    if (written == 0) return "no samples";
    return {};
}

}  // namespace ravelin
