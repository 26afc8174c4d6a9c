#include "wallpaper/locale_names.h"

#include <windows.h>

#include "win32/strings.h"

namespace orvane {

namespace {

// Used only when the system cannot format a date at all: the program speaks
// French, so its calendar does too.
const char* const kFrenchMonths[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                     "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
const char* const kFrenchDays[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};

// The date formatted with a picture of the user's locale ("MMMM", "ddd").
std::string FormatDate(int year, int month, int day, const wchar_t* picture) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    wchar_t buf[128];
    const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, picture, buf, 128, nullptr);
    if (n <= 1) return {};
    return win::Narrow(std::wstring_view(buf, static_cast<std::size_t>(n - 1)));
}

std::string LocaleInfo(LCTYPE type) {
    wchar_t buf[128];
    const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, 128);
    if (n <= 1) return {};
    return win::Narrow(std::wstring_view(buf, static_cast<std::size_t>(n - 1)));
}

}  // namespace

std::string UserLocaleNames::MonthName(int month) const {
    if (month < 1 || month > 12) month = 1;
    // "MMMM" alone gives the nominative form in the locales that have a
    // genitive one for dates with a day.
    std::string name = FormatDate(2001, month, 1, L"MMMM");
    if (name.empty()) name = LocaleInfo(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(month - 1));
    return name.empty() ? kFrenchMonths[month - 1] : name;
}

std::string UserLocaleNames::ShortDayName(int weekday) const {
    if (weekday < 0 || weekday > 6) weekday = 0;
    // 1 January 2006 was a Sunday.
    std::string name = FormatDate(2006, 1, 1 + weekday, L"ddd");
    // The locale's list starts on Monday.
    if (name.empty()) name = LocaleInfo(LOCALE_SABBREVDAYNAME1 + static_cast<LCTYPE>((weekday + 6) % 7));
    return name.empty() ? kFrenchDays[weekday] : name;
}

std::string UserLocaleNames::UpperFirstLetter(const std::string& text) const {
    std::wstring wide = win::Widen(text);
    if (wide.empty()) return text;
    // The first character may be a surrogate pair.
    const int units = IS_HIGH_SURROGATE(wide[0]) && wide.size() > 1 ? 2 : 1;
    wchar_t upper[8];
    const int n = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, wide.c_str(),
                                  units, upper, 8, nullptr, nullptr, 0);
    if (n <= 0) return LocaleNames::UpperFirstLetter(text);
    wide.replace(0, static_cast<std::size_t>(units), upper, static_cast<std::size_t>(n));
    return win::Narrow(wide);
}

Date LocalToday() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return Date{st.wYear, st.wMonth, st.wDay};
}

}  // namespace orvane
