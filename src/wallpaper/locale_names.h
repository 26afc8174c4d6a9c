#pragma once
// Month and weekday names from the user's regional settings.
#include "core/wallpaper/calendar.h"

namespace orvane {

class UserLocaleNames : public LocaleNames {
public:
    std::string MonthName(int month) const override;
    std::string ShortDayName(int weekday) const override;
    std::string UpperFirstLetter(const std::string& text) const override;
};

// Today's date in local time.
Date LocalToday();

}  // namespace orvane
