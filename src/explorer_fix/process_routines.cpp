#include "explorer_fix/process_routines.h"

#include <windows.h>
#include <tlhelp32.h>

#include "explorer_fix/system_error.h"
#include "win32/strings.h"

namespace mendrel {

std::uint32_t SystemProcessList::PlatformId() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExW(&info)) return 0;
    return info.dwPlatformId;
}

std::uint32_t SystemProcessList::CurrentProcessId() { return ::GetCurrentProcessId(); }

bool SystemProcessList::Snapshot(std::vector<orvane::ProcessEntry>& out) {
    out.clear();
    // The snapshot's invalid value is INVALID_HANDLE_VALUE, as for files.
    const win::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        std::wstring image = entry.szExeFile;
        // The NT family lists bare file names; the full path (what the 95/98
        // family lists) is asked of the process itself where it allows it.
        if (image.find(L'\\') == std::wstring::npos) {
            const win::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
            if (process) {
                wchar_t path[MAX_PATH * 4];
                DWORD size = MAX_PATH * 4;
                if (::QueryFullProcessImageNameW(process.get(), 0, path, &size)) image.assign(path, size);
            }
        }
        out.push_back({entry.th32ProcessID, win::Narrow(image)});
        entry.dwSize = sizeof entry;
    }
    return true;
}

bool SystemProcessList::Terminate(std::uint32_t id) {
    win::Handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    const bool waitable = static_cast<bool>(process);
    // A process may grant termination but not waiting; it is still ended,
    // only its exit cannot be awaited.
    if (!waitable) process.reset(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (!process || !::TerminateProcess(process.get(), 0)) return false;
    if (waitable) ended_.push_back(std::move(process));
    return true;
}

bool SystemProcessList::WaitForEnded(std::uint32_t timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool allExited = true;
    for (const auto& process : ended_) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        if (::WaitForSingleObject(process.get(), left) != WAIT_OBJECT_0) allExited = false;
    }
    ended_.clear();
    return allExited;
}

void StartMinimized(const std::string& commandLine) {
    // CreateProcessW may write into the command line: it needs its own copy.
    std::wstring cmd = win::Widen(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        ThrowWin32(::GetLastError());
    const win::Handle process(pi.hProcess), thread(pi.hThread);
}

}  // namespace mendrel
