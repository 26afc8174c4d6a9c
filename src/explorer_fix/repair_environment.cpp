#include "explorer_fix/repair_environment.h"

#include <vector>

#include "explorer_fix/process_routines.h"
#include "explorer_fix/system_error.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace mendrel {

namespace {

bool IsDots(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

void FillList(HWND list, const std::vector<std::wstring>& items) {
    if (!list) return;
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const auto& item : items) ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

}  // namespace

std::vector<std::string> WindowsRepairEnvironment::ListFiles(const std::string& folder) {
    std::wstring dir = win::Widen(folder);
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    const DWORD attributes =
        dir.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(win::ExtendedLengthPath(dir).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = dir.empty() ? ERROR_PATH_NOT_FOUND : ::GetLastError();
        ThrowWin32(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) ThrowWin32(ERROR_DIRECTORY);
    FillList(dirList_, {dir});

    std::wstring pattern = dir;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    const win::FindHandle find(::FindFirstFileW(win::ExtendedLengthPath(pattern).c_str(), &data));
    std::vector<std::wstring> names;
    if (!find) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) ThrowWin32(error);
    } else {
        do {
            // A file list shows ordinary, read-only and archive files only.
            if (data.dwFileAttributes &
                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
                continue;
            names.emplace_back(data.cFileName);
        } while (::FindNextFileW(find.get(), &data));
    }
    FillList(fileList_, names);
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const auto& n : names) out.push_back(win::Narrow(n));
    return out;
}

std::string WindowsRepairEnvironment::ReadFileText(const std::string& path) {
    const win::FileBytes read = win::ReadFileBytes(win::Widen(path), kMaxFileBytes);
    if (read.tooLarge)
        throw orvane::MendrelError(7, "Mémoire insuffisante : le fichier « " + path + " » est trop grand");
    if (read.error) ThrowWin32(read.error);
    // One character per byte in the ANSI code page; NUL bytes stay NULs.
    return win::Narrow(win::FromAnsi(read.bytes));
}

std::string WindowsRepairEnvironment::LogicalDriveStrings() {
    wchar_t buffer[255] = {};
    const DWORD n = ::GetLogicalDriveStringsW(255, buffer);
    // A longer list than the buffer yields its needed size and no text.
    if (n == 0 || n > 255) return {};
    return win::Narrow(std::wstring_view(buffer, n));
}

bool WindowsRepairEnvironment::IsFixedDrive(const std::string& root) {
    return ::GetDriveTypeW(win::Widen(root).c_str()) == DRIVE_FIXED;
}

std::optional<std::string> WindowsRepairEnvironment::SearchTree(const std::string& root, const std::string& fileName) {
    // Depth first, each folder's own files before its subfolders, folders in
    // the order the file system lists them. No folder that is a reparse point
    // is entered: junctions and symbolic links may lead back up the tree and
    // the walk would never end, and their tag cannot sort them out, since
    // Wine reports its Unix symbolic links as reparse points without one.
    const std::wstring wanted = win::Widen(fileName);
    if (root.empty() || wanted.empty()) return std::nullopt;
    std::vector<std::wstring> pending{win::Widen(root)};
    while (!pending.empty()) {
        std::wstring dir = std::move(pending.back());
        pending.pop_back();
        if (dir.back() != L'\\') dir += L'\\';
        WIN32_FIND_DATAW data{};
        const win::FindHandle find(::FindFirstFileExW(win::ExtendedLengthPath(dir + L"*").c_str(), FindExInfoBasic,
                                                      &data, FindExSearchNameMatch, nullptr,
                                                      FIND_FIRST_EX_LARGE_FETCH));
        if (!find) continue;  // unreadable folders are passed over
        std::vector<std::wstring> subfolders;
        do {
            if (IsDots(data.cFileName)) continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(dir + data.cFileName);
            } else if (::CompareStringOrdinal(data.cFileName, -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL) {
                return win::Narrow(dir + data.cFileName);
            }
        } while (::FindNextFileW(find.get(), &data));
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
    return std::nullopt;
}

void WindowsRepairEnvironment::StartMinimized(const std::string& commandLine) { mendrel::StartMinimized(commandLine); }

void WindowsRepairEnvironment::AnnounceTaskbarCreated() {
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (!taskbarCreated) ThrowWin32(::GetLastError());
    // Posted, never sent: a hung window must not hold the repair up. The
    // broadcast reaches hidden top-level windows too, which is where tray
    // programs keep theirs. Its result is not examined: a window that refuses
    // the message (one of a higher integrity level) is skipped, and the others
    // still get theirs.
    ::PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);
}

}  // namespace mendrel
