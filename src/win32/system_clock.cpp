#include "win32/system_clock.h"

#include <windows.h>

#include "win32/locale_names.h"

namespace win {

namespace {

std::uint32_t MillisecondsOfDay(const SYSTEMTIME& t) {
    return ((static_cast<std::uint32_t>(t.wHour) * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

constexpr std::uint32_t kDayMs = 24u * 3600u * 1000u;

}  // namespace

orvane::Date SystemClock::Today() { return win::Today(); }

std::uint32_t SystemClock::MillisecondsSinceUtcMidnight() {
    SYSTEMTIME t;
    ::GetSystemTime(&t);
    return MillisecondsOfDay(t);
}

std::uint32_t SystemClock::MillisecondsToNextLocalMidnight() {
    // A day with a daylight-saving change is an hour shorter or longer: the
    // timer then fires an hour early or late. The model reads the date when
    // it fires and arms it again from there, so the worst is one idle wake-up.
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    const std::uint32_t left = kDayMs - MillisecondsOfDay(t);
    return left == 0 ? 1 : left;
}

}  // namespace win
