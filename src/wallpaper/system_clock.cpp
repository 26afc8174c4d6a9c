#include "wallpaper/system_clock.h"

#include <windows.h>

#include "core/wallpaper/local_midnight.h"
#include "wallpaper/locale_names.h"

namespace orvane {

namespace {

std::uint32_t MillisecondsOfDay(const SYSTEMTIME& t) {
    return ((static_cast<std::uint32_t>(t.wHour) * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

// FILETIME counts 100 ns from 1601; the core counts milliseconds from 1970.
constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;

std::int64_t UtcMsOf(const SYSTEMTIME& utc) {
    FILETIME ft{};
    if (!::SystemTimeToFileTime(&utc, &ft)) return 0;
    const std::int64_t ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) / 10000;
}

SYSTEMTIME SystemTimeOfUtcMs(std::int64_t ms) {
    const std::int64_t ticks = ms * 10000 + kUnixEpochIn100ns;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME st{};
    ::FileTimeToSystemTime(&ft, &st);
    return st;
}

// The user's current time zone, with its daylight-saving rules for the year
// asked about (nullptr: the zone in force).
class UserTimeZone : public TimeZone {
public:
    LocalTime ToLocal(std::int64_t utcMs) const override {
        const SYSTEMTIME utc = SystemTimeOfUtcMs(utcMs);
        SYSTEMTIME local = utc;
        if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
        return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
    }
    std::int64_t ToUtc(const LocalTime& t) const override {
        SYSTEMTIME local{static_cast<WORD>(t.year), static_cast<WORD>(t.month), 0, static_cast<WORD>(t.day),
                         static_cast<WORD>(t.hour), static_cast<WORD>(t.minute), static_cast<WORD>(t.second),
                         static_cast<WORD>(t.millisecond)};
        SYSTEMTIME utc = local;
        if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) utc = local;
        return UtcMsOf(utc);
    }
};

}  // namespace

Date SystemClock::Today() { return LocalToday(); }

std::uint32_t SystemClock::MillisecondsSinceUtcMidnight() {
    SYSTEMTIME t;
    ::GetSystemTime(&t);
    return MillisecondsOfDay(t);
}

std::uint32_t SystemClock::MillisecondsToNextLocalMidnight() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return orvane::MillisecondsToNextLocalMidnight(UtcMsOf(now), UserTimeZone());
}

}  // namespace orvane
