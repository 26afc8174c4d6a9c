#pragma once
// The local date and the times the wallpaper model schedules by.
#include "core/wallpaper/wallpaper_services.h"

namespace orvane {

class SystemClock : public Clock {
public:
    Date Today() override;
    std::uint32_t MillisecondsSinceUtcMidnight() override;
    std::uint32_t MillisecondsToNextLocalMidnight() override;
};

}  // namespace orvane
