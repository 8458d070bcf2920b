#include "engine/civil_time.h"

namespace ravelin {
namespace {

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

}  // namespace

std::int32_t minuteOf(int year, int month, int day, int hour, int minute) {
    return static_cast<std::int32_t>(daysFromCivil(year, month, day) * 1440 + hour * 60 + minute);
}

CivilMinute civilOf(std::int32_t minute) {
    std::int64_t days = minute >= 0 ? minute / 1440 : (minute - 1439) / 1440;
    const int inDay = static_cast<int>(minute - days * 1440);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int doe = static_cast<int>(days - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    const int y = static_cast<int>(yoe + era * 400) + (m <= 2);
    return CivilMinute{y, m, d, inDay / 60, inDay % 60};
}

}  // namespace ravelin
