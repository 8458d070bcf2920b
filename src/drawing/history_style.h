// The history plot's colours and legend texts, one set for every painter of it.
#pragma once

#include "drawing/trend_plot.h"

namespace ravelin {

inline constexpr Rgb kHistoryDoseColour{0, 90, 200};
inline constexpr Rgb kHistoryAverageColour{230, 120, 0};
inline constexpr Rgb kHistoryAlarm1Colour{128, 128, 0};  // the trend graph's stage-1 colour
inline constexpr Rgb kHistoryAlarm2Colour{255, 0, 0};
inline constexpr Rgb kHistoryGridColour{225, 225, 225};

inline constexpr const char* kHistoryDoseLegend = "線量率";
inline constexpr const char* kHistoryAlarm1Legend = "第一段警報上限値";
inline constexpr const char* kHistoryAlarm2Legend = "第二段警報上限値";
inline constexpr const char* kHistoryUnit = "µSv/h";
inline constexpr const char* kHistoryTitle = "線量率の履歴";

}  // namespace ravelin
