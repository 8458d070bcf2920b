#include "app/reading_options.h"

#include "engine/convert.h"
#include "engine/tubes.h"

namespace ravelin {

std::string resolveReadingOptions(Options& o) {
    if (o.stats && !o.headless) return "--stats works only with --headless";
    if (o.tube) {
        if (settingOption(o, Setting::Sensitivity)) return "--tube and --sensitivity cannot be given together";
        const auto tube = findTube(*o.tube);
        if (!tube) return "--tube: unknown tube \"" + *o.tube + "\"; the known tubes are " + tubeNames();
        if (!*tube->cpsPerMrh)
            return std::string("--tube: no datasheet or published sensitivity is known for ") + tube->name +
                   "; give --sensitivity instead";
        settingOption(o, Setting::Sensitivity) = tube->cpsPerMrh;
    }
    if (o.deadTimeUs) {
        const auto us = toDouble(*o.deadTimeUs);
        if (!us || *us < 0.0 || *us > 10000.0)
            return "--dead-time-us: \"" + *o.deadTimeUs + "\" is not a number from 0 to 10000";
        o.deadTimeSeconds = *us / 1e6;
    }
    return {};
}

}  // namespace ravelin
