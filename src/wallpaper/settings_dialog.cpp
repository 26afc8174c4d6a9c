#include "wallpaper/settings_dialog.h"

#include "win32/dpi.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "win32/handles.h"
#include "win32/strings.h"
#include "win32/timer.h"

namespace orvane {

namespace {

constexpr int kClientWidth = 344, kClientHeight = 427;
constexpr int kTopBand = 41, kBottomBand = 380;
// No WS_CLIPCHILDREN: group boxes do not paint their inside, the dialog does.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // close box only
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);
constexpr int kHoursMax = 23, kMinutesMin = 1, kMinutesMax = 59;

const wchar_t* const kDays[] = {L"Dimanche", L"Lundi", L"Mardi", L"Mercredi", L"Jeudi", L"Vendredi", L"Samedi"};

std::wstring WindowText(HWND h) {
    const int n = ::GetWindowTextLengthW(h);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(h, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

}  // namespace

struct SettingsDialog::Impl {
    win::GdiObject font;
    win::GdiObject silver;
    win::FlatButton okButton;
    win::FlatButton cancelButton;
    win::DpiLayout layout;
    // True while the dialog is the program's active window; switching to
    // another program and back is not a new activation.
    bool activeInProgram = false;
};

SettingsDialog::SettingsDialog(win::UiContext& ui, WallpaperModel& model)
    : win::Window(ui), model_(model), impl_(std::make_unique<Impl>()) {
    model_.AddObserver(*this);
}

SettingsDialog::~SettingsDialog() { model_.RemoveObserver(*this); }

void SettingsDialog::OnSettingsLoaded() { FillFromSettings(model_.Settings()); }
void SettingsDialog::OnQuickIconChanged() { SetQuickIconBox(model_.Settings().QuickIcon); }

void SettingsDialog::Create(HWND owner) {
    owner_ = owner;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    impl_->font.reset(win::CreateWindowFont());
    impl_->silver.reset(::CreateSolidBrush(kSilver));
    win::WindowClassSpec windowClass{L"TParamfrm"};
    windowClass.background = static_cast<HBRUSH>(impl_->silver.get());
    const SIZE outer = win::OuterSizeForClient(win::Scale(kClientWidth), win::Scale(kClientHeight), kStyle, kExStyle);
    CreateWindowOfClass(windowClass, kExStyle, kStyle, L"Paramétrage", 0, 0, outer.cx, outer.cy, owner_);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(impl_->font.get()), FALSE);
    CreateControls();
    win::CenterOnScreen(hwnd());
}

void SettingsDialog::CreateControls() {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    HFONT font = static_cast<HFONT>(impl_->font.get());
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id,
                    DWORD exStyle = 0) {
        using win::Scale;
        HWND c = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(x), Scale(y), Scale(w),
                                   Scale(h), hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
        ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    };
    const DWORD check = BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
    const DWORD firstRadio = BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP;
    const DWORD radio = BS_AUTORADIOBUTTON;
    const DWORD groupBox = BS_GROUPBOX | WS_GROUP;

    // Band at the top: start with Windows, caption left of the box.
    make(L"BUTTON", L"Démarrage automatique", check | BS_LEFTTEXT, 16, 12, 150, 17, kStartWithWindowsBox);

    make(L"BUTTON", L"Affichage", groupBox, 8, 48, 184, 133, 0);
    make(L"BUTTON", L"Tirage aléatoire", firstRadio, 24, 70, 160, 17, kRandomOrderButton);
    make(L"BUTTON", L"Tirage séquentiel", radio, 24, 100, 160, 17, kListOrderButton);

    make(L"BUTTON", L"Position", groupBox, 200, 48, 136, 133, 0);
    make(L"BUTTON", L"Etiré", firstRadio, 216, 66, 112, 17, kStretchedButton);
    make(L"BUTTON", L"Centré", radio, 216, 88, 112, 17, kCentredButton);
    make(L"BUTTON", L"Mosaïque", radio, 216, 110, 112, 17, kTiledButton);
    make(L"BUTTON", L"Remplir", radio, 216, 132, 112, 17, kFillButton);
    make(L"BUTTON", L"Ajuster", radio, 216, 154, 112, 17, kFitButton);

    make(L"BUTTON", L"Changement", groupBox, 8, 188, 328, 185, 0);
    make(L"BUTTON", L"A chaque démarrage", firstRadio, 24, 208, 200, 17, kAtEachStartButton);
    make(L"BUTTON", L"Toutes les ", radio, 24, 236, 72, 17, kEveryIntervalButton);

