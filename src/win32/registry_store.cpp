#include "win32/registry_store.h"

#include <vector>

#include "core/error.h"
#include "win32/strings.h"

namespace win {

namespace {

constexpr wchar_t kConfig[] = L"Config";
constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

RegKey CreateKey(HKEY parent, const wchar_t* path) {
    RegKey key;
    if (!parent) return key;
    if (::RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

}  // namespace

void WriteStringValue(HKEY key, const std::wstring& name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    if (!key || ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 bytes) != ERROR_SUCCESS)
        throw orvane::Error(orvane::FormatMessage1("Echec à la définition des données pour '%s'", Narrow(name)));
}

RegistrySettingsStore::RegistrySettingsStore(std::wstring key, HKEY root) : base_(CreateKey(root, key.c_str())) {}

std::optional<std::string> RegistrySettingsStore::Read(const std::string& name) {
    if (!base_) return std::nullopt;
    RegKey config;
    if (::RegOpenKeyExW(base_.get(), kConfig, 0, KEY_READ, config.put()) != ERROR_SUCCESS) return std::nullopt;
    const std::wstring wname = Widen(name);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(config.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw orvane::Error(orvane::FormatMessage1("Type de données incorrect pour '%s'", name));
    // The value may change between the two calls; retry with the new size.
    std::vector<wchar_t> buf;
    LSTATUS st;
    do {
        buf.assign(size / sizeof(wchar_t) + 2, L'\0');
        DWORD bytes = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
        st = ::RegQueryValueExW(config.get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                &bytes);
        size = bytes;
    } while (st == ERROR_MORE_DATA);
    if (st != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw orvane::Error(orvane::FormatMessage1("Type de données incorrect pour '%s'", name));
    // Stored strings need not be NUL-terminated: take the byte count, stop at a NUL.
    std::wstring value(buf.data(), size / sizeof(wchar_t));
    if (const auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    return Narrow(value);
}

void RegistrySettingsStore::Write(const std::string& name, const std::string& value) {
    RegKey config = CreateKey(base_.get(), kConfig);
    WriteStringValue(config.get(), Widen(name), Widen(value));
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
