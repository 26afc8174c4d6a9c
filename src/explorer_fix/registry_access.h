#pragma once
// The utility's one registry access object: keys addressed by full path
// ("\HKEY_LOCAL_MACHINE\Software\..."), subkeys and values in registry order,
// value data as text or 32-bit number. Every failure is a MendrelError with
// the Win32 code and the system's description.
#include <windows.h>

#include <string>
#include <vector>

#include "core/mendrel/mendrel_actions.h"
#include "win32/handles.h"

namespace mendrel {

class RegistryAccess : public orvane::RegistryAccessApi {
public:
    orvane::RegKeyRef OpenKey(const std::string& fullPath) override;
    std::vector<orvane::RegKeyRef> Subkeys(const orvane::RegKeyRef& key) override;
    std::vector<orvane::RegValueRef> Values(const orvane::RegKeyRef& key) override;
    void WriteData(const orvane::RegValueRef& value, const std::string& data) override;
    void AddSubkey(const orvane::RegKeyRef& parent, const std::string& name) override;
    void RemoveSubkey(const orvane::RegKeyRef& parent, const std::string& name) override;
    void AddValue(const orvane::RegKeyRef& key, const std::string& name, const std::string& data,
                  int typeCode) override;
    void RemoveValue(const orvane::RegKeyRef& key, const std::string& name) override;

    // Splits "\HKEY_CURRENT_USER\a\b" into the root and "a\b"; throws for an
    // unknown root.
    static HKEY ParseRoot(const std::string& fullPath, std::wstring& subPath);
    // Reads a value's data the way Values does (for a single value).
    static orvane::RegData DecodeData(DWORD type, const std::vector<BYTE>& bytes);
    // Decimal text to a 32-bit number as stored in a number value: optional
    // sign, digits, surrounding blanks; anything else is a type mismatch.
    static bool ParseNumber(const std::string& text, DWORD& number);

private:
    static win::RegKey Open(const std::string& fullPath, REGSAM access);
};

}  // namespace mendrel
