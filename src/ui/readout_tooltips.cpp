#include "ui/readout_tooltips.h"

#include <QWidget>

namespace ravelin {

std::string intervalTooltip(const std::string& low, const std::string& high) {
    return "95%信頼区間: " + low + " \u2013 " + high;
}

void ReadoutTooltips::secondDone(const SecondReport& r) {
    // A second without a dose step (no sensitivity yet) has no interval to show.
    if (!r.interval) return;
    const ReadingIntervalTexts t = intervalTexts(*r.interval);
    cpm_->setToolTip(QString::fromStdString(intervalTooltip(t.cpmLow, t.cpmHigh)));
    dose_->setToolTip(QString::fromStdString(intervalTooltip(t.doseLow, t.doseHigh)));
}

}  // namespace ravelin
