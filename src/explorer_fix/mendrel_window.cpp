#include "explorer_fix/mendrel_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "explorer_fix/process_routines.h"
#include "explorer_fix/repair_environment.h"
#include "explorer_fix/resources/mendrel_ids.h"
#include "explorer_fix/system_error.h"
#include "win32/dpi.h"
#include "win32/strings.h"

namespace mendrel {

namespace {

constexpr wchar_t kPreventionExplanation[] =
    L"Pour exécuter le bureau, la barre des tâches, le menu \"Démarrer\"... l'explorateur de fichiers et Internet "
    L"Explorer dans un espace mémoire différent : cliquez sur le bouton \"Optimiser\".";
constexpr wchar_t kRepairExplanation[] =
    L"Pour restituer les icônes des programmes qui se lancent au démarrage figurant dans la barre des tâches à côté "
    L"de l'heure avant le plantage de Explorer.exe : cliquez sur le bouton \"Corriger\".";

constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ControlSpec {
    ControlId id;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
    int left, top, width, height;  // twips
};

// In tab order: the creation order of child windows is their tab order.
const ControlSpec kControls[] = {
    {kStartupFolderList, L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT | WS_VSCROLL, 0, 0, 255, 330},
    {kStartupFileList, L"LISTBOX", L"", LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, 4320, 0, 255, 300},
    {kPreventionText, L"STATIC", kPreventionExplanation, SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 120, 240, 1815, 1695},
    {kRepairText, L"STATIC", kRepairExplanation, SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 2280, 240, 1815, 1695},
    {kStatusLine, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 240, 4200, 3735, 495},
    {kOptimiseButton, L"BUTTON", L"Optimiser", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 480, 2280, 975, 495},
    {kRepairButton, L"BUTTON", L"Corriger", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 2640, 2280, 975, 495},
    {kDefaultsButton, L"BUTTON", L"Par défaut", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 480, 3240, 975, 495},
    {kHelpButton, L"BUTTON", L"Aide", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 2640, 3240, 975, 495},
};

void ShellOpen(HWND owner, const std::wstring& path) {
    // The result is not examined: a missing page is the shell's to report.
    ::ShellExecuteW(owner, nullptr, path.c_str(), L"", nullptr, SW_SHOWNORMAL);
}

// The utility's window that `owner` belongs to, or else the one of this
// process (an error reported without an owner).
MendrelWindow* OwnWindow(HWND owner) {
    HWND root = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    if (!root) root = ::FindWindowW(kWindowClass, nullptr);
    DWORD pid = 0;
    if (root) ::GetWindowThreadProcessId(root, &pid);
    return pid == ::GetCurrentProcessId() ? dynamic_cast<MendrelWindow*>(win::Window::FromHandle(root)) : nullptr;
}

}  // namespace

bool ProcessIsElevated() {
    win::Handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
}

std::uint64_t TotalPhysicalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (::GlobalMemoryStatusEx(&status)) return status.ullTotalPhys;
    MEMORYSTATUS old{};
    old.dwLength = sizeof old;
    ::GlobalMemoryStatus(&old);
    return old.dwTotalPhys;
}

MendrelWindow::MendrelWindow(win::UiContext& ui)
    : win::Window(ui),
      memory_(&TotalPhysicalMemory),
      elevated_(&ProcessIsElevated),
      opener_(&ShellOpen),
      onClosed_([this] { ::PostQuitMessage(exitCode_); }) {}

MendrelWindow::~MendrelWindow() = default;

void MendrelWindow::ReportAndEnd(win::UiContext& ui, HWND owner, const std::exception& e) {
    if (MendrelWindow* window = OwnWindow(owner)) {
        window->EndAfterError(ErrorBoxText(e));
        return;
    }
    ui.ShowErrorBox(owner, ErrorBoxText(e));
    ::PostQuitMessage(1);
}

void MendrelWindow::EndAfterError(const std::wstring& boxText) {
    // Set before the box: the window may be closed while the box is open,
    // and its unload then already ends the program with this code.
    exitCode_ = 1;
    Ui().ShowErrorBox(hwnd(), boxText);
    if (hwnd())
        ::DestroyWindow(hwnd());  // its unload ends the program
    else
        ::PostQuitMessage(exitCode_);
}

RegistryAccess& MendrelWindow::Registry() {
    if (!registry_) registry_ = std::make_unique<RegistryAccess>();
    return *registry_;
}

