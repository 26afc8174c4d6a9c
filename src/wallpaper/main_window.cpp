#include "wallpaper/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <algorithm>

#include "core/error.h"
#include "core/picture/picture_kinds.h"
#include "core/wallpaper/picture_list.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/about_box.h"
#include "wallpaper/desktop_icons.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/running_copy.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/tray_icon.h"
#include "win32/dpi.h"
#include "win32/strings.h"

namespace orvane {

namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kClientWidth = 361, kClientHeight = 312;
constexpr int kButtonBandHeight = 57;
constexpr UINT_PTR kStartupTimerId = 2;
// The start-up step runs once the message loop turns, so that the program
// is there (its icon shown) before it reads the settings and decodes.
constexpr UINT kStartupDelayMs = 300;

}  // namespace

MainWindow::MainWindow(win::UiContext& ui, WallpaperModel& model, Companions companions)
    : win::Window(ui), model_(model), companions_(companions),
      startupTimer_(kStartupTimerId, kStartupDelayMs, true) {
    model_.AddObserver(*this);
}

MainWindow::~MainWindow() {
    model_.RemoveObserver(*this);
    tray_.reset();
    if (sessionNotifications_ && hwnd()) ::WTSUnRegisterSessionNotification(hwnd());
}

void MainWindow::Create(bool showAfterStart) {
    showAfterStart_ = showAfterStart;
    font_.reset(win::CreateWindowFont());
    panelBrush_.reset(::CreateSolidBrush(RGB(0xC0, 0xC0, 0xC0)));
    const SIZE outer = win::OuterSizeForClient(win::Scale(kClientWidth), win::Scale(kClientHeight), kMainStyle, 0);
    win::WindowClassSpec windowClass{kMainWindowClass};
    windowClass.background = static_cast<HBRUSH>(panelBrush_.get());
    windowClass.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.smallIcon = windowClass.icon;
    CreateWindowOfClass(windowClass, 0, kMainStyle, L"Orvane-Wallpaper Changer 1.3", CW_USEDEFAULT, CW_USEDEFAULT,
                        outer.cx, outer.cy, nullptr);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    win::CenterOnScreen(hwnd());
    CreateControls();
    startupTimer_.Attach(hwnd());
    // A second copy started by the user asks this one to show itself; let it
    // through even when this copy runs with more rights than that one.
    ::ChangeWindowMessageFilterEx(hwnd(), ShowRequestMessage(), MSGFLT_ALLOW, nullptr);
    // Unlocking the session is a moment the date may have moved on.
    sessionNotifications_ = ::WTSRegisterSessionNotification(hwnd(), NOTIFY_FOR_THIS_SESSION) != FALSE;
    tray_ = std::make_unique<TrayIcon>(Ui(), hwnd());
    tray_->onDoubleClick = [this] { OnTrayDoubleClick(); };
    tray_->onCommand = [this](int command) { OnTrayCommand(command); };
    companions_.preview.onClosed = [this] { OnPreviewClosed(); };
}

void MainWindow::StartInTray() { tray_->Start(); }