    // Hours and minutes: the arrows step the number within their range, the
    // fields themselves take any text (checked by "ok").
    auto number = [&](SettingsControlId edit, SettingsControlId upDown, int x, int lo, int hi, int pos) {
        HWND e = make(L"EDIT", L"", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, x, 234, 44, 21, edit,
                      WS_EX_CLIENTEDGE);
        HWND u = make(UPDOWN_CLASSW, nullptr, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0,
                      0, 0, 0, upDown);
        ::SendMessageW(u, UDM_SETBUDDY, reinterpret_cast<WPARAM>(e), 0);
        ::SendMessageW(u, UDM_SETRANGE32, lo, hi);
        ::SendMessageW(u, UDM_SETPOS32, 0, pos);
    };
    number(kHoursField, kHoursArrows, 100, 0, kHoursMax, 0);
    make(L"STATIC", L"H et ", SS_LEFT, 150, 238, 28, 13, 0);
    number(kMinutesField, kMinutesArrows, 180, kMinutesMin, kMinutesMax, 5);
    make(L"STATIC", L"mn", SS_LEFT, 230, 238, 24, 13, 0);

    make(L"BUTTON", L"Calendrier", check | BS_LEFTTEXT, 24, 270, 90, 17, kCalendarBox);
    make(L"STATIC", L"1er jour :", SS_LEFT, 140, 272, 52, 13, 0);
    HWND combo = make(L"COMBOBOX", nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 196, 268, 124,
                      200, kFirstDayList);
    for (const wchar_t* day : kDays) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(day));
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

    make(L"BUTTON", L"Icones Transparentes", check | BS_LEFTTEXT, 24, 298, 140, 17, kTransparentLabelsBox);
    make(L"BUTTON", L"Activation rapide", check, 24, 322, 140, 17, kQuickActivationBox);
    make(L"BUTTON", L"Une image par écran", check, 24, 346, 160, 17, kOneWallpaperPerScreenBox);

    using win::Scale;
    impl_->okButton.Create(Ui(), hwnd(), Scale(92), Scale(387), Scale(73), Scale(33), L"ok", {}, kOkButton);
    impl_->okButton.SetFont(font);
    impl_->okButton.OnClick = [this] { OnOkClicked(); };
    impl_->cancelButton.Create(Ui(), hwnd(), Scale(180), Scale(387), Scale(73), Scale(33), L"Annuler", {}, kCancelButton);
    impl_->cancelButton.SetFont(font);
    impl_->cancelButton.OnClick = [this] { OnCancelClicked(); };

    // State as the window is created.
    SetChecked(kStartWithWindowsBox, true);
    SetChecked(kRandomOrderButton, true);
    SetChecked(kEveryIntervalButton, true);
    SetChecked(kCalendarBox, true);
    SetChecked(kTransparentLabelsBox, true);
    SetChecked(kQuickActivationBox, false);
}

int SettingsDialog::ShowModal() {
    impl_->activeInProgram = false;
    const int result = Ui().RunModal(hwnd(), owner_);
    impl_->activeInProgram = false;
    return result;
}

bool SettingsDialog::Visible() const { return hwnd() && ::IsWindowVisible(hwnd()) != FALSE; }

void SettingsDialog::BringToFront() {
    if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
    ::SetForegroundWindow(hwnd());
}

