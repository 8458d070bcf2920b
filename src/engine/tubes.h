// The GM tubes Ravelin knows by name: each one's gamma sensitivity as the
// GM菅γ線感度 box takes it (cps per mR/h) and where that figure comes from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravelin {

struct TubePreset {
    const char* name;
    // A plain decimal number text, or empty when no datasheet or published calibration was found.
    const char* cpsPerMrh;
    // Title, maker and year of the figure's source, or why there is none.
    const char* source;
    // The isotope the figure is for, "not stated", or empty without a figure.
    const char* isotope;
    // "maker datasheet", "maker passport", "published measurement", "published simulation", or empty.
    const char* kind;
};

// Every tube, in the order --list-tubes prints them.
const std::vector<TubePreset>& tubePresets();

// The tube whose name matches, ASCII letters compared without case; nothing for an unknown name.
std::optional<TubePreset> findTube(std::string_view name);

// "SBM-20, SBM-19, ..." for messages.
std::string tubeNames();

// What --list-tubes prints: one NAME<TAB>cps per mR/h<TAB>source<TAB>isotope<TAB>kind line a
// tube, "-" for each of the factor, isotope and kind when there is no figure.
std::string tubeListText();

}  // namespace ravelin
