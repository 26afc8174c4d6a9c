#pragma once
// Turns Win32 failure codes into the utility's errors (number and the
// system's own description, in the user's language).
#include <windows.h>

#include <exception>
#include <string>

#include "core/mendrel/mendrel_rules.h"

namespace mendrel {

// The system's text for a Win32 error code, without its trailing line end.
std::string SystemErrorText(DWORD code);

// A MendrelError for `code`; a missing file or key becomes RegistryKeyMissing
// when `missingKey` is set, so start-up can tell it from other failures.
[[noreturn]] void ThrowWin32(DWORD code, bool missingKey = false);

// The text of the message box that ends the program, for any exception.
std::wstring ErrorBoxText(const std::exception& e);

}  // namespace mendrel