void SettingsDialog::SetChecked(SettingsControlId id, bool on) {
    ::SendMessageW(Control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool SettingsDialog::Checked(SettingsControlId id) const {
    return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SettingsDialog::SetNumberField(SettingsControlId edit, SettingsControlId upDown, const std::string& text) {
    // The arrows hold a position within their range; the field shows the value
    // itself, so that a stored 40 hours is not saved back as 23 by the next "ok".
    if (auto v = ParseWholeNumber(text)) ::SendMessageW(Control(upDown), UDM_SETPOS32, 0, *v);
    ::SetWindowTextW(Control(edit), win::Widen(text).c_str());
}

void SettingsDialog::FillFromSettings(const WallpaperSettings& s) {
    ParamControlState c = ReadControls();
    FillParamControls(s, c);
    SetChecked(kCalendarBox, c.CheckBox2);
    SetChecked(kTransparentLabelsBox, c.cbTranspIcon);
    ::SendMessageW(Control(kFirstDayList), CB_SETCURSEL, static_cast<WPARAM>(c.ComboBox1), 0);
    SetChecked(kStartWithWindowsBox, c.CheckBox1);
    SetChecked(kQuickActivationBox, c.QuickIcon);
    SetChecked(kOneWallpaperPerScreenBox, c.OneWallpaperPerScreen);
    SetChecked(kAtEachStartButton, c.RadioButton3);
    SetChecked(kEveryIntervalButton, c.RadioButton4);
    if (c.RadioButton4) {
        SetNumberField(kHoursField, kHoursArrows, c.Edit1);
        SetNumberField(kMinutesField, kMinutesArrows, c.Edit2);
    }
    SetChecked(kRandomOrderButton, c.RadioButton1);
    SetChecked(kListOrderButton, !c.RadioButton1);
}

void SettingsDialog::SetQuickIconBox(bool ticked) { SetChecked(kQuickActivationBox, ticked); }

ParamControlState SettingsDialog::ReadControls() const {
    ParamControlState c;
    c.CheckBox1 = Checked(kStartWithWindowsBox);
    c.RadioButton1 = Checked(kRandomOrderButton);
    c.RadioButton3 = Checked(kAtEachStartButton);
    c.RadioButton4 = Checked(kEveryIntervalButton);
    c.Edit1 = win::Narrow(WindowText(Control(kHoursField)));
    c.Edit2 = win::Narrow(WindowText(Control(kMinutesField)));
    c.Position = Checked(kStretchedButton) ? 2
                 : Checked(kCentredButton) ? 1
                 : Checked(kTiledButton)   ? 0
                 : Checked(kFillButton)    ? 10
                 : Checked(kFitButton)     ? 6
                                           : -1;
    c.CheckBox2 = Checked(kCalendarBox);
    c.ComboBox1 = static_cast<int>(::SendMessageW(Control(kFirstDayList), CB_GETCURSEL, 0, 0));
    c.cbTranspIcon = Checked(kTransparentLabelsBox);
    c.QuickIcon = Checked(kQuickActivationBox);
    c.OneWallpaperPerScreen = Checked(kOneWallpaperPerScreenBox);
    return c;
}

void SettingsDialog::OnOkClicked() { Ui().EndModal(hwnd(), 1); }
void SettingsDialog::OnCancelClicked() { Ui().EndModal(hwnd(), 2); }

void SettingsDialog::OnActivatedInProgram() {
    const int position = PositionForMode(model_.Settings().WallPaperMode);
    if (position < 0) return;
    SetChecked(kTiledButton, position == 0);
    SetChecked(kCentredButton, position == 1);
    SetChecked(kStretchedButton, position == 2);
    SetChecked(kFillButton, position == 10);
    SetChecked(kFitButton, position == 6);
}

void SettingsDialog::OnActivate(WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) == WA_INACTIVE) {
        // Losing activation to another window of this program ends the
        // dialog's activation; losing it to another program does not.
        HWND other = reinterpret_cast<HWND>(lp);
        DWORD pid = 0;
        if (other) ::GetWindowThreadProcessId(other, &pid);
        if (other && pid == ::GetCurrentProcessId()) impl_->activeInProgram = false;
        return;
    }
    if (!impl_->activeInProgram) {
        impl_->activeInProgram = true;
        OnActivatedInProgram();
    }
}

LRESULT SettingsDialog::Paint() {
    const win::PaintDc paint(hwnd());
    HDC dc = paint.get();
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(impl_->silver.get()));
    // The bands scale with the controls, so that the lower edge never cuts
    // through the "Changement" group on a scaled display.
    RECT top{0, 0, rc.right, impl_->layout.Scale(kTopBand)};
    RECT bottom{0, impl_->layout.Scale(kBottomBand), rc.right, rc.bottom};
    ::DrawEdge(dc, &top, BDR_RAISEDINNER, BF_RECT);
    ::DrawEdge(dc, &bottom, BDR_RAISEDINNER, BF_RECT);
    return 0;
}

LRESULT SettingsDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE: OnCancelClicked(); return 0;
        case WM_ACTIVATE: OnActivate(wp, lp); return Default(msg, wp, lp);
        case WM_PAINT: return Paint();
        case WM_ERASEBKGND: return 1;
        case WM_DPICHANGED:
            impl_->font.reset(win::CreateWindowFont(LOWORD(wp)));
            impl_->layout.Relayout(hwnd(), LOWORD(wp), reinterpret_cast<const RECT*>(lp),
                                   static_cast<HFONT>(impl_->font.get()));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            ::SetBkColor(reinterpret_cast<HDC>(wp), kSilver);
            return reinterpret_cast<LRESULT>(impl_->silver.get());
        // IDOK / IDCANCEL from the dialog manager (Enter, Escape) press nothing.
        case WM_COMMAND: return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace orvane
