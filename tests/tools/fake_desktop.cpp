// Stand-in for the shell's desktop list view, for the tests of the desktop
// label options (this Wine has no desktop list view of its own).
//
//   fake_desktop.exe <log file> [bk=<hex>] [count=<n>] [delay=<ms>] [title=<text>]
//                    [exstyle=<hex>] [folderview] [workerw] [hidden]
//
// Creates a hidden top-level "Progman" window titled "Program Manager" (or
// <text>), its child "SHELLDLL_DefView" and the grandchild "SysListView32",
// both without a title, as older Windows does. Today's shell:
//   folderview  the list view is titled "FolderView";
//   workerw     "SHELLDLL_DefView" sits in a top-level "WorkerW" window, with
//               an empty "WorkerW" before it in the window order and
//               "Progman" left without a view;
//   hidden      the list view is not visible (desktop icons turned off);
//   exstyle     the list view's extended style to begin with.
// The list view answers like the real one (label background and text
// colours, item count, extended style set under a mask or read) and appends
// one line per message to the log: "<name> <wParam hex> <lParam hex>", for
// WM_STYLECHANGED the old and new styles instead of the record's address.
// `delay` makes it sleep that long in every list-view message (a busy shell).
// It ends on WM_CLOSE to the "Progman" window, or after two minutes.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
DWORD g_bk = 0x00FFFFFF;
DWORD g_text = 0;
DWORD g_count = 3;
DWORD g_exStyle = 0;
DWORD g_delay = 0;

void Log(const char* name, WPARAM wp, LPARAM lp) {
    char line[128];
    const int n = std::snprintf(line, sizeof(line), "%s %llx %llx\r\n", name, static_cast<unsigned long long>(wp),
                                static_cast<unsigned long long>(static_cast<DWORD>(lp)));
    DWORD put = 0;
    ::WriteFile(g_log, line, static_cast<DWORD>(n), &put, nullptr);
}

constexpr UINT kSetTextBk = 0x1026, kSetText = 0x1024, kGetTextBk = 0x1025, kGetCount = 0x1004, kRedraw = 0x1015,
               kSetExStyle = 0x1036, kGetExStyle = 0x1037;

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto busy = [] {
        if (g_delay) ::Sleep(g_delay);
    };
    switch (msg) {
        case kSetTextBk: busy(); Log("LVM_SETTEXTBKCOLOR", wp, lp); g_bk = static_cast<DWORD>(lp); return TRUE;
        case kSetText: busy(); Log("LVM_SETTEXTCOLOR", wp, lp); g_text = static_cast<DWORD>(lp); return TRUE;
        case kGetTextBk: busy(); Log("LVM_GETTEXTBKCOLOR", wp, lp); return static_cast<LRESULT>(g_bk);
        case kGetCount: busy(); Log("LVM_GETITEMCOUNT", wp, lp); return static_cast<LRESULT>(g_count);
        case kRedraw: busy(); Log("LVM_REDRAWITEMS", wp, lp); return TRUE;
        case kSetExStyle: {
            busy();
            Log("LVM_SETEXTENDEDLISTVIEWSTYLE", wp, lp);
            const DWORD old = g_exStyle;
            const DWORD mask = wp ? static_cast<DWORD>(wp) : 0xFFFFFFFFu;
            g_exStyle = (g_exStyle & ~mask) | (static_cast<DWORD>(lp) & mask);
            return static_cast<LRESULT>(old);
        }
        case kGetExStyle: busy(); Log("LVM_GETEXTENDEDLISTVIEWSTYLE", wp, lp); return static_cast<LRESULT>(g_exStyle);
        case WM_STYLECHANGED:
            if (wp == static_cast<WPARAM>(GWL_STYLE) && lp) {
                const auto* s = reinterpret_cast<const STYLESTRUCT*>(lp);
                Log("WM_STYLECHANGED", s->styleOld, s->styleNew);
            }
            return 0;
        case WM_SHOWWINDOW: Log("WM_SHOWWINDOW", wp, lp); break;
        case WM_PAINT: {
            Log("WM_PAINT", 0, 0);
            PAINTSTRUCT ps;
            ::BeginPaint(hwnd, &ps);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_TIMER) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Register(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&wc);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    std::wstring title = L"Program Manager";
    bool folderView = false, inWorker = false, hidden = false;
    for (int i = 2; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.rfind(L"bk=", 0) == 0) g_bk = static_cast<DWORD>(std::wcstoul(a.c_str() + 3, nullptr, 16));
        else if (a.rfind(L"count=", 0) == 0) g_count = static_cast<DWORD>(std::wcstoul(a.c_str() + 6, nullptr, 10));
        else if (a.rfind(L"delay=", 0) == 0) g_delay = static_cast<DWORD>(std::wcstoul(a.c_str() + 6, nullptr, 10));
        else if (a.rfind(L"title=", 0) == 0) title = a.substr(6);
        else if (a.rfind(L"exstyle=", 0) == 0) g_exStyle = static_cast<DWORD>(std::wcstoul(a.c_str() + 8, nullptr, 16));
        else if (a == L"folderview") folderView = true;
        else if (a == L"workerw") inWorker = true;
        else if (a == L"hidden") hidden = true;
    }
    g_log = ::CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ::LocalFree(argv);
    if (g_log == INVALID_HANDLE_VALUE) return 3;

    Register(L"Progman", ProgmanProc);
    Register(L"SHELLDLL_DefView", ::DefWindowProcW);
    Register(L"SysListView32", ListViewProc);
    Register(L"WorkerW", ::DefWindowProcW);
    HWND progman = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Progman", title.c_str(), WS_POPUP, 0, 0, 64, 64, nullptr,
                                     nullptr, inst, nullptr);
    HWND viewParent = progman;
    if (inWorker) {
        viewParent = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"WorkerW", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                       inst, nullptr);
        // The one the wallpaper is drawn in, holding no view, comes first.
        HWND empty = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"WorkerW", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                       inst, nullptr);
        ::SetWindowPos(empty, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    HWND view = ::CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD | WS_VISIBLE, 0, 0, 64, 64, viewParent,
                                  nullptr, inst, nullptr);
    ::CreateWindowExW(0, L"SysListView32", folderView ? L"FolderView" : L"", WS_CHILD | (hidden ? 0 : WS_VISIBLE), 0,
                      0, 64, 64, view, nullptr, inst, nullptr);
    Log("READY", 0, 0);
    ::SetTimer(progman, 1, 120000, nullptr);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::CloseHandle(g_log);
    return 0;
}
