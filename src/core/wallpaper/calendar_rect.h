#pragma once
// The calendar's rectangle as the settings store it: screen pixels, edges
// (CalL, CalT, CalR, CalB), not position and size.
#include <cstdint>

namespace orvane {

struct CalendarRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const CalendarRect&, const CalendarRect&) = default;
};

}  // namespace orvane
