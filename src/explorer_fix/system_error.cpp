#include "explorer_fix/system_error.h"

#include <new>

#include "win32/strings.h"

namespace mendrel {

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n && buffer) text.assign(buffer, n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "Erreur système " + std::to_string(code);
    return win::Narrow(text);
}

void ThrowWin32(DWORD code, bool missingKey) {
    if (missingKey && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND))
        throw orvane::RegistryKeyMissing(static_cast<long>(code), SystemErrorText(code));
    throw orvane::MendrelError(static_cast<long>(code), SystemErrorText(code));
}

std::wstring ErrorBoxText(const std::exception& e) {
    if (dynamic_cast<const orvane::MendrelError*>(&e)) return win::Widen(e.what());
    if (dynamic_cast<const std::bad_alloc*>(&e)) return win::Widen(orvane::MendrelErrorText(7, "Mémoire insuffisante"));
    return win::Widen(orvane::MendrelErrorText(51, std::string("Erreur interne : ") + e.what()));
}

}  // namespace mendrel