void MendrelWindow::Load() {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    icon_.reset(static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDI_MENDREL), IMAGE_ICON, 32, 32, 0)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDI_MENDREL), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), 0)));
    win::WindowClassSpec cls{kWindowClass};
    cls.icon = icon_.get();
    cls.smallIcon = smallIcon_.get();
    const SIZE outer = win::OuterSizeForClient(win::Scale(kClientWidth), win::Scale(kClientHeight), kFrameStyle, 0);
    CreateWindowOfClass(cls, 0, kFrameStyle, kWindowTitle, CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy, nullptr);
    if (icon_) ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    if (smallIcon_) ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    CreateControls();
    ShowElevationShields();
    win::CenterOnScreen(hwnd());
    ShowStartupState();
}

void MendrelWindow::Show() {
    ::ShowWindow(hwnd(), SW_SHOW);
    ::UpdateWindow(hwnd());
    ::SetForegroundWindow(hwnd());
    // The first enabled button in tab order ("Corriger" when the switches are
    // refused).
    if (HWND first = ::GetNextDlgTabItem(hwnd(), nullptr, FALSE)) ::SetFocus(first);
}

void MendrelWindow::CreateControls() {
    // "Times New Roman" 8.25 points, normal weight, for every control.
    int dpi = 96;
    {
        win::WindowDc dc(hwnd());
        if (dc.get()) dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    }
    font_.reset(::CreateFontW(-::MulDiv(825, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN,
                              L"Times New Roman"));
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    for (const auto& c : kControls) {
        HWND h = ::CreateWindowExW(0, c.cls, c.text, WS_CHILD | c.style, win::Scale(Px(c.left)), win::Scale(Px(c.top)),
                                   win::Scale(Px(c.width)), win::Scale(Px(c.height)), hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), inst, nullptr);
        if (!h) ThrowWin32(::GetLastError());
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
}

LRESULT MendrelWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: return OnCommand(wp, lp);
        case WM_DESTROY: OnClosed(); return 0;
        default: return Default(msg, wp, lp);
    }
}

LRESULT MendrelWindow::OnCommand(WPARAM wp, LPARAM lp) {
    if (HIWORD(wp) != BN_CLICKED || !lp) return 0;
    switch (LOWORD(wp)) {
        case kOptimiseButton: OnOptimiseClicked(); break;
        case kRepairButton: OnRepairClicked(); break;
        case kDefaultsButton: OnDefaultsClicked(); break;
        case kHelpButton: OnHelpClicked(); break;
        default: break;
    }
    return 0;
}

void MendrelWindow::SetStatus(const std::string& text) {
    ::SetWindowTextW(Control(kStatusLine), win::Widen(text).c_str());
}

std::wstring MendrelWindow::StatusText() const {
    HWND label = Control(kStatusLine);
    const int n = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(label, text.data(), n + 1)));
    return text;
}

void MendrelWindow::ShowStartupState() {
    SetStatus(orvane::kStatusOff);
    const orvane::StartupView view = orvane::StartupState(Registry(), memory_());
    SetStatus(view.status);
    if (!view.switchesEnabled) {
        ::EnableWindow(Control(kOptimiseButton), FALSE);
        ::EnableWindow(Control(kDefaultsButton), FALSE);
        ::EnableWindow(Control(kPreventionText), FALSE);
    }
}

void MendrelWindow::ShowElevationShields() {
    // Both switches write under HKEY_LOCAL_MACHINE, which only an elevated
    // program may; the manifest asks for no elevation, so the shield tells
    // the user beforehand. Sent either way, so the state is always the
    // token's.
    const BOOL required = !elevated_();
    for (ControlId id : {kOptimiseButton, kDefaultsButton}) Button_SetElevationRequiredState(Control(id), required);
}

void MendrelWindow::OnClosed() {
    if (onClosed_) onClosed_();
}

void MendrelWindow::OnOptimiseClicked() { SetStatus(orvane::SwitchPreventionOn(Registry())); }

void MendrelWindow::OnDefaultsClicked() { SetStatus(orvane::SwitchPreventionOff(Registry())); }

void MendrelWindow::OnHelpClicked() { opener_(hwnd(), kHelpPage); }

void MendrelWindow::OnRepairClicked() {
    ::ShowWindow(hwnd(), SW_HIDE);
    SystemProcessList processes;
    WindowsRepairEnvironment env(Control(kStartupFolderList), Control(kStartupFileList));
    orvane::RepairStartupPrograms(Registry(), processes, env);
    ::ShowWindow(hwnd(), SW_SHOW);
    ::DestroyWindow(hwnd());
}

}  // namespace mendrel
