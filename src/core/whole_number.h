#pragma once
// The one parser of whole numbers written as text: the registry's stored
// values and the numbers typed into the settings dialog.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

enum class NumberSyntax {
    Decimal,           // optional sign, decimal digits
    DecimalOrDollarHex // the same, or "$" and up to 8 hexadecimal digits (wrapping to 32 bits)
};

// A whole number with nothing before or after it (spaces included); decimal
// values must fit 32 bits. Nothing when the text is not one.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text,
                                             NumberSyntax syntax = NumberSyntax::DecimalOrDollarHex);

// The same, throwing Error("'<text>' n'est pas une valeur entière correcte").
std::int32_t ParseWholeNumberOrThrow(const std::string& text);

}  // namespace orvane
