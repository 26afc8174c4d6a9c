#pragma once
// The settings dialog "Paramétrage". Its controls are the working copy of
// the options between two openings.
#include <windows.h>

#include <memory>

#include "core/settings.h"
#include "core/settings_transfer.h"
#include "core/whole_number.h"
#include "win32/flat_button.h"
#include "win32/window.h"

namespace orvane {

class TfrmMain;

// Control identifiers (never IDOK or IDCANCEL: Enter and Escape press nothing).
enum ParamControlId : int {
    kParamCheckBox1 = 101,
    kParamRadioButton1,
    kParamRadioButton2,
    kParamRbFit,
    kParamRbCenter,
    kParamRbTile,
    kParamRadioButton3,
    kParamRadioButton4,
    kParamEdit1,
    kParamUpDown1,
    kParamEdit2,
    kParamUpDown2,
    kParamCheckBox2,
    kParamComboBox1,
    kParamCbTranspIcon,
    kParamQuickIcon,
    kParamCloseBtn,
    kParamSpeedButton1,
};

class TParamfrm : public win::Window {
public:
    explicit TParamfrm(TfrmMain& main);
    ~TParamfrm() override;

    void CreateHidden();
    int ShowModal();  // 1 ok, 2 cancel
    bool Visible() const;
    void BringToFront();

    // The fill done by the settings load at start-up.
    void FillFromSettings(const WallpaperSettings& s);
    void SetQuickIconBox(bool ticked);

    // The controls as the "ok" transfer reads them.
    ParamControlState ReadControls() const;
    HWND Control(ParamControlId id) const { return ::GetDlgItem(hwnd(), id); }

    // Handlers.
    void CloseBtnClick();
    void SpeedButton1Click();
    void FormActivate();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend class TfrmMain;
    void CreateControls();
    void OnActivate(WPARAM wp, LPARAM lp);
    void SetChecked(ParamControlId id, bool on);
    bool Checked(ParamControlId id) const;
    void SetNumberField(ParamControlId edit, ParamControlId upDown, const std::string& text);
    LRESULT Paint();

    TfrmMain& main_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
