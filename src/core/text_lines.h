#pragma once
// Splitting the text of a line-oriented file into its lines, the one rule
// for every such file the programs read.
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The lines of `text`, without their line ends. A line ends at CR LF, at a
// lone LF or at a lone CR (files written by other editors and by hand mix
// them); LF CR is two ends, so it leaves an empty line between them. Nothing
// else ends a line: NUL, form feed and the Unicode separators stay in the
// line. A last line without an end counts; a line end at the very end of the
// text adds no empty line after it, so "" and "\r\n" give no line and one
// empty line. Bytes are not decoded: a caller that reads an ANSI file
// decodes each line itself.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace orvane
