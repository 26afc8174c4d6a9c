#pragma once
// The picture list file: one full path per line, CR LF after every line.
// Files whose paths all fit the system's ANSI code page are written in it, as
// they always were; a list holding a path that the code page cannot represent
// is written as UTF-8 with a byte-order mark instead of being corrupted.
// Reading accepts both, and CR, LF and CR LF as line ends.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class AnsiCodec {
public:
    virtual ~AnsiCodec() = default;
    // False when some character has no exact ANSI form.
    virtual bool Encode(std::string_view utf8, std::string& ansi) const = 0;
    virtual std::string Decode(std::string_view ansi) const = 0;
};

std::vector<std::string> ParseListFile(std::string_view bytes, const AnsiCodec& codec);
std::string EncodeListFile(const std::vector<std::string>& paths, const AnsiCodec& codec);

// The file-name part shown in the list box: the text after the last "\" or ":".
std::string FileNamePart(std::string_view path);

// Index of the next picture: random from the time of day, or the next entry in
// list order (wrapping to 0). `count` > 0.
std::int32_t NextRandomIndex(std::uint32_t msSinceUtcMidnight, std::int32_t count);
std::int32_t NextSequentialIndex(std::int32_t number, std::int32_t count);

// Removes, in place, the entries for which `exists` is false (blank ones too).
template <typename Exists>
void RemoveMissing(std::vector<std::string>& list, Exists exists) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].empty() || !exists(list[i])) continue;
        if (out != i) list[out] = std::move(list[i]);  // a self-move would empty the string
        ++out;
    }
    list.resize(out);
}

}  // namespace orvane
