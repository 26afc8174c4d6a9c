#include "e2e/wallpaper_fixture.h"

#include <shellapi.h>

namespace e2e {

namespace {

void RemoveTree(const std::wstring& folder) {
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
}

}  // namespace

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(f);
    return ok && put == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string data;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) data.append(buf, got);
    ::CloseHandle(f);
    return data;
}

std::wstring ComposedWallpaperPath() {
    wchar_t dir[MAX_PATH + 1]{};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\OrvaneWallPaper.bmp";
}

std::optional<SIZE> BitmapSize(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return std::nullopt;
    BITMAPINFOHEADER ih;
    memcpy(&ih, bytes.data() + sizeof(BITMAPFILEHEADER), sizeof ih);
    return SIZE{ih.biWidth, ih.biHeight < 0 ? -ih.biHeight : ih.biHeight};
}

bool WriteSolidBmp(const std::wstring& path, int width, int height, DWORD rgb, DWORD topLeftRgb) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD pixelBytes = static_cast<DWORD>(stride) * height;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + pixelBytes;
    ih.biSize = sizeof(ih);
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    for (int row = height - 1; row >= 0; --row) {  // bottom-up: the last row first
        std::string line(static_cast<std::size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            const DWORD c = (row == 0 && x == 0 && topLeftRgb != 0xFFFFFFFF) ? topLeftRgb : rgb;
            line[x * 3 + 0] = static_cast<char>(c & 0xFF);
            line[x * 3 + 1] = static_cast<char>((c >> 8) & 0xFF);
            line[x * 3 + 2] = static_cast<char>((c >> 16) & 0xFF);
        }
        bytes += line;
    }
    return WriteBytes(path, bytes);
}

void WallpaperTest::SetUp() {
    wchar_t temp[MAX_PATH + 1]{};
    ::GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::wstring(temp) + L"orvane-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::wstring(info->name(), info->name() + strlen(info->name())) + L"\\";
    RemoveTree(folder_);
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    pictures_ = folder_ + L"images\\";
    ASSERT_TRUE(::CreateDirectoryW(pictures_.c_str(), nullptr));
    exe_ = folder_ + L"OrvaneWallPaper.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"OrvaneWallPaper.exe").c_str(), exe_.c_str(), FALSE))
        << "OrvaneWallPaper.exe not found in " << std::string(BinDir().begin(), BinDir().end());
    ASSERT_TRUE(DeleteKeyTree(Root::CurrentUser, kSettingsKey));
    ASSERT_TRUE(DeleteValue(Root::CurrentUser, kRunKey, kRunValue));
}

void WallpaperTest::WriteList(const std::vector<std::wstring>& pictures) {
    std::string content;
    for (const auto& path : pictures) {
        char ansi[1024]{};
        ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
        content += std::string(ansi) + "\r\n";
    }
    ASSERT_TRUE(WriteBytes(ListFile(), content));
}

void WallpaperTest::PlainSettings(const wchar_t* mode) {
    for (const auto& [name, value] : {std::pair{L"Random", L"0"}, std::pair{L"WallPaperMode", mode},
                                      std::pair{L"Calendar", L"0"}, std::pair{L"TransparentIcon", L"0"},
                                      std::pair{L"QuickIcon", L"0"}})
        ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, name, value));
}

void WallpaperTest::TearDown() {
    app_.Kill();
    RemoveTree(folder_);
    DeleteKeyTree(Root::CurrentUser, kSettingsKey);
    DeleteValue(Root::CurrentUser, kRunKey, kRunValue);
}

Process& WallpaperTest::Start(const std::wstring& arguments) {
    app_ = Process::Start(exe_, arguments);
    app_.WaitIdle(5000);
    return app_;
}

std::wstring WallpaperTest::AcceptMessageBox(DWORD timeoutMs) {
    HWND box = WaitForMessageBox(app_.Id(), kAppTitle, timeoutMs);
    if (!box) return L"<no message box>";
    std::wstring text = MessageBoxText(box);
    HWND ok = FindChild(box, L"Button", nullptr);
    Click(ok);
    WaitForWindowGone(box, 5000);
    return text;
}

HWND WallpaperTest::WaitMainWindow(DWORD timeoutMs) {
    return WaitForWindow(kMainCaption, L"TfrmMain", timeoutMs, app_.Id());
}

HWND WallpaperTest::Button(HWND main, const wchar_t* caption) { return FindChild(main, L"Button", caption); }

HWND WallpaperTest::ListBox(HWND main) { return FindChild(main, L"ListBox", nullptr); }

int WallpaperTest::ListCount(HWND main) {
    DWORD_PTR n = 0;
    ::SendMessageTimeoutW(ListBox(main), LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
    return static_cast<int>(n);
}

std::vector<std::wstring> WallpaperTest::ListItems(HWND main) {
    // The system marshals LB_GETTEXT across processes like WM_GETTEXT.
    std::vector<std::wstring> items;
    const int n = ListCount(main);
    for (int i = 0; i < n; ++i) {
        wchar_t buf[1024]{};
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(ListBox(main), LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &r);
        items.emplace_back(buf);
    }
    return items;
}

void WallpaperTest::Reduce(HWND main) {
    // Every save writes RefDay last: take it away and wait for it to come back.
    DeleteValue(Root::CurrentUser, kConfigKey, L"RefDay");
    Click(Button(main, L"Réduire"));
    WaitFor([&] { return !::IsWindowVisible(main); }, 5000);
    WaitFor([&] { return ReadString(Root::CurrentUser, kConfigKey, L"RefDay").has_value(); }, 5000);
}

std::wstring WallpaperTest::Setting(const wchar_t* name) {
    return ReadString(Root::CurrentUser, kConfigKey, name).value_or(L"<missing>");
}

void WallpaperTest::CloseAndWait(HWND main) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    app_.Wait(10000);
}

}  // namespace e2e
