#include "engine/tubes.h"

namespace ravelin {

namespace {
constexpr const char* kNoSource = "no datasheet or published calibration found; measure the tube or give --sensitivity";
constexpr const char* kNotStated = "not stated";
constexpr const char* kMakerDatasheet = "maker datasheet";
constexpr const char* kMakerPassport = "maker passport";
constexpr const char* kPublishedMeasurement = "published measurement";
constexpr const char* kPublishedSimulation = "published simulation";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

const std::vector<TubePreset>& tubePresets() {
    // 1 mR/h is 1000 µR per 3600 s, so k pulses per µR are k / 3.6 cps per mR/h.
    static const std::vector<TubePreset> table = {
        {"SBM-20", "18.06",
         "SBM-20 (СБМ-20) maker's datasheet: 60-70 pulses per µR, Cs-137 (65 / 3.6), as tabulated in "
         "'Technical note: How to calculate the conversion factor for Geiger tube SBM20', IoT-devices LLC",
         "Cs-137", kMakerDatasheet},
        // The passport's 1 µR/s is 3.6 mR/h: S pulses/s at P µR/s are S / (3.6 P) cps per mR/h.
        {"SBM-19", "122",
         "SBM-19/20/21 (СБМ19, СБМ20, СБМ21) maker's passport to ОТО.339.027 ТУ: 420-460 pulses/s at 1.0 µR/s "
         "(mid 440 / 3.6), scan in the Rad Lab repository (Gissio/radlab, simulations/sbm20/specs)",
         kNotStated, kMakerPassport},
        {"SBM-21", "2.92",
         "SBM-19/20/21 (СБМ19, СБМ20, СБМ21) maker's passport to ОТО.339.027 ТУ: 400-440 pulses/s at 40 µR/s "
         "(mid 420 / 144), scan in the Rad Lab repository (Gissio/radlab, simulations/sbm20/specs)",
         kNotStated, kMakerPassport},
        {"SI-3BG", "0.235",
         "SI-3BG (СИ3БГ) maker's passport and label to ОДО.339.387 ТУ: 188 / 235 / 282 pulses/s per R/h "
         "(min / nominal / max), scans in the Rad Lab repository (Gissio/radlab, simulations/si3bg/specs)",
         kNotStated, kMakerPassport},
        // 44205 counts while the reference station measured 1 µSv: 12.2792 cps per µSv/h.
        {"SI-22G", "122.8",
         "SI-22G (СИ-22Г) measured by J. Böhringer beside a BfS ambient dose-rate station (Sindelfingen) at "
         "natural background: 44205 counts per µSv, MultiGeiger (ecocurious2/MultiGeiger, tube.cpp, 2019)",
         "natural background", kPublishedMeasurement},
        {"STS-5", "", kNoSource, "", ""},
        {"SBT-11", "", kNoSource, "", ""},
        // The seller's table (44 and 40, Co-60) names no maker and reads about twice these: the
        // lower figure reads the higher dose.
        {"J305", "22.5",
         "J305 Monte-Carlo simulation (Geant4), Cs-137: 135.2 CPM per µSv/h (/ 6), Rad Lab (Gissio/radlab) as "
         "shipped in Rad Pro 3.1; a seller's table naming no maker gives 44 for Co-60",
         "Cs-137", kPublishedSimulation},
        {"M4011", "18.06",
         "M4011 Monte-Carlo simulation (Geant4), Cs-137: 108.345 CPM per µSv/h (/ 6), Rad Lab (Gissio/radlab) as "
         "shipped in Rad Pro 3.1; a seller's table naming no maker gives 40 for Co-60",
         "Cs-137", kPublishedSimulation},
        {"LND 712", "18",
         "LND 712 maker's datasheet, LND Inc., n.d.: gamma sensitivity Co-60 18 cps/mR/hr, as quoted from the "
         "maker's product page in GeigerLog's Gamma-Scout notes and in the particle_weather README",
         "Co-60", kMakerDatasheet},
        {"LND 7317", "58",
         "LND 7317 maker's datasheet, LND Inc., n.d.: gamma sensitivity Co-60 58 cps/mR/hr, as reproduced on a "
         "reseller's product page (kithub.cc) and quoted in GeigerLog's GMC-600+ notes",
         "Co-60", kMakerDatasheet},
        {"HH614", "10",
         "HH614 maker's catalogue sheet, Nanjing Hean Sensor Co. (核安传感器), 2022: γ sensitivity (Co-60) "
         "10 cps/mR/hr, scan in the Rad Lab repository (Gissio/radlab, simulations/hh614/specs)",
         "Co-60", kMakerDatasheet},
        {"SI-29BG", "", kNoSource, "", ""},
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
    const auto orDash = [](const char* text) { return std::string(*text ? text : "-"); };
    for (const auto& t : tubePresets())
        out += std::string(t.name) + "\t" + orDash(t.cpsPerMrh) + "\t" + t.source + "\t" + orDash(t.isotope) + "\t" +
               orDash(t.kind) + "\n";
    return out;
}

}  // namespace ravelin
