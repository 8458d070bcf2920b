#include "engine/tubes.h"

namespace ravelin {

namespace {
constexpr const char* kNoSource = "no datasheet or published calibration found; measure the tube or give --sensitivity";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

const std::vector<TubePreset>& tubePresets() {
    // 1 mR/h is 1000 µR per 3600 s, so k pulses per µR are k / 3.6 cps per mR/h.
    static const std::vector<TubePreset> table = {
        {"SBM-20", "18.06",
         "SBM-20 (СБМ-20) maker's datasheet: 60-70 pulses per µR, Cs-137 (65 / 3.6), as tabulated in "
         "'Technical note: How to calculate the conversion factor for Geiger tube SBM20', IoT-devices LLC"},
        {"SBM-19", "", kNoSource},
        {"SI-22G", "", kNoSource},
        {"STS-5", "", kNoSource},
        {"SBT-11", "", kNoSource},
        {"J305", "", kNoSource},
        {"M4011", "", kNoSource},
        {"LND 712", "18",
         "LND 712 maker's datasheet, LND Inc., n.d.: gamma sensitivity Co-60 18 cps/mR/hr, as quoted from the "
         "maker's product page in GeigerLog's Gamma-Scout notes and in the particle_weather README"},
        {"LND 7317", "58",
         "LND 7317 maker's datasheet, LND Inc., n.d.: gamma sensitivity Co-60 58 cps/mR/hr, as reproduced on a "
         "reseller's product page (kithub.cc) and quoted in GeigerLog's GMC-600+ notes"},
        {"SI-29BG", "", kNoSource},
    };
    return table;
}

std::optional<TubePreset> findTube(std::string_view name) {
    for (const auto& t : tubePresets()) {
        const std::string_view n = t.name;
        if (n.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < n.size() && same; ++i) same = lower(n[i]) == lower(name[i]);
        if (same) return t;
    }
    return std::nullopt;
}

std::string tubeNames() {
    std::string out;
    for (const auto& t : tubePresets()) out += (out.empty() ? "" : ", ") + std::string(t.name);
    return out;
}

std::string tubeListText() {
    std::string out;
    for (const auto& t : tubePresets())
        out += std::string(t.name) + "\t" + (*t.cpsPerMrh ? t.cpsPerMrh : "-") + "\t" + t.source + "\n";
    return out;
}

}  // namespace ravelin
