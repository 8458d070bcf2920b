// Calendar dates and times as whole minutes since 1970-01-01 00:00 (proleptic Gregorian,
// no time zone), for the log's records and the readings shared from them.
#pragma once

#include <cstdint>

namespace ravelin {

std::int32_t minuteOf(int year, int month, int day, int hour, int minute);
struct CivilMinute {
    int year, month, day, hour, minute;
};
CivilMinute civilOf(std::int32_t minute);

}  // namespace ravelin
