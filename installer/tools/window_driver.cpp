// A small command-line driver of other programs' windows, for the shell
// scripts that test the installers and take the screenshots under Wine:
//
//   window_driver find  CLASS TITLE [MS]   visible top-level window: prints "hwnd left top right bottom clientwidth clientheight"
//   window_driver exists CLASS TITLE [MS]  same, hidden windows included
//   window_driver gone  CLASS TITLE [MS]   waits until no such window exists
//   window_driver click CLASS TITLE TEXT   BM_CLICK on the child whose text is TEXT
//   window_driver enter CLASS TITLE TEXT   the Enter key to the window that has a child TEXT, as typed
//                                          (a dialog then presses its default button)
//   window_driver select CLASS TITLE N     selects item N of the first list box, as a click would
//   window_driver post  CLASS TITLE MSG WPARAM LPARAM
//   window_driver move  CLASS TITLE X Y [W H]  moves (and sizes) the window
//   window_driver redraw CLASS TITLE       repaints the window and its children
//   window_driver cursor X Y               moves the mouse pointer (menus open where it is)
//   window_driver menu  [MS]               the open pop-up menu, printed as by find
//   window_driver close CLASS TITLE [MS]   WM_CLOSE, then waits for the owning process to end
//
// A first argument --desktop=NAME works on the windows of that desktop (as
// made by "explorer /desktop=NAME,WxH") instead of the caller's own.
// CLASS or TITLE "*" matches any. Exit status 0 on success, 1 when the
// window never appeared (or did not go), 2 on a usage error. Messages are
// posted, not sent: a click that opens a modal window must not block here.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "win32/handles.h"

