#pragma once
// Errors of the portable core. Messages are UTF-8 and are shown to the user
// as they are (French texts), so they are built with the user's words.
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Replaces the first "%s" or "%d" of a message pattern with the argument.
std::string FormatMessage1(std::string_view pattern, std::string_view argument);
std::string FormatMessage1(std::string_view pattern, long long argument);

}  // namespace orvane
