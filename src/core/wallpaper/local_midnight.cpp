#include "core/wallpaper/local_midnight.h"

#include <algorithm>

namespace orvane {

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t CivilMilliseconds(const LocalTime& t) {
    return ((DaysFromCivil(t.year, t.month, t.day) * 24 + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL +
           t.millisecond;
}

namespace {

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

LocalTime MidnightOfDay(std::int64_t days) {
    // Back from days to a civil date, through the inverse of DaysFromCivil.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    LocalTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    return t;
}

}  // namespace

std::uint32_t MillisecondsToNextLocalMidnight(std::int64_t nowUtcMs, const TimeZone& zone) {
    const LocalTime now = zone.ToLocal(nowUtcMs);
    const std::int64_t tomorrowMs = (DaysFromCivil(now.year, now.month, now.day) + 1) * kDayMs;
    std::int64_t at = zone.ToUtc(MidnightOfDay(tomorrowMs / kDayMs));
    // A conversion of a skipped or repeated local time may land on either
    // side of the change: move by the local clock's distance to midnight
    // until the instant is tomorrow's first (a few steps at most).
    for (int step = 0; step < 4; ++step) {
        const std::int64_t local = CivilMilliseconds(zone.ToLocal(at));
        if (local < tomorrowMs) {
            at += tomorrowMs - local;
        } else if (local > tomorrowMs) {
            const std::int64_t earlier = at - (local - tomorrowMs);
            if (earlier >= at || CivilMilliseconds(zone.ToLocal(earlier)) < tomorrowMs) break;
            at = earlier;
        } else {
            break;
        }
    }
    const std::int64_t left = at - nowUtcMs;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(left, 1, 0xFFFFFFFFLL));
}

}  // namespace orvane
