// Entry of the Windows-side tests: COM and common controls as the programs
// have them, and the error box replaced by a recorder.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "win32/strings.h"
#include "win32/window.h"
#include "win32/test_support.h"

namespace testing_support {

std::vector<std::wstring>& ReportedErrors() {
    static std::vector<std::wstring> errors;
    return errors;
}

win::UiContext& TestUi() {
    static win::UiContext ui(L"Orvane Wallpaper Changer", [](win::UiContext&, HWND, const std::exception& e) {
        ReportedErrors().push_back(win::Widen(e.what()));
    });
    return ui;
}

void PumpMessages(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (static_cast<LONG>(::GetTickCount() - end) < 0);
}

std::wstring MakeTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1]{};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void StoreSetting(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

std::wstring StoredSetting(const wchar_t* name) {
    wchar_t buf[1024]{};
    DWORD size = sizeof(buf);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config", name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

namespace {
std::function<void()>& PendingAction() {
    static std::function<void()> f;
    return f;
}
}  // namespace

void RunSoon(std::function<void()> f, unsigned delayMs) {
    PendingAction() = std::move(f);
    ::SetTimer(nullptr, 0, delayMs, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto action = std::move(PendingAction());
        PendingAction() = nullptr;
        if (action) action();
    });
}

bool TakeQuit() {
    MSG msg;
    bool quit = false;
    const DWORD end = ::GetTickCount() + 500;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                quit = true;
            else
                ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (!quit && static_cast<LONG>(::GetTickCount() - end) < 0);
    return quit;
}

}  // namespace testing_support

int main(int argc, char** argv) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    ::CoUninitialize();
    return rc;
}
