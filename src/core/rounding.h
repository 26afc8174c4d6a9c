#pragma once
// Conversions between window, screen and picture coordinates round to the
// nearest integer with halves going to the even neighbour (banker's rounding).
#include <cmath>
#include <cstdint>

namespace orvane {

inline std::int32_t RoundHalfEven(double v) {
    const double r = std::nearbyint(v);  // default FE_TONEAREST: ties to even
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(r);
}

}  // namespace orvane
