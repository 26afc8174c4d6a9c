#include "core/whole_number.h"

#include <limits>

#include "core/error.h"

namespace orvane {

std::optional<std::int32_t> ParseWholeNumber(std::string_view text, NumberSyntax syntax) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (syntax == NumberSyntax::DecimalOrDollarHex && i < text.size() && text[i] == '$') {
        ++i;
        if (i == text.size() || text.size() - i > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (; i < text.size(); ++i) {
            const char ch = text[i];
            int digit;
            if (ch >= '0' && ch <= '9') digit = ch - '0';
            else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
            else return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        if (negative) value = 0u - value;
        return static_cast<std::int32_t>(value);
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + (ch - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t ParseWholeNumberOrThrow(const std::string& text) {
    if (auto v = ParseWholeNumber(text)) return *v;
    throw Error(FormatMessage1("'%s' n'est pas une valeur entière correcte", text));
}

}  // namespace orvane
