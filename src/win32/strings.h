#pragma once
// UTF-8 (the core's strings) <-> UTF-16 (every W API) conversions.
#include <string>
#include <string_view>

namespace win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's ANSI code page, without loss: nothing when a character
// cannot be represented.
bool ToAnsi(std::wstring_view utf16, std::string& out);
std::wstring FromAnsi(std::string_view ansi);

}  // namespace win
