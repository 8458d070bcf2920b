// The Prometheus text exposition of the newest second.
#pragma once

#include <string>

#include "web/live_state.h"

namespace ravelin {

// Every metric with its HELP and TYPE; a gauge without a value yet (no dose) has no sample.
// The public maps' families come only when the second carries map statuses.
// `receiving`: a second arrived lately (the input is delivering buffers).
std::string metricsText(const LiveSecond* second, bool receiving, const std::string& version);

}  // namespace ravelin
