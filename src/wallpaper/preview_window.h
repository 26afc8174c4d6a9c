#pragma once
// The preview window "Visualisation": the model's current picture stretched
// to the window, and over it the calendar in a transparent overlay that the
// user moves and resizes with a drag handle. The window stands for the whole
// screen: the handle's bounds map to the calendar rectangle in screen pixels.
//
// A view of WallpaperModel: it reads the picture and the calendar's settings
// there and writes the calendar's place, fonts and colours back through it.
// The model must outlive the window. The window never loads pictures (its
// owner calls WallpaperModel::LookAt) and never touches its owner: closing it
// raises onClosed.
#include <windows.h>

#include <functional>
#include <memory>

#include "core/wallpaper/drag_math.h"
#include "core/wallpaper/preview_geometry.h"
#include "core/wallpaper/wallpaper_model.h"
#include "wallpaper/drag_handle.h"
#include "win32/window.h"

namespace orvane {

class PreviewWindow : public win::Window, public WallpaperModel::Observer {
public:
    // Commands of the calendar's context menu.
    enum Command : UINT {
        kMonthFontCommand = 101,
        kWeekdayFontCommand = 102,
        kDayNumberFontCommand = 103,
        kMonthColourCommand = 111,
        kWeekdayColourCommand = 112,
        kDayNumberColourCommand = 113,
        kTodayColourCommand = 114,
        kNormalDayColourCommand = 115,
        kNonWorkDayColourCommand = 116,
        kWeekEndColourCommand = 117,
        kTopLeftCommand = 121,
        kTopRightCommand = 122,
        kBottomLeftCommand = 123,
        kBottomRightCommand = 124,
    };

    // Registers with the model as an observer until destroyed.
    PreviewWindow(win::UiContext& ui, WallpaperModel& model);
    ~PreviewWindow() override;

    // Creates the window (class "TPreview"), hidden.
    void Create();

    // Puts the window to the right of the main window, top aligned; narrowed
    // to the room left, with the picture's proportions, when it does not fit.
    // A minimised or maximised window gets this as its restored place.
    void PlaceBeside(const RECT& mainWindowRect);
    void ShowPreview();
    void HidePreview();
    bool Visible() const;
    // As the close box: hides the window and raises onClosed.
    void Close();

    // Raised when the window was closed (close box, Alt+F4, Close()), once it
    // is hidden, so that the owner can say so on its own controls.
    std::function<void()> onClosed;

    // The two common dialogs, replaceable by tests. Each returns true when
    // the user accepted; the argument starts at the value last accepted.
    std::function<bool(HWND owner, LOGFONTW& font)> chooseFont;
    std::function<bool(HWND owner, COLORREF& colour)> chooseColour;

    // ---- WallpaperModel::Observer ------------------------------------------------
    // Shows the new picture and gives the handle the complement of its
    // top-left pixel, so that the grips stand out on it.
    void OnCurrentPictureChanged() override;
    // The overlay's visibility and the handle's enabled state follow the
    // calendar switch; while shown with the calendar on, the handle is
    // attached at the stored rectangle and the rectangle it shows goes back
    // to the model: the stored one itself unless the user moved the handle.
    void OnSettingsApplied(bool calendarWasOn) override;

    // ---- what the window shows ------------------------------------------------------
    DragHandle& CalendarHandle();
    HMENU CalendarMenu() const;
    // The calendar overlay: its bounds in the client area and its visibility.
    drag::Bounds CalendarOverlayBounds() const;
    bool CalendarOverlayVisible() const;
    // Size the overlay was last fitted to (the handle's client size).
    SIZE OverlaySize() const;
    // Outer size of the window (its normal size while minimised).
    SIZE OuterSize() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    PreviewScale CurrentScale() const;
    void PlaceHandleAtStoredRect();
    // The stored rectangle as the handle now shows it, back into the model.
    void TakeRectBackFromHandle();
    void FitOverlay();
    void InvalidateCalendar();
    void SetCalendarVisible(bool visible);
    void AttachHandleToOverlay();
    void RepaintNow();

    void LayOutCalendarOnShow();
    void HideAndTellOwner();
    void LayOutCalendarAfterResize();
    void StoreCalendarMovedByUser();
    void ChooseCalendarFont(CalendarText text);
    void ChooseCalendarColour(CalendarColour colour);
    void PlaceCalendarAtCorner(Corner corner);

    void PaintClient(HDC target, const RECT& area) noexcept;
    void OnPaint();
    void OnSize(WPARAM kind);
    void RelayOutClient();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnDisplayChanged();
    void OnCommand(UINT id);
    void OpenCalendarMenu(POINT screen);
    void GiveFocusToHandle();

    WallpaperModel& model_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
