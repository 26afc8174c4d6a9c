#include "win32/registry_store.h"

#include <vector>

#include "core/error.h"
#include "win32/strings.h"

namespace win {

namespace {

constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

RegKey CreateKey(HKEY parent, const wchar_t* path) {
    RegKey key;
    if (!parent) return key;
    if (::RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

void WriteStringValue(HKEY key, const std::wstring& name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    if (!key || ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 bytes) != ERROR_SUCCESS)
        throw orvane::Error(orvane::FormatMessage1("Echec à la définition des données pour '%s'", Narrow(name)));
}

void WriteRunEntry(const std::wstring& name, const std::wstring& command) {
    RegKey version = CreateKey(HKEY_CURRENT_USER, kCurrentVersion);
    RegKey run = CreateKey(version.get(), L"Run");
    WriteStringValue(run.get(), name, command);
}

void RemoveRunEntry(const std::wstring& name) {
    RegKey run = CreateKey(HKEY_CURRENT_USER, kRunKey);
    if (!run) return;
    // Collect first: deleting while enumerating shifts the indexes.
    std::vector<std::wstring> matches;
    for (DWORD i = 0;; ++i) {
        wchar_t buf[16384];
        DWORD len = 16384;
        const LSTATUS st = ::RegEnumValueW(run.get(), i, buf, &len, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS) break;
        if (st != ERROR_SUCCESS) continue;
        if (std::wstring(buf, len) == name) matches.emplace_back(buf, len);
    }
    for (const auto& m : matches) ::RegDeleteValueW(run.get(), m.c_str());
}

}  // namespace win
