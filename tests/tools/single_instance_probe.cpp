// Stand-in for a startup program that runs only once: at its start it takes
// a named mutex derived from its own full path and, when a copy of the same
// file still holds it, quits at once with exit code 3. Otherwise it stays
// (doing nothing) until it is terminated, or for at most one minute.
//
//   single_instance_probe.exe        (copied under any name; no arguments)
//
// The mutex is freed only when the system has torn the holding process down,
// so a copy started right after TerminateProcess may still find it.
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return 2;
        if (n < path.size()) break;
        path.resize(path.size() * 2);
    }
    // Object names take no backslash outside their namespace prefix.
    std::wstring name = L"OrvaneTests.SingleInstance.";
    for (const wchar_t* p = path.data(); *p; ++p) name += *p == L'\\' ? L'/' : static_cast<wchar_t>(::towlower(*p));
    if (name.size() > MAX_PATH) name.resize(MAX_PATH);
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
    if (!mutex) return 2;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return 3;
    ::Sleep(60000);
    ::CloseHandle(mutex);
    return 0;
}