namespace {

struct Query {
    const wchar_t* cls = nullptr;  // null: any
    const wchar_t* title = nullptr;
    bool visibleOnly = true;
    DWORD excludePid = 0;
    HWND found = nullptr;
};

std::wstring TextOf(HWND h) {
    wchar_t buf[512] = {};
    ::GetWindowTextW(h, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    ::GetClassNameW(h, buf, 256);
    return buf;
}

BOOL CALLBACK MatchTopLevel(HWND h, LPARAM lp) {
    auto& q = *reinterpret_cast<Query*>(lp);
    if (q.visibleOnly && !::IsWindowVisible(h)) return TRUE;
    if (q.cls && ClassOf(h) != q.cls) return TRUE;
    if (q.title && TextOf(h) != q.title) return TRUE;
    q.found = h;
    return FALSE;
}

HWND FindTopLevel(const wchar_t* cls, const wchar_t* title, bool visibleOnly) {
    Query q{cls, title, visibleOnly};
    ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND WaitFor(const wchar_t* cls, const wchar_t* title, bool visibleOnly, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        if (HWND h = FindTopLevel(cls, title, visibleOnly)) return h;
        if (::GetTickCount64() >= end) return nullptr;
        ::Sleep(100);
    }
}

struct ChildQuery;
HWND FindChild(HWND parent, const wchar_t* text, const wchar_t* cls);

// Several windows may match (dialogs are all "#32770"): the one that has
// the child wins.
struct WithChildQuery {
    const wchar_t* cls = nullptr;
    const wchar_t* title = nullptr;
    const wchar_t* child = nullptr;
    HWND top = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWithChild(HWND h, LPARAM lp) {
    auto& q = *reinterpret_cast<WithChildQuery*>(lp);
    if (!::IsWindowVisible(h)) return TRUE;
    if (q.cls && ClassOf(h) != q.cls) return TRUE;
    if (q.title && TextOf(h) != q.title) return TRUE;
    HWND c = FindChild(h, q.child, nullptr);
    if (!c) return TRUE;
    q.top = h;
    q.found = c;
    return FALSE;
}

// Waits for a visible top-level window with a child of that text; returns
// the child, and the window through *top.
HWND WaitForChild(const wchar_t* cls, const wchar_t* title, const wchar_t* child, HWND* top, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        WithChildQuery q{cls, title, child};
        ::EnumWindows(&MatchWithChild, reinterpret_cast<LPARAM>(&q));
        if (q.found) {
            *top = q.top;
            return q.found;
        }
        if (::GetTickCount64() >= end) return nullptr;
        ::Sleep(100);
    }
}

struct ChildQuery {
    const wchar_t* text = nullptr;
    const wchar_t* cls = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK MatchChild(HWND h, LPARAM lp) {
    auto& q = *reinterpret_cast<ChildQuery*>(lp);
    if (q.text && TextOf(h) != q.text) return TRUE;
    if (q.cls && _wcsicmp(ClassOf(h).c_str(), q.cls) != 0) return TRUE;
    q.found = h;
    return FALSE;
}

HWND FindChild(HWND parent, const wchar_t* text, const wchar_t* cls) {
    ChildQuery q{text, cls};
    ::EnumChildWindows(parent, &MatchChild, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

void PrintWindow(HWND h) {
    RECT r{}, client{};
    ::GetWindowRect(h, &r);
    ::GetClientRect(h, &client);
    std::printf("%llu %ld %ld %ld %ld %ld %ld\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)),
                r.left, r.top, r.right, r.bottom, client.right, client.bottom);
    std::fflush(stdout);
}

const wchar_t* AnyOr(const wchar_t* s) { return std::wcscmp(s, L"*") == 0 ? nullptr : s; }

DWORD Millis(int argc, wchar_t** argv, int index, DWORD fallback) {
    return argc > index ? static_cast<DWORD>(std::wcstoul(argv[index], nullptr, 10)) : fallback;
}

int Usage() {
    std::fputs("usage: window_driver [--desktop=NAME] find|exists|gone|click|enter|select|post|move|redraw|cursor|menu|close ...\n", stderr);
    return 2;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring cmd = argv[1];

    if (cmd == L"menu") {
        // Pop-up menus are top-level windows of the system class "#32768".
        HWND h = WaitFor(L"#32768", nullptr, true, Millis(argc, argv, 2, 5000));
        if (!h) return 1;
        PrintWindow(h);
        return 0;
    }
    if (cmd == L"cursor" && argc >= 4) {
        return ::SetCursorPos(std::wcstol(argv[2], nullptr, 10), std::wcstol(argv[3], nullptr, 10)) ? 0 : 1;
    }
    if (argc < 4) return Usage();
    const wchar_t* cls = AnyOr(argv[2]);
    const wchar_t* title = AnyOr(argv[3]);

    if (cmd == L"find" || cmd == L"exists") {
        HWND h = WaitFor(cls, title, cmd == L"find", Millis(argc, argv, 4, 10000));
        if (!h) return 1;
        PrintWindow(h);
        return 0;
    }
    if (cmd == L"gone") {
        const ULONGLONG end = ::GetTickCount64() + Millis(argc, argv, 4, 10000);
        while (FindTopLevel(cls, title, false)) {
            if (::GetTickCount64() >= end) return 1;
            ::Sleep(100);
        }
        return 0;
    }

    if ((cmd == L"click" || cmd == L"enter") && argc >= 5) {
        HWND top = nullptr;
        HWND child = WaitForChild(cls, title, argv[4], &top, 10000);
        if (!child) {
            std::fwprintf(stderr, L"window_driver: no control \"%ls\" in %ls / %ls\n", argv[4], argv[2], argv[3]);
            return 1;
        }
        if (cmd == L"click") return ::PostMessageW(child, BM_CLICK, 0, 0) ? 0 : 1;
        // To the control that has the focus in that window's thread, where a
        // real key press would go; the dialog's message loop does the rest.
        GUITHREADINFO info{sizeof info};
        HWND target = top;
        if (::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info) && info.hwndFocus)
            target = info.hwndFocus;
        ::PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC0000001);
        return 0;
    }

    // Posting and closing also reach hidden windows (the tray's, a main
    // window in the tray), but a visible match comes first.
    const bool hiddenToo = cmd == L"post" || cmd == L"close";
    HWND top = hiddenToo ? FindTopLevel(cls, title, true) : nullptr;
    if (!top) top = WaitFor(cls, title, !hiddenToo, 10000);
    if (!top) {
        std::fwprintf(stderr, L"window_driver: no window %ls / %ls\n", argv[2], argv[3]);
        return 1;
    }
    if (cmd == L"select" && argc >= 5) {
        HWND list = FindChild(top, nullptr, L"ListBox");
        if (!list) return 1;
        const int item = std::wcstol(argv[4], nullptr, 10);
        // Extended-selection lists take LB_SETSEL; single ones LB_SETCURSEL.
        if (::GetWindowLongW(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
            ::SendMessageW(list, LB_SETSEL, FALSE, -1);
            ::SendMessageW(list, LB_SETSEL, TRUE, item);
            ::SendMessageW(list, LB_SETCARETINDEX, item, FALSE);
        } else {
            ::SendMessageW(list, LB_SETCURSEL, item, 0);
        }
        const int id = ::GetDlgCtrlID(list);
        ::PostMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        return 0;
    }
    if (cmd == L"post" && argc >= 7) {
        const UINT msg = static_cast<UINT>(std::wcstoul(argv[4], nullptr, 0));
        const WPARAM wp = static_cast<WPARAM>(std::wcstoull(argv[5], nullptr, 0));
        const LPARAM lp = static_cast<LPARAM>(std::wcstoll(argv[6], nullptr, 0));
        return ::PostMessageW(top, msg, wp, lp) ? 0 : 1;
    }
    if (cmd == L"move" && argc >= 6) {
        const int x = std::wcstol(argv[4], nullptr, 10), y = std::wcstol(argv[5], nullptr, 10);
        const bool sized = argc >= 8;
        const int w = sized ? std::wcstol(argv[6], nullptr, 10) : 0, h = sized ? std::wcstol(argv[7], nullptr, 10) : 0;
        return ::SetWindowPos(top, nullptr, x, y, w, h, (sized ? 0 : SWP_NOSIZE) | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    if (cmd == L"redraw") {
        return ::RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN) ? 0 : 1;
    }
    if (cmd == L"close") {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(top, &pid);
        win::Handle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        ::PostMessageW(top, WM_CLOSE, 0, 0);
        const DWORD ms = Millis(argc, argv, 4, 10000);
        if (!process) return FindTopLevel(cls, title, false) ? 1 : 0;
        return ::WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0 ? 0 : 1;
    }
    return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Console output in UTF-8 for the calling script, whatever the code page.
    ::SetConsoleOutputCP(CP_UTF8);
    if (argc > 1 && std::wcsncmp(argv[1], L"--desktop=", 10) == 0) {
        // Window enumeration and FindWindow see only the thread's desktop.
        // The desktop may still be in the making when the script calls.
        HDESK desk = nullptr;
        for (int tries = 0; !desk && tries < 200; ++tries) {
            desk = ::OpenDesktopW(argv[1] + 10, 0, FALSE, GENERIC_ALL);
            if (!desk) ::Sleep(100);
        }
        if (!desk || !::SetThreadDesktop(desk)) {
            std::fwprintf(stderr, L"window_driver: no desktop %ls\n", argv[1] + 10);
            if (desk) ::CloseDesktop(desk);
            return 2;
        }
        // Kept open for the life of the process: the thread now runs on it.
        argv[1] = argv[0];
        return Run(argc - 1, argv + 1);
    }
    return Run(argc, argv);
}
