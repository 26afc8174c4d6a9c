#include "core/wallpaper/local_midnight.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

constexpr std::int64_t kHour = 3600 * 1000;

// A zone of fixed rules: `standard` hours from UTC, one hour more between
// the two changes (UTC instants). For a skipped local time ToUtc answers as
// the summer offset would, which lands before the change, as a careless
// conversion may.
class RuleZone : public TimeZone {
public:
    RuleZone(int standard, std::int64_t summerStartUtc, std::int64_t summerEndUtc)
        : standard_(standard * kHour), start_(summerStartUtc), end_(summerEndUtc) {}
    LocalTime ToLocal(std::int64_t utc) const override { return Split(utc + OffsetAt(utc)); }
    std::int64_t ToUtc(const LocalTime& local) const override {
        const std::int64_t civil = CivilMilliseconds(local);
        const std::int64_t asStandard = civil - standard_;
        if (OffsetAt(asStandard) == standard_) return asStandard;
        return civil - standard_ - kHour;
    }

private:
    std::int64_t OffsetAt(std::int64_t utc) const { return standard_ + (utc >= start_ && utc < end_ ? kHour : 0); }
    static LocalTime Split(std::int64_t civil) {
        std::int64_t days = civil / (24 * kHour), rest = civil % (24 * kHour);
        if (rest < 0) rest += 24 * kHour, --days;
        int month = 12;  // the tests stay within 2026
        while (DaysFromCivil(2026, month, 1) > days) --month;
        return {2026, month, static_cast<int>(days - DaysFromCivil(2026, month, 1)) + 1,
                static_cast<int>(rest / kHour), static_cast<int>(rest / 60000 % 60)};
    }
    std::int64_t standard_, start_, end_;
};

std::int64_t Utc(int month, int day, int hour) { return CivilMilliseconds({2026, month, day, hour}); }

TEST(LocalMidnight, CountsRealTimeAcrossDaylightSavingDays) {
    // Central Europe: summer from 29 March 01:00 UTC to 25 October 01:00 UTC.
    const RuleZone paris(1, Utc(3, 29, 1), Utc(10, 25, 1));
    // 29 March, local 00:30: the day has 23 hours, midnight is 22.5 real hours away.
    EXPECT_EQ(MillisecondsToNextLocalMidnight(Utc(3, 28, 23) + kHour / 2, paris), 22 * kHour + kHour / 2);
    // 25 October, local 00:30 (summer time): 24.5 real hours to midnight.
    EXPECT_EQ(MillisecondsToNextLocalMidnight(Utc(10, 24, 22) + kHour / 2, paris), 24 * kHour + kHour / 2);
    // An ordinary day, local 18:00.
    EXPECT_EQ(MillisecondsToNextLocalMidnight(Utc(6, 10, 16), paris), 6 * kHour);
}

TEST(LocalMidnight, ClocksThatSkipMidnightStartTheDayAtOne) {
    // Standard UTC-3; at local 00:00 on 1 November the clocks go to 01:00.
    const RuleZone zone(-3, Utc(11, 1, 3), Utc(12, 31, 2));
    // 31 October, local 22:00: the next day starts 2 real hours later, at its 01:00.
    EXPECT_EQ(MillisecondsToNextLocalMidnight(Utc(11, 1, 1), zone), 2 * kHour);
    // Summer ends at local midnight too (back to 23:00): from 30 December,
    // local 22:00, the 31st begins three real hours later.
    EXPECT_EQ(MillisecondsToNextLocalMidnight(Utc(12, 31, 0), zone), 3 * kHour);
}

}  // namespace
}  // namespace orvane
