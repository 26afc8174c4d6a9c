#include "wallpaper/registry_settings_store.h"

#include <vector>

#include "core/error.h"
#include "win32/strings.h"

namespace orvane {

namespace {
constexpr wchar_t kConfig[] = L"Config";
}

RegistrySettingsStore::RegistrySettingsStore(std::wstring key, HKEY root) : base_(win::CreateKey(root, key.c_str())) {}

std::optional<std::string> RegistrySettingsStore::Read(const std::string& name) {
    if (!base_) return std::nullopt;
    win::RegKey config;
    if (::RegOpenKeyExW(base_.get(), kConfig, 0, KEY_READ, config.put()) != ERROR_SUCCESS) return std::nullopt;
    const std::wstring wname = win::Widen(name);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(config.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw Error(FormatMessage1("Type de données incorrect pour '%s'", name));
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
        throw Error(FormatMessage1("Type de données incorrect pour '%s'", name));
    // Stored strings need not be NUL-terminated: take the byte count, stop at a NUL.
    std::wstring value(buf.data(), size / sizeof(wchar_t));
    if (const auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    return win::Narrow(value);
}

void RegistrySettingsStore::Write(const std::string& name, const std::string& value) {
    win::RegKey config = win::CreateKey(base_.get(), kConfig);
    win::WriteStringValue(config.get(), win::Widen(name), win::Widen(value));
}

}  // namespace orvane
