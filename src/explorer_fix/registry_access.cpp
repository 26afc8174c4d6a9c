#include "explorer_fix/registry_access.h"

#include <cstring>
#include <limits>

#include "explorer_fix/system_error.h"
#include "win32/strings.h"

namespace mendrel {

using orvane::MendrelError;
using orvane::RegData;
using orvane::RegKeyRef;
using orvane::RegValueRef;

namespace {

// Registry names are at most 255 characters, values' names 16383.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;

[[noreturn]] void TypeMismatch() { throw MendrelError(13, "Type incompatible"); }

void Check(LSTATUS status, bool missingKey = false) {
    if (status != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(status), missingKey);
}

std::vector<BYTE> TextBytes(const std::string& text) {
    const std::wstring wide = win::Widen(text);
    const auto* p = reinterpret_cast<const BYTE*>(wide.c_str());
    return std::vector<BYTE>(p, p + (wide.size() + 1) * sizeof(wchar_t));
}

void SetValue(HKEY key, const std::string& name, DWORD type, const std::vector<BYTE>& bytes) {
    Check(::RegSetValueExW(key, win::Widen(name).c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())));
}

std::vector<BYTE> NumberBytes(const std::string& text) {
    DWORD number = 0;
    if (!RegistryAccess::ParseNumber(text, number)) TypeMismatch();
    std::vector<BYTE> bytes(sizeof number);
    std::memcpy(bytes.data(), &number, sizeof number);
    return bytes;
}

}  // namespace

HKEY RegistryAccess::ParseRoot(const std::string& fullPath, std::wstring& subPath) {
    std::string path = fullPath;
    if (!path.empty() && path.front() == '\\') path.erase(0, 1);
    const std::size_t slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    subPath = slash == std::string::npos ? std::wstring() : win::Widen(path.substr(slash + 1));
    while (!subPath.empty() && subPath.back() == L'\\') subPath.pop_back();
    const std::string upper = orvane::UpperCase(root);
    if (upper == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (upper == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (upper == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (upper == "HKEY_USERS") return HKEY_USERS;
    throw MendrelError(5, "Argument ou appel de procédure incorrect : clé « " + fullPath + " »");
}

win::RegKey RegistryAccess::Open(const std::string& fullPath, REGSAM access) {
    std::wstring sub;
    const HKEY root = ParseRoot(fullPath, sub);
    win::RegKey key;
    Check(::RegOpenKeyExW(root, sub.c_str(), 0, access, key.put()), true);
    return key;
}

RegData RegistryAccess::DecodeData(DWORD type, const std::vector<BYTE>& bytes) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        // Hand-edited values may lack the closing NUL or carry several.
        const std::size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        return win::Narrow(text);
    }
    if (type == REG_DWORD && bytes.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, bytes.data(), sizeof number);
        return static_cast<std::uint32_t>(number);
    }
    return std::monostate{};
}

bool RegistryAccess::ParseNumber(const std::string& text, DWORD& number) {
    std::size_t i = 0, end = text.size();
    while (i < end && text[i] == ' ') ++i;
    while (end > i && text[end - 1] == ' ') --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == end) return false;
    unsigned long long value = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return false;
    }
    // A negative number is stored in two's complement, as a signed 32-bit
    // write would; below the signed range it does not fit.
    if (negative) {
        if (value > 0x80000000ull) return false;
        number = static_cast<DWORD>(0x100000000ull - value);
        return true;
    }
    number = static_cast<DWORD>(value);
    return true;
}

RegKeyRef RegistryAccess::OpenKey(const std::string& fullPath) {
    Open(fullPath, KEY_READ);
    std::string path = fullPath;
    while (path.size() > 1 && path.back() == '\\') path.pop_back();
    return {path, path.substr(path.rfind('\\') + 1)};
}

std::vector<RegKeyRef> RegistryAccess::Subkeys(const RegKeyRef& key) {
    const win::RegKey k = Open(key.path, KEY_READ);
    std::vector<RegKeyRef> out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[kMaxKeyName];
        DWORD len = kMaxKeyName;
        const LSTATUS st = ::RegEnumKeyExW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS) break;
        Check(st);
        const std::string n = win::Narrow(std::wstring_view(name, len));
        out.push_back({key.path + "\\" + n, n});
    }
    return out;
}

std::vector<RegValueRef> RegistryAccess::Values(const RegKeyRef& key) {
    const win::RegKey k = Open(key.path, KEY_READ);
    std::vector<RegValueRef> out;
    std::vector<wchar_t> name(kMaxValueName);
    for (DWORD i = 0;; ++i) {
        DWORD len = kMaxValueName, type = 0, size = 0;
        LSTATUS st = ::RegEnumValueW(k.get(), i, name.data(), &len, nullptr, &type, nullptr, &size);
        if (st == ERROR_NO_MORE_ITEMS) break;
        Check(st);
        std::vector<BYTE> bytes(size);
        len = kMaxValueName;
        st = ::RegEnumValueW(k.get(), i, name.data(), &len, nullptr, &type, bytes.data(), &size);
        if (st == ERROR_MORE_DATA) {  // grew between the two calls: read it again
            --i;
            continue;
        }
        Check(st);
        bytes.resize(size);
        out.push_back({key.path, win::Narrow(std::wstring_view(name.data(), len)), DecodeData(type, bytes)});
    }
    return out;
}

void RegistryAccess::WriteData(const RegValueRef& value, const std::string& data) {
    const win::RegKey k = Open(value.keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE);
    const std::wstring name = win::Widen(value.name);
    DWORD type = 0;
    Check(::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, nullptr));
    if (type == REG_DWORD)
        SetValue(k.get(), value.name, REG_DWORD, NumberBytes(data));
    else
        SetValue(k.get(), value.name, type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ, TextBytes(data));
}

void RegistryAccess::AddSubkey(const RegKeyRef& parent, const std::string& name) {
    const win::RegKey k = Open(parent.path, KEY_CREATE_SUB_KEY);
    win::RegKey created;
    Check(::RegCreateKeyExW(k.get(), win::Widen(name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ,
                            nullptr, created.put(), nullptr));
}

void RegistryAccess::RemoveSubkey(const RegKeyRef& parent, const std::string& name) {
    const win::RegKey k = Open(parent.path, KEY_READ | KEY_WRITE | DELETE);
    const std::wstring wname = win::Widen(name);
    Check(::RegDeleteTreeW(k.get(), wname.c_str()));
    // The tree call may leave the emptied key itself behind.
    const LSTATUS st = ::RegDeleteKeyW(k.get(), wname.c_str());
    if (st != ERROR_FILE_NOT_FOUND) Check(st);
}

void RegistryAccess::AddValue(const RegKeyRef& key, const std::string& name, const std::string& data, int typeCode) {
    const win::RegKey k = Open(key.path, KEY_SET_VALUE);
    switch (typeCode) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            SetValue(k.get(), name, static_cast<DWORD>(typeCode), TextBytes(data));
            return;
        case REG_DWORD:
            SetValue(k.get(), name, REG_DWORD, NumberBytes(data));
            return;
        default:
            throw MendrelError(5, "Argument ou appel de procédure incorrect : type " + std::to_string(typeCode));
    }
}

void RegistryAccess::RemoveValue(const RegKeyRef& key, const std::string& name) {
    const win::RegKey k = Open(key.path, KEY_SET_VALUE);
    Check(::RegDeleteValueW(k.get(), win::Widen(name).c_str()));
}

}  // namespace mendrel
