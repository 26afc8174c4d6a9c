#include "core/error.h"

namespace orvane {

std::string FormatMessage1(std::string_view pattern, std::string_view argument) {
    std::string out(pattern);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '%' && (out[i + 1] == 's' || out[i + 1] == 'd')) {
            out.replace(i, 2, argument);
            break;
        }
    }
    return out;
}

std::string FormatMessage1(std::string_view pattern, long long argument) {
    return FormatMessage1(pattern, std::to_string(argument));
}

}  // namespace orvane
