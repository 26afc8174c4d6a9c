#pragma once
// The settings store in the registry: values under <key>\Config of
// HKEY_CURRENT_USER, every one a REG_SZ. <key> is opened with full access and
// created when missing, on reading as on writing; Config is created only by a
// write.
#include <windows.h>

#include <string>

#include "core/wallpaper/settings.h"
#include "win32/handles.h"
#include "win32/registry_store.h"

namespace orvane {

class RegistrySettingsStore : public SettingsStore {
public:
    explicit RegistrySettingsStore(std::wstring key = L"Software\\Orvane", HKEY root = HKEY_CURRENT_USER);

    std::optional<std::string> Read(const std::string& name) override;
    void Write(const std::string& name, const std::string& value) override;

private:
    win::RegKey base_;
};

}  // namespace orvane
