// Writes the program's own alarm sounds: stage 1 a steady beep, stage 2 a
// faster two-tone warble, so the two stages are told apart by ear.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// A tone of `seconds` with 5 ms ramps, so the loop joins without clicks.
void tone(std::vector<short>& out, double hz, double seconds, double amplitude) {
    const int n = static_cast<int>(seconds * kRate);
    const int ramp = kRate / 200;
    for (int i = 0; i < n; ++i) {
        double gain = amplitude;
        if (i < ramp) gain *= static_cast<double>(i) / ramp;
        if (n - i < ramp) gain *= static_cast<double>(n - i) / ramp;
        out.push_back(static_cast<short>(gain * 32767.0 * std::sin(2.0 * kPi * hz * i / kRate)));
    }
}

void silence(std::vector<short>& out, double seconds) { out.insert(out.end(), static_cast<int>(seconds * kRate), 0); }

bool write(const std::string& path, const std::vector<short>& samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const sf_count_t n = sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return n == static_cast<sf_count_t>(samples.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];

    // Stage 1: 880 Hz, a quarter second on and off.
    std::vector<short> first;
    tone(first, 880.0, 0.25, 0.6);
    silence(first, 0.25);

    // Stage 2: 1320 Hz and 660 Hz alternating every eighth of a second, no pause.
    std::vector<short> second;
    for (int i = 0; i < 4; ++i) {
        tone(second, 1320.0, 0.125, 0.7);
        tone(second, 660.0, 0.125, 0.7);
    }

    return write(folder + "/alarm1.wav", first) && write(folder + "/alarm2.wav", second) ? 0 : 1;
}