void MainWindow::CreateControls() {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    HFONT font = static_cast<HFONT>(font_.get());
    using win::Scale;
    auto button = [&](win::FlatButton& b, int x, int y, int w, int h, const wchar_t* caption, const wchar_t* hint,
                      void (MainWindow::*handler)()) {
        b.Create(Ui(), hwnd(), Scale(x), Scale(y), Scale(w), Scale(h), caption, hint);
        b.SetFont(font);
        b.OnClick = [this, handler] { (this->*handler)(); };
    };
    button(applyButton_, 16, 8, 57, 41, L"Appliquer", L"Applique le papier peint sélectionné",
           &MainWindow::OnApplyClicked);
    button(settingsButton_, 80, 8, 57, 41, L"Paramètres", L"Modification des paramètres",
           &MainWindow::OnSettingsClicked);
    button(helpButton_, 144, 8, 57, 41, L"Aide", L"A propos...", &MainWindow::OnHelpClicked);
    button(reduceButton_, 288, 8, 57, 41, L"Réduire", L"Réduit le logiciel", &MainWindow::OnReduceClicked);
    applyButton_.SetEnabled(false);

    // The lower panel's controls, at their places inside it.
    const int py = kButtonBandHeight;
    label_ = ::CreateWindowExW(0, L"STATIC", L"Images :", WS_CHILD | WS_VISIBLE | SS_LEFT, Scale(8), Scale(py + 8),
                               Scale(60), Scale(13), hwnd(), nullptr, inst, nullptr);
    listBox_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_EXTENDEDSEL |
                                     LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                                 Scale(8), Scale(py + 24), Scale(201), Scale(217), hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPictureListId)), inst, nullptr);
    for (HWND h : {label_, listBox_}) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(listBox_, LB_SETITEMHEIGHT, 0, Scale(13));
    button(addFileButton_, 216, py + 24, 129, 41, L"Ajouter un fichier", L"Ajoute un ou plusieurs fichiers",
           &MainWindow::OnAddFileClicked);
    button(addFolderButton_, 216, py + 72, 129, 41, L"Ajouter un répertoire",
           L"Ajoute les images contenues dans un répertoire", &MainWindow::OnAddFolderClicked);
    button(removeButton_, 216, py + 120, 129, 41, L"Supprimer sélection", L"Supprime les images sélectionnées",
           &MainWindow::OnRemoveSelectedClicked);
    button(previewButton_, 216, py + 192, 129, 41, L"Afficher l'image", L"Bascule la prévisualisation",
           &MainWindow::OnPreviewClicked);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == ShowRequestMessage()) {
        OnTrayCommand(kTrayShowCommand);
        return 0;
    }
    switch (msg) {
        case WM_TIMER: if (wp == kStartupTimerId) OnStartupTick(); return 0;
        case WM_COMMAND:
            if (LOWORD(wp) == kPictureListId && HIWORD(wp) == LBN_SELCHANGE) OnListSelectionChanged();
            return 0;
        case WM_CLOSE: model_.Quit(); ::DestroyWindow(hwnd()); return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        case WM_ENDSESSION:
            if (LOWORD(wp)) ::ExitProcess(0);  // halt at once: no save, no window closing
            return 0;
        case WM_TIMECHANGE: model_.OnClockChanged(); return 0;
        case WM_POWERBROADCAST: OnPowerBroadcast(wp); return TRUE;
        case WM_WTSSESSION_CHANGE: OnSessionChange(wp); return 0;
        case WM_DISPLAYCHANGE: model_.OnDisplaySettingsChanged(); return Default(msg, wp, lp);
        case WM_DPICHANGED: OnDpiChanged(LOWORD(wp), reinterpret_cast<const RECT*>(lp)); return 0;
        case WM_CTLCOLORSTATIC:
            ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            return reinterpret_cast<LRESULT>(panelBrush_.get());
        case WM_MEASUREITEM: reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = layout_.Scale(13); return TRUE;
        case WM_DRAWITEM: DrawListItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
        case WM_PAINT: PaintPanels(); return 0;
        default: return Default(msg, wp, lp);
    }
}

void MainWindow::OnDpiChanged(int dpi, const RECT* suggested) {
    // The new font first: the controls are handed it by the relayout.
    font_.reset(win::CreateWindowFont(dpi));
    layout_.Relayout(hwnd(), dpi, suggested, static_cast<HFONT>(font_.get()));
    ::SendMessageW(listBox_, LB_SETITEMHEIGHT, 0, layout_.Scale(13));
}

void MainWindow::OnPowerBroadcast(WPARAM event) {
    if (event == PBT_APMRESUMEAUTOMATIC) model_.OnClockChanged();
}

void MainWindow::OnSessionChange(WPARAM event) {
    if (event == WTS_SESSION_UNLOCK) model_.OnClockChanged();
}

void MainWindow::PaintPanels() {
    const win::PaintDc paint(hwnd());
    HDC dc = paint.get();
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(panelBrush_.get()));
    // Two raised panels, as the window has always looked: the button band and
    // the list area below it.
    RECT top{0, 0, rc.right, layout_.Scale(kButtonBandHeight)};
    RECT bottom{0, top.bottom, rc.right, rc.bottom};
    ::DrawEdge(dc, &top, BDR_RAISEDINNER, BF_RECT);
    ::DrawEdge(dc, &bottom, BDR_RAISEDINNER, BF_RECT);
}

