#include "win32/file_io.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "win32/handles.h"

namespace win {

bool FileExists(const std::wstring& path) {
    const DWORD attr = ::GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD got = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

FileBytes ReadFileBytes(const std::wstring& path, std::uint64_t maxBytes) {
    FileBytes out;
    FileHandle file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        out.error = ::GetLastError();
        if (out.error == 0) out.error = ERROR_OPEN_FAILED;
        return out;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
        out.error = ::GetLastError() ? ::GetLastError() : ERROR_READ_FAULT;
        return out;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        out.tooLarge = true;
        return out;
    }
    out.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < out.bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.bytes.size() - done, 1u << 24));
        DWORD got = 0;
        if (!::ReadFile(file.get(), out.bytes.data() + done, chunk, &got, nullptr)) {
            out.error = ::GetLastError() ? ::GetLastError() : ERROR_READ_FAULT;
            out.bytes.clear();
            return out;
        }
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    out.bytes.resize(done);
    return out;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes) {
    FileBytes read = ReadFileBytes(path, maxBytes);
    if (!read.ok()) return std::nullopt;
    return std::move(read.bytes);
}

bool ReplaceFileAtomically(const std::wstring& path, std::string_view bytes) {
    const std::wstring temp = path + L".tmp" + std::to_wstring(::GetCurrentProcessId());
    {
        FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return false;
        std::size_t done = 0;
        bool ok = true;
        while (ok && done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            DWORD put = 0;
            ok = ::WriteFile(file.get(), bytes.data() + done, chunk, &put, nullptr) && put == chunk;
            done += put;
        }
        ok = ok && ::FlushFileBuffers(file.get());
        if (!ok) {
            file.reset();
            ::DeleteFileW(temp.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    const auto pos = path.find_last_of(L"\\/:");
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

bool CanCreateFileAt(const std::wstring& path) {
    const std::wstring probe = path + L".probe";
    FileHandle f(::CreateFileW(ExtendedLengthPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(f);
}

std::optional<std::wstring> PathInKnownFolder(REFKNOWNFOLDERID folder, const wchar_t* subfolder,
                                              const wchar_t* name) {
    PWSTR base = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(folder, KF_FLAG_CREATE, nullptr, &base);
    // The buffer is the caller's to free whatever the result.
    std::wstring root = SUCCEEDED(hr) && base ? std::wstring(base) : std::wstring();
    ::CoTaskMemFree(base);
    if (root.empty()) return std::nullopt;
    const std::wstring dir = root + L"\\" + subfolder;
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

std::wstring ModulePath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

}  // namespace win
