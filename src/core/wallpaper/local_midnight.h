#pragma once
// When the next local day begins, for the timer that turns the calendar's
// page at midnight. A window timer counts real time, and a day with a
// daylight-saving change lasts 23 or 25 hours of it: the interval is found
// through the time zone, from now to the first instant whose local date is
// tomorrow's.
#include <cstdint>

namespace orvane {

struct LocalTime {
    int year = 2000, month = 1, day = 1;  // month 1..12
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The user's time zone. Times in UTC are milliseconds since 1970-01-01.
class TimeZone {
public:
    virtual ~TimeZone() = default;
    virtual LocalTime ToLocal(std::int64_t utcMs) const = 0;
    // For a local time the clocks skip, any nearby instant will do; for one
    // they pass twice, either.
    virtual std::int64_t ToUtc(const LocalTime& local) const = 0;
};

// Milliseconds from `nowUtcMs` to the next local midnight (or to the first
// instant of tomorrow when the clocks skip midnight itself); at least 1.
std::uint32_t MillisecondsToNextLocalMidnight(std::int64_t nowUtcMs, const TimeZone& zone);

// Civil date arithmetic in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day);
// Milliseconds since 1970 of a local time read as if it were UTC.
std::int64_t CivilMilliseconds(const LocalTime& t);

}  // namespace orvane
