#include "core/wallpaper/picture_list.h"

#include "core/text_lines.h"

namespace orvane {

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
}

std::vector<std::string> ParseListFile(std::string_view bytes, const AnsiCodec& codec) {
    const bool utf8 = bytes.substr(0, 3) == kUtf8Bom;
    if (utf8) bytes.remove_prefix(3);
    std::vector<std::string> lines = SplitLines(bytes);
    if (!utf8)
        for (std::string& line : lines) line = codec.Decode(line);
    return lines;
}

std::string EncodeListFile(const std::vector<std::string>& paths, const AnsiCodec& codec) {
    std::string out;
    std::string ansi;
    bool allAnsi = true;
    for (const auto& p : paths) {
        if (!codec.Encode(p, ansi)) {
            allAnsi = false;
            break;
        }
        out += ansi;
        out += "\r\n";
    }
    if (allAnsi) return out;
    out.assign(kUtf8Bom);
    for (const auto& p : paths) {
        out += p;
        out += "\r\n";
    }
    return out;
}

std::string FileNamePart(std::string_view path) {
    const auto pos = path.find_last_of("\\:");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::int32_t NextRandomIndex(std::uint32_t msSinceUtcMidnight, std::int32_t count) {
    std::uint32_t seed = msSinceUtcMidnight;
    seed = seed * 134775813u + 1u;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(seed) * static_cast<std::uint32_t>(count)) >> 32);
}

std::int32_t NextSequentialIndex(std::int32_t number, std::int32_t count) {
    // Number + 1 computed wide: a hand-edited INT32_MAX must wrap to 0, not overflow.
    const std::int64_t next = static_cast<std::int64_t>(number) + 1;
    return (next >= count || next < 0) ? 0 : static_cast<std::int32_t>(next);
}

}  // namespace orvane
