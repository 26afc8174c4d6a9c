#include "wallpaper/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <shlobj.h>

#include <chrono>

#include "core/error.h"
#include "core/picture_list.h"
#include "wallpaper/about_box.h"
#include "wallpaper/composition.h"
#include "wallpaper/desktop_icons.h"
#include "wallpaper/param_dialog.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/tray_icon.h"
#include "win32/dpi.h"
#include "win32/file_io.h"
#include "win32/registry_store.h"
#include "win32/strings.h"

namespace orvane {

namespace {

TfrmMain* g_main = nullptr;

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kClientWidth = 361, kClientHeight = 312;
constexpr int kPanel1Height = 57;
constexpr int kListBoxId = 100;

// {75048700-EF1F-11D0-9888-006097DEACF9}
constexpr CLSID kClsidActiveDesktop = {0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
// {F490EB00-1240-11D1-9888-006097DEACF9}
constexpr IID kIidActiveDesktop = {0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

class WindowsAnsiCodec : public AnsiCodec {
public:
    bool Encode(std::string_view utf8, std::string& ansi) const override {
        return win::ToAnsi(win::Widen(utf8), ansi);
    }
    std::string Decode(std::string_view ansi) const override { return win::Narrow(win::FromAnsi(ansi)); }
};

// Milliseconds of the rotation timer for an interval in seconds. A negative
// (hand-edited) interval never fires, like 0; a huge one is held to the
// longest period a window timer accepts instead of wrapping around.
UINT RotationMilliseconds(std::int32_t interval) {
    if (interval <= 0) return 0;
    const std::uint64_t ms = static_cast<std::uint64_t>(interval) * 1000u;
    return static_cast<UINT>(std::min<std::uint64_t>(ms, USER_TIMER_MAXIMUM));
}

std::uint32_t MillisecondsSinceUtcMidnight() {
    SYSTEMTIME t;
    ::GetSystemTime(&t);
    return ((static_cast<std::uint32_t>(t.wHour) * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

// The tray's busy image for the length of one change, back to idle however
// the change ends.
class BusyScope {
public:
    explicit BusyScope(TTrayIcon* tray) : tray_(tray) {
        if (tray_) tray_->SetIconIndex(1);
    }
    ~BusyScope() {
        if (tray_) tray_->SetIconIndex(0);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TTrayIcon* tray_;
};

}  // namespace

TfrmMain* frmMain() { return g_main; }

TfrmMain::TfrmMain() { g_main = this; }

TfrmMain::~TfrmMain() {
    // The other windows read this one's fields while they die: destroy them first.
    TrayIcon1.reset();
    Form2.reset();
    Paramfrm.reset();
    Preview.reset();
    if (font_) ::DeleteObject(font_);
    if (panelBrush_) ::DeleteObject(panelBrush_);
    if (g_main == this) g_main = nullptr;
}

void TfrmMain::CreateWindowAndControls(bool hasCommandLineArgument) {
    hasArgument_ = hasCommandLineArgument;
    font_ = win::CreateWindowFont();
    panelBrush_ = ::CreateSolidBrush(RGB(0xC0, 0xC0, 0xC0));
    const SIZE outer = win::OuterSizeForClient(win::Scale(kClientWidth), win::Scale(kClientHeight), kMainStyle, 0);
    win::WindowClassSpec windowClass{L"TfrmMain"};
    windowClass.background = panelBrush_;
    windowClass.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.smallIcon = windowClass.icon;
    Create(windowClass, 0, kMainStyle, L"Orvane-Wallpaper Changer 1.3", CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy,
           nullptr);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    win::CenterOnScreen(hwnd());
    CreateControls();
    Timer2.Attach(hwnd());
    Timer3.Attach(hwnd());
    TimerTrans.Attach(hwnd());
    FormCreate();
}

void TfrmMain::CreateControls() {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    using win::Scale;
    auto button = [&](win::FlatButton& b, int x, int y, int w, int h, const wchar_t* caption, const wchar_t* hint,
                      void (TfrmMain::*handler)()) {
        b.Create(hwnd(), Scale(x), Scale(y), Scale(w), Scale(h), caption, hint);
        b.SetFont(font_);
        b.OnClick = [this, handler] { (this->*handler)(); };
    };
    button(ApplyBtn, 16, 8, 57, 41, L"Appliquer", L"Applique le papier peint sélectionné", &TfrmMain::ApplyBtnClick);
    button(ParamBtn, 80, 8, 57, 41, L"Paramètres", L"Modification des paramètres", &TfrmMain::ParamBtnClick);
    button(HelpBtn, 144, 8, 57, 41, L"Aide", L"A propos...", &TfrmMain::HelpBtnClick);
    button(CloseBtn, 288, 8, 57, 41, L"Réduire", L"Réduit le logiciel", &TfrmMain::CloseBtnClick);
    ApplyBtn.SetEnabled(false);

    // The lower panel's controls, at their places inside it.
    const int py = kPanel1Height;
    Label1 = ::CreateWindowExW(0, L"STATIC", L"Images :", WS_CHILD | WS_VISIBLE | SS_LEFT, Scale(8), Scale(py + 8),
                               Scale(60), Scale(13), hwnd(),
                               nullptr, inst, nullptr);
    ListBox1 = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_EXTENDEDSEL |
                                     LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                                 Scale(8), Scale(py + 24), Scale(201), Scale(217), hwnd(),
                                 reinterpret_cast<HMENU>(kListBoxId), inst, nullptr);
    for (HWND h : {Label1, ListBox1}) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ::SendMessageW(ListBox1, LB_SETITEMHEIGHT, 0, Scale(13));
    button(AddFileBtn, 216, py + 24, 129, 41, L"Ajouter un fichier", L"Ajoute un ou plusieurs fichiers",
           &TfrmMain::AddFileBtnClick);
    button(AddDirBtn, 216, py + 72, 129, 41, L"Ajouter un répertoire",
           L"Ajoute les images contenues dans un répertoire", &TfrmMain::AddDirBtnClick);
    button(DelSelBtn, 216, py + 120, 129, 41, L"Supprimer sélection", L"Supprime les images sélectionnées",
           &TfrmMain::DelSelBtnClick);
    button(PreviewBtn, 216, py + 192, 129, 41, L"Afficher l'image", L"Bascule la prévisualisation",
           &TfrmMain::PreviewBtnClick);
}

void TfrmMain::FormCreate() {
    PictureList.clear();
    // WM_ENDSESSION is handled in HandleMessage: this window is the one that
    // owns the task-bar button here.
    HRESULT hr = ::CoCreateInstance(kClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    kIidActiveDesktop, ActiveDesktop.put_void());
    if (FAILED(hr) || !ActiveDesktop) {
        ActiveDesktop.reset();
        NoActiveDesktop = true;
    }
}

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_COMMAND: OnCommand(wp, lp); return 0;
        case WM_CLOSE: FormClose(); ::DestroyWindow(hwnd()); return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        case WM_ENDSESSION:
            if (LOWORD(wp)) ::ExitProcess(0);  // halt at once: no save, no window closing
            return 0;
        case WM_CTLCOLORSTATIC:
            ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            return reinterpret_cast<LRESULT>(panelBrush_);
        case WM_MEASUREITEM: reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = win::Scale(13); return TRUE;
        case WM_DRAWITEM: DrawListItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
        case WM_PAINT: PaintPanels(); return 0;
        default: return Default(msg, wp, lp);
    }
}

void TfrmMain::OnTimer(UINT_PTR id) {
    switch (id) {
        case kTimer2: Timer2Timer(); break;
        case kTimer3: Timer3Timer(); break;
        case kTimerTrans: TimerTransTimer(); break;
    }
}

void TfrmMain::OnCommand(WPARAM wp, LPARAM) {
    if (LOWORD(wp) == kListBoxId && HIWORD(wp) == LBN_SELCHANGE) ListBox1Click();
}

void TfrmMain::PaintPanels() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    ::FillRect(dc, &rc, panelBrush_);
    // Two raised panels, as the window has always looked: the button band and
    // the list area below it.
    RECT top{0, 0, rc.right, win::Scale(kPanel1Height)};
    RECT bottom{0, top.bottom, rc.right, rc.bottom};
    ::DrawEdge(dc, &top, BDR_RAISEDINNER, BF_RECT);
    ::DrawEdge(dc, &bottom, BDR_RAISEDINNER, BF_RECT);
    ::EndPaint(hwnd(), &ps);
}

void TfrmMain::DrawListItem(const DRAWITEMSTRUCT* di) {
    if (!di || di->itemID == static_cast<UINT>(-1)) return;
    const bool selected = (di->itemState & ODS_SELECTED) != 0;
    HDC dc = di->hDC;
    RECT rc = di->rcItem;
    ::FillRect(dc, &rc, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const LRESULT len = ::SendMessageW(ListBox1, LB_GETTEXTLEN, di->itemID, 0);
    if (len > 0) {
        std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
        ::SendMessageW(ListBox1, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(len));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        HGDIOBJ old = ::SelectObject(dc, font_);
        RECT tr = rc;
        tr.left += 2;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        ::SelectObject(dc, old);
    }
    if (di->itemState & ODS_FOCUS) ::DrawFocusRect(dc, &rc);
}

HWND TfrmMain::MessageOwner() const { return ::IsWindowVisible(hwnd()) ? hwnd() : nullptr; }

void TfrmMain::ShowMainWindow() {
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

// ---------------------------------------------------------------- settings

std::wstring TfrmMain::ProgramPath() const { return win::ModulePath(); }

std::wstring TfrmMain::DefaultListFileName() const {
    const std::wstring beside = win::FolderOf(ProgramPath()) + L"piclist.cfg";
    if (win::FileExists(beside)) return beside;
    // A standard user cannot write into Program Files, and the manifest's
    // asInvoker turns off the virtualisation that used to hide it: probe, and
    // keep the list in the user's roaming application data instead.
    const std::wstring probe = beside + L".probe";
    win::FileHandle f(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (f) return beside;
    PWSTR roaming = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &roaming)) && roaming) {
        std::wstring folder = std::wstring(roaming) + L"\\Orvane";
        ::CoTaskMemFree(roaming);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        return folder + L"\\piclist.cfg";
    }
    if (roaming) ::CoTaskMemFree(roaming);
    return beside;
}

void TfrmMain::LoadSettings() {
    win::RegistrySettingsStore store;
    auto& s = WallpaperSettings;
    // The list file comes right after FileName, before the other values, so
    // that a list read error stops the load as it always did.
    // The default probes the program's folder (a file write): only when needed.
    auto stored = store.Read("FileName");
    s.FileName = stored ? *stored : win::Narrow(DefaultListFileName());
    const std::wstring listFile = win::Widen(s.FileName);
    PictureList.clear();
    ::SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
    if (win::FileExists(listFile)) {
        auto bytes = win::ReadWholeFile(listFile);
        if (!bytes) throw Error(FormatMessage1("Impossible d'ouvrir le fichier %s", s.FileName));
        auto lines = ParseListFile(*bytes, WindowsAnsiCodec());
        RemoveMissing(lines, [](const std::string& p) { return win::FileExists(win::Widen(p)); });
        for (const auto& p : lines) AddPicture(win::Widen(p));
    }
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    const std::string fileName = s.FileName;  // the values' load reads it again, to the same result
    LoadSettingsValues(store, s, fileName, sw, sh);

    if (Paramfrm) Paramfrm->FillFromSettings(s);
    if (TrayIcon1) TrayIcon1->SetQuickIconCheck(s.QuickIcon);
    TimerTrans.SetEnabled(s.TransparentIcon || s.QuickIcon);
}

void TfrmMain::SaveSettings() {
    const auto& s = WallpaperSettings;
    const std::wstring title = win::ApplicationTitle();
    if (s.RunAtStartup)
        win::WriteRunEntry(title, ProgramPath());
    else
        win::RemoveRunEntry(title);

    win::RegistrySettingsStore store;
    SaveFileNameValue(store, s);
    std::vector<std::string> paths;
    paths.reserve(PictureList.size());
    for (const auto& p : PictureList) paths.push_back(win::Narrow(p));
    if (!win::ReplaceFileAtomically(win::Widen(s.FileName), EncodeListFile(paths, WindowsAnsiCodec())))
        throw Error(FormatMessage1("Impossible de créer le fichier %s", s.FileName));
    SaveRemainingValues(store, s);
}

// ---------------------------------------------------------------- picture list

void TfrmMain::AddPicture(const std::wstring& fullPath) {
    PictureList.push_back(fullPath);
    const std::wstring name = win::Widen(FileNamePart(win::Narrow(fullPath)));
    ::SendMessageW(ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void TfrmMain::AddFiles(const std::vector<std::wstring>& files) {
    for (const auto& f : files) {
        AddPicture(f);
        SaveSettings();
    }
}

void TfrmMain::AddDirectory(const std::wstring& chosenFolder) {
    const std::wstring folder = chosenFolder + L"\\";
    for (const wchar_t* pattern : {L"*.bmp", L"*.jpg", L"*.pcx"}) {
        WIN32_FIND_DATAW fd;
        win::FindHandle find(::FindFirstFileW((folder + pattern).c_str(), &fd));
        if (!find) continue;
        do {
            AddPicture(folder + fd.cFileName);
        } while (::FindNextFileW(find.get(), &fd));
    }
    SaveSettings();
}

int TfrmMain::SelectedCount() const {
    const LRESULT n = ::SendMessageW(ListBox1, LB_GETSELCOUNT, 0, 0);
    return n == LB_ERR ? 0 : static_cast<int>(n);
}

int TfrmMain::CurrentItem() const { return static_cast<int>(::SendMessageW(ListBox1, LB_GETCARETINDEX, 0, 0)); }

void TfrmMain::AddFileBtnClick() {
    // Filter pairs as the dialog wants them: NUL-separated, double NUL at the end.
    static const wchar_t kFilter[] =
        L"Tout (*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)\0*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf\0"
        L"Bitmaps (*.bmp)\0*.bmp\0"
        L"PCX (*.pcx)\0*.pcx\0";
    std::vector<wchar_t> buffer(1 << 16, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_LONGNAMES;
    if (!::GetOpenFileNameW(&ofn)) {
        if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            throw Error("Trop de fichiers choisis à la fois");
        return;
    }
    AddFiles(SplitOpenFileResult(buffer.data()));
}

std::vector<std::wstring> TfrmMain::SplitOpenFileResult(const wchar_t* buffer) {
    // One file: its full path. Several: the folder, then each name, each
    // NUL-terminated, with an empty string at the end.
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) parts.emplace_back(p);
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> files;
    for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

void TfrmMain::AddDirBtnClick() {
    BROWSEINFOW bi{};
    bi.hwndOwner = hwnd();
    bi.pidlRoot = nullptr;  // the desktop
    bi.lpszTitle = L"Choississez un répertoire contenant des images";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    // The browser disables only its owner; the preview is the program's other
    // window that can be open meanwhile (the dialogs are modal themselves).
    HWND preview = Preview ? Preview->hwnd() : nullptr;
    const bool disablePreview = preview && ::IsWindowEnabled(preview);
    if (disablePreview) ::EnableWindow(preview, FALSE);
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderW(&bi);
    if (disablePreview) ::EnableWindow(preview, TRUE);
    if (!pidl) return;
    std::vector<wchar_t> path(32768, L'\0');
    const BOOL ok = ::SHGetPathFromIDListEx(pidl, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    ::CoTaskMemFree(pidl);
    if (!ok || !path[0]) return;
    AddDirectory(path.data());
}

void TfrmMain::DelSelBtnClick() {
    if (SelectedCount() == 0) return;
    for (int i = 0; i < static_cast<int>(::SendMessageW(ListBox1, LB_GETCOUNT, 0, 0));) {
        if (::SendMessageW(ListBox1, LB_GETSEL, i, 0) > 0) {
            ::SendMessageW(ListBox1, LB_DELETESTRING, i, 0);
            PictureList.erase(PictureList.begin() + i);
        } else {
            ++i;
        }
    }
    SaveSettings();
}

void TfrmMain::ListBox1Click() {
    if (SelectedCount() == 1) {
        ApplyBtn.SetEnabled(true);
        const int item = CurrentItem();
        if (PreviewShown && item >= 0 && item < static_cast<int>(PictureList.size()))
            Preview->LoadPreviewPicture(PictureList[item]);
    } else {
        ApplyBtn.SetEnabled(false);
    }
}

void TfrmMain::PreviewBtnClick() {
    PreviewShown = !PreviewShown;
    PreviewBtn.SetCaption(PreviewShown ? L"Masquer" : L"Afficher");
    Preview->SetPos();
    if (PreviewShown)
        Preview->ShowPreview();
    else
        Preview->HidePreview();
    const int item = CurrentItem();
    if (SelectedCount() > 0 && item >= 0 && item < static_cast<int>(PictureList.size()))
        Preview->LoadPreviewPicture(PictureList[item]);
}

// ---------------------------------------------------------------- main window buttons

void TfrmMain::Timer2Timer() {
    Timer2.SetEnabled(false);
    LoadSettings();
    if (!PictureList.empty()) {
        ChooseNextPicture();
        GuardedChange([this] { InstallCurrentPicture(); });
        if (WallpaperSettings.RunMode != 0) {
            Timer3.SetInterval(RotationMilliseconds(WallpaperSettings.Interval));
            Timer3.SetEnabled(true);
        }
    } else {
        ::MessageBoxW(MessageOwner(), L"Il n'y a pas d'image. Configurez le logiciel", win::ApplicationTitle().c_str(),
                      MB_OK);
        ShowMainWindow();
    }
    if (hasArgument_) ShowMainWindow();
}

void TfrmMain::CloseBtnClick() {
    if (TrayIcon1)
        TrayIcon1->HideToTray();
    else
        ::ShowWindow(hwnd(), SW_HIDE);
    if (Preview && Preview->Visible()) {
        PreviewBtn.SetCaption(L"Afficher");
        Preview->Close();
    }
    SaveSettings();
}

void TfrmMain::HelpBtnClick() { Form2->ShowModal(); }

void TfrmMain::FormClose() { SaveSettings(); }

// ---------------------------------------------------------------- rotation

void TfrmMain::ChooseNextPicture() {
    const auto count = static_cast<std::int32_t>(PictureList.size());
    if (count <= 0) return;
    auto& s = WallpaperSettings;
    s.Number = s.Random ? NextRandomIndex(MillisecondsSinceUtcMidnight(), count) : NextSequentialIndex(s.Number, count);
}

void TfrmMain::Timer3Timer() {
    Timer3.SetEnabled(false);
    if (!PictureList.empty()) {
        ChooseNextPicture();
        GuardedChange([this] { InstallCurrentPicture(); });
    }
    Timer3.SetEnabled(true);
}

void TfrmMain::ApplyBtnClick() {
    if (SelectedCount() != 1) return;
    const std::int32_t kept = WallpaperSettings.Number;
    WallpaperSettings.Number = CurrentItem();
    GuardedChange([this] { InstallCurrentPicture(); });
    WallpaperSettings.Number = kept;
}

void TfrmMain::ChangeWallpaperNow() {
    if (PictureList.empty()) return;
    ChooseNextPicture();
    GuardedChange([this] { InstallCurrentPicture(); });
}

void TfrmMain::GuardedChange(const std::function<void()>& change) {
    // A failed change is reported once and does not stop what follows it
    // (re-arming the rotation, restoring Number, the idle tray image).
    try {
        change();
    } catch (const std::exception& e) {
        win::ReportError(MessageOwner(), e);
    }
}

// ---------------------------------------------------------------- installation

bool TfrmMain::ActiveDesktopEnabled() {
    if (NoActiveDesktop || !ActiveDesktop) return false;
    ComponentsOpt.dwSize = 12;
    ActiveDesktop->GetDesktopItemOptions(&ComponentsOpt, 0);
    return ComponentsOpt.fActiveDesktop != FALSE;
}

std::wstring TfrmMain::WallpaperFilePath() const {
    if (!wallpaperPathOverride_.empty()) return wallpaperPathOverride_;
    const wchar_t kName[] = L"OrvaneWallPaper.bmp";
    wchar_t windir[MAX_PATH + 1]{};
    const UINT n = ::GetWindowsDirectoryW(windir, MAX_PATH);
    std::wstring inWindows = (n > 0 && n < MAX_PATH) ? std::wstring(windir, n) + L"\\" + kName : std::wstring();
    // A standard user cannot write into the Windows directory on current
    // Windows: probe it, and fall back to the user's local application data.
    if (!inWindows.empty()) {
        const std::wstring probe = inWindows + L".probe";
        win::FileHandle f(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (f) return inWindows;
    }
    PWSTR local = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local)) && local) {
        std::wstring folder = std::wstring(local) + L"\\Orvane";
        ::CoTaskMemFree(local);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        return folder + L"\\" + kName;
    }
    if (local) ::CoTaskMemFree(local);
    return inWindows;
}

void TfrmMain::InstallCurrentPicture() {
    const bool activeDesktop = ActiveDesktopEnabled();
    BusyScope busy(TrayIcon1.get());
    const std::wstring path = WallpaperFilePath();
    const auto& list = PictureList;
    const std::int32_t number = WallpaperSettings.Number;
    if (number < 0 || number >= static_cast<std::int32_t>(list.size())) return;
    Preview->LoadPreviewPicture(list[static_cast<std::size_t>(number)]);
    const CurrentPicture& picture = Preview->PreviewImages1();
    // Nothing was ever decoded (the first file named is missing): there is no
    // picture to install, and the desktop keeps what it shows.
    if (!picture.HasPicture()) return;
    ComposeWallpaperFile(path, WallpaperSettings, picture.Image());

    if (activeDesktop) {
        WallpaperOpt.dwSize = 8;
        ActiveDesktop->GetWallpaperOptions(&WallpaperOpt, 0);
        ActiveDesktop->SetWallpaper(path.c_str(), 0);
        WallpaperOpt.dwStyle = WallpaperStyleFor(WallpaperSettings.WallPaperMode);
        ActiveDesktop->SetWallpaperOptions(&WallpaperOpt, 0);
        ActiveDesktop->ApplyChanges(AD_APPLY_ALL | AD_APPLY_FORCE);
    } else {
        SetRegistryWallpaper(path, WallpaperSettings.WallPaperMode, 0, 0);
    }
    if (WallpaperSettings.TransparentIcon) ApplyTransparentLabels(LabelColourFromPicture(picture));
}

DWORD TfrmMain::WallpaperStyleFor(std::int32_t mode) {
    switch (mode) {
        case 0: return WPSTYLE_TILE;
        case 1: return WPSTYLE_CENTER;
        default: return WPSTYLE_STRETCH;
    }
}

void TfrmMain::SetRegistryWallpaper(const std::wstring& path, int mode, int originX, int originY) {
    win::RegKey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    auto write = [&](const wchar_t* name, const std::wstring& value) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        if (!key || ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     bytes) != ERROR_SUCCESS)
            throw Error(FormatMessage1("Echec à la définition des données pour '%s'", win::Narrow(name)));
    };
    const bool origin = mode == 3;
    write(L"Wallpaper", path);
    write(L"TileWallpaper", mode == 0 ? L"1" : L"0");
    write(L"WallpaperStyle", (mode >= 0 && mode <= 1) || origin ? L"0" : std::to_wstring(mode));
    write(L"WallpaperOriginX", origin ? std::to_wstring(originX) : L"0");
    write(L"WallpaperOriginY", origin ? std::to_wstring(originY) : L"0");
    key.reset();
    // The W form: the path may hold characters the ANSI code page cannot.
    // The path, not a null pointer: current Windows takes a null pointer as
    // "back to the default wallpaper" instead of re-reading the values above.
    std::wstring file = path;
    ::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, file.data(), SPIF_SENDWININICHANGE);
}

}  // namespace orvane
