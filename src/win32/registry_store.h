#pragma once
// String values in the registry: keys created on demand, REG_SZ writes that
// say which value failed, and the current user's Run entries.
#include <windows.h>

#include <string>

#include "win32/handles.h"

namespace win {

// Opens `path` under `parent` with full access, creating it when missing; an
// empty key when that fails (or `parent` is empty).
RegKey CreateKey(HKEY parent, const wchar_t* path);

// Writes a REG_SZ value; throws Error("Echec à la définition des données
// pour '<name>'") when the key is missing or the write fails.
void WriteStringValue(HKEY key, const std::wstring& name, const std::wstring& value);

// The start-with-Windows entry under HKCU\...\CurrentVersion\Run.
void WriteRunEntry(const std::wstring& name, const std::wstring& command);
// Removes every value whose name equals `name` exactly (case-sensitive);
// other values stay.
void RemoveRunEntry(const std::wstring& name);

}  // namespace win
