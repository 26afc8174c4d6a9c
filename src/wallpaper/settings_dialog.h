#pragma once
// The settings dialog "Paramétrage". Its controls are the working copy of
// the options between two openings: a load of the settings fills them, "ok"
// hands them to the model, which takes them in the dialog's order.
#include <windows.h>

#include <memory>

#include "core/wallpaper/settings.h"
#include "core/wallpaper/wallpaper_model.h"
#include "core/wallpaper/settings_transfer.h"
#include "core/whole_number.h"
#include "win32/flat_button.h"
#include "win32/window.h"

namespace orvane {

// Control identifiers (never IDOK or IDCANCEL: Enter and Escape press nothing).
enum SettingsControlId : int {
    kStartWithWindowsBox = 101,
    kRandomOrderButton,
    kListOrderButton,
    kStretchedButton,
    kCentredButton,
    kTiledButton,
    kAtEachStartButton,
    kEveryIntervalButton,
    kHoursField,
    kHoursArrows,
    kMinutesField,
    kMinutesArrows,
    kCalendarBox,
    kFirstDayList,
    kTransparentLabelsBox,
    kQuickActivationBox,
    kOkButton,
    kCancelButton,
    kFillButton,
    kFitButton,
    kOneWallpaperPerScreenBox,
};

class SettingsDialog : public win::Window, private WallpaperModel::Observer {
public:
    SettingsDialog(win::UiContext& ui, WallpaperModel& model);
    ~SettingsDialog() override;

    // Creates the dialog hidden, owned by `owner` (the main window).
    void Create(HWND owner);
    int ShowModal();  // 1 ok, 2 cancel
    bool Visible() const;
    void BringToFront();

    // The fill done by the settings load at start-up.
    void FillFromSettings(const WallpaperSettings& s);
    void SetQuickIconBox(bool ticked);

    // The controls as the "ok" transfer reads them.
    ParamControlState ReadControls() const;
    // What "ok" hands to the model: the controls applied to its settings.
    SettingsEdit BuildEdit() const { return BuildSettingsEdit(ReadControls(), model_.Settings()); }
    HWND Control(SettingsControlId id) const { return ::GetDlgItem(hwnd(), id); }

    void OnOkClicked();
    void OnCancelClicked();
    // The dialog became the program's active window: the position group
    // shows the stored mode.
    void OnActivatedInProgram();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // WallpaperModel::Observer
    void OnSettingsLoaded() override;
    void OnQuickIconChanged() override;

    void CreateControls();
    void OnActivate(WPARAM wp, LPARAM lp);
    void SetChecked(SettingsControlId id, bool on);
    bool Checked(SettingsControlId id) const;
    void SetNumberField(SettingsControlId edit, SettingsControlId upDown, const std::string& text);
    LRESULT Paint();

    WallpaperModel& model_;
    HWND owner_ = nullptr;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
