#pragma once
// Whole-file reads, atomic replacement and the places the programs may
// write to, with UTF-16 paths.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win {

// The form of `path` the file functions accept at any length: paths from
// MAX_PATH on get the "\\?\" prefix ("\\?\UNC\" for network paths), which
// in turn wants a full path without "." or "..". Shorter paths stay as they are.
std::wstring ExtendedLengthPath(const std::wstring& path);

// A whole-file read that says why it failed: `error` is the system's error
// code (0 on success), `tooLarge` a file beyond the limit the caller gave.
struct FileBytes {
    std::string bytes;
    DWORD error = 0;
    bool tooLarge = false;
    bool ok() const { return error == 0 && !tooLarge; }
};
// Reads through ExtendedLengthPath, sharing the file with writers and
// deleters; a file that shrinks meanwhile gives what was there.
FileBytes ReadFileBytes(const std::wstring& path, std::uint64_t maxBytes);

bool FileExists(const std::wstring& path);  // an existing file, not a folder

// The file's bytes (ReadFileBytes); nothing when it cannot be opened or read. Files larger
// than `maxBytes` are refused (nothing) rather than read.
std::optional<std::string> ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes = 1ull << 31);

// Writes `bytes` to a temporary file beside `path`, flushes it, then moves it
// over `path` in one step, so readers never see a half-written file and a
// failure leaves the previous file intact. False on any failure (the
// temporary file is removed).
bool ReplaceFileAtomically(const std::wstring& path, std::string_view bytes);

// Folder part of a path, with its trailing backslash.
std::wstring FolderOf(const std::wstring& path);

// True when a file named `path` could be created now (a probe file beside
// it is created and deleted at once). A standard user cannot write into
// Program Files or the Windows folder, and the programs' asInvoker manifest
// turns off the virtualisation that used to hide it.
bool CanCreateFileAt(const std::wstring& path);

// `<known folder>\<subfolder>\<name>`, the subfolder created when missing;
// nothing when the system does not know the folder.
std::optional<std::wstring> PathInKnownFolder(REFKNOWNFOLDERID folder, const wchar_t* subfolder,
                                              const wchar_t* name);

// The running program's full path (any length).
std::wstring ModulePath();

}  // namespace win
