// The tooltips of the CPM and dose readouts: the 95 % interval of each second's reading.
#pragma once

#include <string>

#include "engine/pipeline.h"

class QWidget;

namespace ravelin {

// "95%信頼区間: a – b"
std::string intervalTooltip(const std::string& low, const std::string& high);

class ReadoutTooltips : public PipelineObserver {
public:
    ReadoutTooltips(QWidget* cpm, QWidget* dose) : cpm_(cpm), dose_(dose) {}
    void secondDone(const SecondReport& report) override;

private:
    QWidget* cpm_;
    QWidget* dose_;
};

}  // namespace ravelin
