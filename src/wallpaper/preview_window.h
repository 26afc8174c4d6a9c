#pragma once
// The preview window "Visualisation": the current picture stretched to the
// window, and over it the calendar in a transparent overlay that the user
// moves and resizes with a drag handle.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/drag_math.h"
#include "core/image.h"
#include "core/preview_geometry.h"
#include "wallpaper/current_picture.h"
#include "wallpaper/drag_handle.h"
#include "win32/window.h"

namespace orvane {

class TfrmMain;

// Commands of the handle's context menu `PopupMenu1`.
enum : UINT {
    kMois1 = 101,
    kJourdelasemaine1 = 102,
    kJour1 = 103,
    kMois2 = 111,
    kJourdelasemaine2 = 112,
    kJour2 = 113,
    kJourcourrant1 = 114,
    kFondnormal1 = 115,
    kFondfrie1 = 116,
    kWeekEnd1 = 117,
    kEnhautgauche1 = 121,
    kEnhautdroite1 = 122,
    kEnbasgaauche1 = 123,
    kEnbasdroite1 = 124,
};

class TPreview : public win::Window {
public:
    explicit TPreview(TfrmMain& main);
    ~TPreview() override;

    void CreateHidden();

    // Offered to the main window.
    void SetPos();
    void ShowPreview();
    void HidePreview();
    bool Visible() const;
    void Close();  // hides the window through FormClose

    // The current picture (`PreviewImages1`).
    void LoadPreviewPicture(const std::wstring& path);
    const CurrentPicture& PreviewImages1() const { return pictures_; }
    void CurrentPictureChanged();

    // For the settings dialog's transfer.
    void SetCalendarVisible(bool visible);  // overlay visible, handle enabled
    void StoreCalendarRect();
    void ShowCalendarRect();
    void AttachHandle();
    void Repaint();

    // ---- inside the window ------------------------------------------------------
    PreviewScale ComputePreviewScale() const;
    void FitOverlay();
    void RedrawPreviewCalendar();

    void FormShow();
    void FormClose();
    void ImageView1Resize();
    void DragHandle1MouseUp();
    // Font items.
    void Mois1Click();
    void Jourdelasemaine1Click();
    void Jour1Click();
    // Colour items.
    void Mois2Click();
    void Jourdelasemaine2Click();
    void Jour2Click();
    void Jourcourrant1Click();
    void Fondnormal1Click();
    void Fondfrie1Click();
    void WeekEnd1Click();
    // Position items.
    void Enhautgauche1Click();
    void Enhautdroite1Click();
    void Enbasgaauche1Click();
    void Enbasdroite1Click();

    TDragHandle& DragHandle1();
    HMENU PopupMenu1() const;
    // The overlay `Image1`: its bounds in the client area and its visibility.
    drag::Bounds Image1Bounds() const;
    bool Image1Visible() const;
    // Size the overlay's bitmap was last fitted to (the handle's client size).
    SIZE OverlaySize() const;
    // Outer size of the window (its normal size while minimised).
    SIZE OuterSize() const;

    // The two common dialogs, replaceable by tests. Each returns true when
    // the user accepted; the argument starts at the value last accepted.
    std::function<bool(HWND owner, LOGFONTW& font)> FontDialog1;
    std::function<bool(HWND owner, COLORREF& colour)> ColorDialog1;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormPaint(HDC target, const RECT& area) noexcept;
    void OnPaint();
    void OnSize(WPARAM kind);
    void OnCommand(UINT id);
    void OnContextMenu(POINT screen);
    void FontItem(std::string& field);
    void ColourItem(std::uint32_t& field);
    void PositionItem(Corner corner);
    void GiveFocusToHandle();

    TfrmMain& main_;
    CurrentPicture pictures_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
