#pragma once
// The settings store in the registry: values under <key>\Config of
// HKEY_CURRENT_USER, every one a REG_SZ. <key> is opened with full access and
// created when missing, on reading as on writing; Config is created only by a
// write.
#include <windows.h>

#include <string>

#include "core/wallpaper/settings.h"
#include "win32/handles.h"

namespace win {

class RegistrySettingsStore : public orvane::SettingsStore {
public:
    explicit RegistrySettingsStore(std::wstring key = L"Software\\Orvane", HKEY root = HKEY_CURRENT_USER);

    std::optional<std::string> Read(const std::string& name) override;
    void Write(const std::string& name, const std::string& value) override;

private:
    RegKey base_;
};

// Writes a REG_SZ value; throws Error("Echec à la définition des données
// pour '<name>'") when the key is missing or the write fails.
void WriteStringValue(HKEY key, const std::wstring& name, const std::wstring& value);

// The start-with-Windows entry under HKCU\...\CurrentVersion\Run.
void WriteRunEntry(const std::wstring& name, const std::wstring& command);
// Removes every value whose name equals `name` exactly (case-sensitive);
// other values stay.
void RemoveRunEntry(const std::wstring& name);

}  // namespace win