void MainWindow::DrawListItem(const DRAWITEMSTRUCT* item) {
    if (!item || item->itemID == static_cast<UINT>(-1)) return;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    HDC dc = item->hDC;
    RECT rc = item->rcItem;
    ::FillRect(dc, &rc, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const LRESULT len = ::SendMessageW(listBox_, LB_GETTEXTLEN, item->itemID, 0);
    if (len > 0) {
        std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
        ::SendMessageW(listBox_, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(len));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        win::SelectGuard font(dc, font_.get());
        RECT tr = rc;
        tr.left += 2;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (item->itemState & ODS_FOCUS) ::DrawFocusRect(dc, &rc);
}

HWND MainWindow::MessageOwner() const { return ::IsWindowVisible(hwnd()) ? hwnd() : nullptr; }

void MainWindow::ShowMainWindow() {
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

// ---------------------------------------------------------------- the model's news

void MainWindow::AddListEntry(const std::string& path) {
    const std::wstring name = win::Widen(FileNamePart(path));
    ::SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void MainWindow::OnPictureListReset() {
    ::SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
    for (const auto& p : model_.Pictures()) AddListEntry(p);
}

void MainWindow::OnPicturesAdded(std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count && i < model_.Pictures().size(); ++i)
        AddListEntry(model_.Pictures()[i]);
}

void MainWindow::OnPicturesRemoved(const std::vector<std::size_t>& ascending) {
    for (auto it = ascending.rbegin(); it != ascending.rend(); ++it)
        ::SendMessageW(listBox_, LB_DELETESTRING, *it, 0);
}

void MainWindow::OnSettingsLoaded() {
    if (tray_) tray_->SetQuickIconCheck(model_.Settings().QuickIcon);
}

void MainWindow::OnSettingsApplied(bool) {
    if (tray_) tray_->SetQuickIconCheck(model_.Settings().QuickIcon);
}

void MainWindow::OnQuickIconChanged() {
    if (tray_) tray_->SetQuickIconCheck(model_.Settings().QuickIcon);
}

// The tray's busy image for the length of one change, back to idle however
// the change ends.
void MainWindow::OnChangeStarted() {
    if (tray_) tray_->SetIconIndex(1);
}

void MainWindow::OnChangeFinished() {
    if (tray_) tray_->SetIconIndex(0);
}

// ---------------------------------------------------------------- start-up and buttons

void MainWindow::OnStartupTick() {
    startupTimer_.SetEnabled(false);
    if (model_.Start() == WallpaperModel::StartResult::NoPictures) {
        ::MessageBoxW(MessageOwner(), L"Il n'y a pas d'image. Configurez le logiciel", Ui().Title().c_str(),
                      MB_OK);
        ShowMainWindow();
    }
    if (showAfterStart_) ShowMainWindow();
}

int MainWindow::SelectedCount() const {
    const LRESULT n = ::SendMessageW(listBox_, LB_GETSELCOUNT, 0, 0);
    return n == LB_ERR ? 0 : static_cast<int>(n);
}

int MainWindow::CaretIndex() const { return static_cast<int>(::SendMessageW(listBox_, LB_GETCARETINDEX, 0, 0)); }

void MainWindow::OnApplyClicked() {
    if (SelectedCount() != 1) return;
    const int item = CaretIndex();
    if (item >= 0) model_.Apply(static_cast<std::size_t>(item));
}

void MainWindow::OnSettingsClicked() {
    if (companions_.settings.ShowModal() != 1) return;
    // Throws on an unreadable field, with the first values already taken.
    model_.ApplySettings(companions_.settings.BuildEdit());
}

void MainWindow::OnHelpClicked() { companions_.about.ShowModal(); }

void MainWindow::OnReduceClicked() {
    if (tray_)
        tray_->HideToTray();
    else
        ::ShowWindow(hwnd(), SW_HIDE);
    // Closing the preview resets the button through its onClosed.
    if (companions_.preview.Visible()) companions_.preview.Close();
    model_.Reduce();
}

void MainWindow::OnAddFileClicked() {
    // Filter pairs as the dialog wants them: NUL-separated, double NUL at the end.
    std::wstring filter = win::Widen(OpenDialogFilter());
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');
    std::vector<wchar_t> buffer(1 << 16, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_LONGNAMES;
    if (!::GetOpenFileNameW(&ofn)) {
        if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) throw Error("Trop de fichiers choisis à la fois");
        return;
    }
    std::vector<std::string> files;
    for (const auto& f : SplitOpenFileResult(buffer.data())) files.push_back(win::Narrow(f));
    model_.AddFiles(files);
}

std::vector<std::wstring> MainWindow::SplitOpenFileResult(const wchar_t* buffer) {
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

void MainWindow::OnAddFolderClicked() {
    BROWSEINFOW bi{};
    bi.hwndOwner = hwnd();
    bi.pidlRoot = nullptr;  // the desktop
    bi.lpszTitle = L"Choississez un répertoire contenant des images";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    // The browser disables only its owner; the preview is the program's other
    // window that can be open meanwhile (the dialogs are modal themselves).
    HWND preview = companions_.preview.hwnd();
    const bool disablePreview = preview && ::IsWindowEnabled(preview);
    if (disablePreview) ::EnableWindow(preview, FALSE);
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderW(&bi);
    if (disablePreview) ::EnableWindow(preview, TRUE);
    if (!pidl) return;
    std::vector<wchar_t> path(32768, L'\0');
    const BOOL ok = ::SHGetPathFromIDListEx(pidl, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    ::CoTaskMemFree(pidl);
    if (!ok || !path[0]) return;
    model_.AddFolder(win::Narrow(path.data()));
}

void MainWindow::OnRemoveSelectedClicked() {
    if (SelectedCount() == 0) return;
    std::vector<std::size_t> selected;
    const int count = static_cast<int>(::SendMessageW(listBox_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (::SendMessageW(listBox_, LB_GETSEL, i, 0) > 0) selected.push_back(static_cast<std::size_t>(i));
    model_.RemovePictures(selected);
}

void MainWindow::OnListSelectionChanged() {
    if (SelectedCount() == 1) {
        applyButton_.SetEnabled(true);
        const int item = CaretIndex();
        if (previewShown_ && item >= 0) model_.LookAt(static_cast<std::size_t>(item));
    } else {
        applyButton_.SetEnabled(false);
    }
}

void MainWindow::OnPreviewClicked() {
    previewShown_ = !previewShown_;
    previewButton_.SetCaption(previewShown_ ? L"Masquer" : L"Afficher");
    RECT mainRect{};
    ::GetWindowRect(hwnd(), &mainRect);
    PreviewWindow& preview = companions_.preview;
    preview.PlaceBeside(mainRect);
    if (previewShown_)
        preview.ShowPreview();
    else
        preview.HidePreview();
    const int item = CaretIndex();
    if (SelectedCount() > 0 && item >= 0) model_.LookAt(static_cast<std::size_t>(item));
}

void MainWindow::OnPreviewClosed() {
    previewButton_.SetCaption(L"Afficher");
    previewShown_ = false;
}

// ---------------------------------------------------------------- notification-area icon

void MainWindow::OnTrayDoubleClick() {
    ShowMainWindow();
    if (tray_) tray_->ModifyIcon();
}

void MainWindow::OnTrayCommand(int command) {
    switch (command) {
        case kTrayShowCommand:
            // A modal window open in the program comes forward instead.
            if (companions_.settings.Visible())
                companions_.settings.BringToFront();
            else if (companions_.about.Visible())
                companions_.about.BringToFront();
            else
                ShowMainWindow();
            break;
        case kTrayChangeCommand: model_.ChangeNow(); break;
        case kTrayLargeIconsCommand: SetDesktopViewStyle(LVS_ICON); break;
        case kTraySmallIconsCommand: SetDesktopViewStyle(LVS_SMALLICON); break;
        case kTrayQuickActivationCommand:
            model_.ToggleQuickIcon();
            break;
        case kTrayQuitCommand: QuitProgram(); break;
        default: break;
    }
}

void MainWindow::QuitProgram() {
    // A failed save is reported, but the program still ends: otherwise a
    // folder that became read-only would leave no way to quit.
    try {
        model_.Quit();
    } catch (const std::exception& e) {
        Ui().ReportError(MessageOwner(), e);
    }
    // Open modal windows see WM_QUIT in their loops and end as cancelled.
    ::PostQuitMessage(0);
}

}  // namespace orvane
