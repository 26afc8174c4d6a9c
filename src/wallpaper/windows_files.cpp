#include "wallpaper/windows_files.h"

#include <windows.h>
#include <shlobj.h>

#include "core/picture/resample.h"
#include "wallpaper/picture_file.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace orvane {

namespace {

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(win::ExtendedLengthPath(win::Widen(path)).c_str());
}

}  // namespace

bool WindowsAnsiCodec::Encode(std::string_view utf8, std::string& ansi) const {
    return win::ToAnsi(win::Widen(utf8), ansi);
}

std::string WindowsAnsiCodec::Decode(std::string_view ansi) const { return win::Narrow(win::FromAnsi(ansi)); }

bool WindowsPictureFiles::IsFile(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WindowsPictureFiles::NothingAt(const std::string& path) { return NothingAtPath(win::Widen(path)); }

bool WindowsPictureFiles::VolumeAvailable(const std::string& root) {
    // The root of a drive that is not there (or not mounted, or a share that
    // does not answer) has no attributes; with SEM_FAILCRITICALERRORS an empty
    // removable drive says so too instead of asking the user for a disk.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD a = ::GetFileAttributesW(win::Widen(root).c_str());
    ::SetErrorMode(previous);
    return a != INVALID_FILE_ATTRIBUTES;
}

void WindowsPictureFiles::RemoveFile(const std::string& path) {
    ::DeleteFileW(win::ExtendedLengthPath(win::Widen(path)).c_str());
}

bool WindowsPictureFiles::IsFolder(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> WindowsPictureFiles::FindMatching(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> found;
    const std::wstring base = win::Widen(folder) + L"\\";
    WIN32_FIND_DATAW fd;
    win::FindHandle find(::FindFirstFileW(win::ExtendedLengthPath(base + win::Widen(pattern)).c_str(), &fd));
    if (!find) return found;
    do {
        found.push_back(win::Narrow(base + fd.cFileName));
    } while (::FindNextFileW(find.get(), &fd));
    return found;
}

Image32 WindowsPictureFiles::Decode(const std::string& path) { return DecodePictureFile(win::Widen(path)); }

Image32 WindowsPictureFiles::DecodeWithin(const std::string& path, int maxWidth, int maxHeight,
                                          PictureHeader& header) {
    return DecodePictureFileWithin(win::Widen(path), maxWidth, maxHeight, header.width, header.height,
                                   header.topLeft);
}

Image32 WindowsPictureFiles::DecodeWithinRoom(const std::string& path, int maxWidth, int maxHeight,
                                              PictureHeader& header, std::size_t spareWords) {
    return DecodePictureFileWithin(win::Widen(path), maxWidth, maxHeight, header.width, header.height,
                                   header.topLeft, spareWords);
}

std::optional<std::string> WindowsPictureFiles::ReadWholeFile(const std::string& path) {
    return win::ReadWholeFile(win::Widen(path));
}

bool WindowsPictureFiles::WriteWholeFile(const std::string& path, std::string_view bytes) {
    return win::ReplaceFileAtomically(win::Widen(path), bytes);
}

std::string WindowsPictureFiles::DefaultListFileName() {
    const std::wstring beside = win::FolderOf(win::ModulePath()) + L"piclist.cfg";
    if (win::FileExists(beside) || win::CanCreateFileAt(beside)) return win::Narrow(beside);
    if (auto roaming = win::PathInKnownFolder(FOLDERID_RoamingAppData, L"Orvane", L"piclist.cfg"))
        return win::Narrow(*roaming);
    return win::Narrow(beside);
}

}  // namespace orvane
