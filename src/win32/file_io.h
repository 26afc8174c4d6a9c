#pragma once
// Whole-file reads and atomic replacement, with UTF-16 paths.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win {

bool FileExists(const std::wstring& path);  // an existing file, not a folder

// The file's bytes; nothing when it cannot be opened or read. Files larger
// than `maxBytes` are refused (nothing) rather than read.
std::optional<std::string> ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes = 1ull << 31);

// Writes `bytes` to a temporary file beside `path`, flushes it, then moves it
// over `path` in one step, so readers never see a half-written file and a
// failure leaves the previous file intact. False on any failure (the
// temporary file is removed).
bool ReplaceFileAtomically(const std::wstring& path, std::string_view bytes);

// Folder part of a path, with its trailing backslash.
std::wstring FolderOf(const std::wstring& path);

// The running program's full path (any length).
std::wstring ModulePath();

}  // namespace win
