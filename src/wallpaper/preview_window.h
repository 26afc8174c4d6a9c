#pragma once
// The preview window "Visualisation": the current picture stretched to the
// window, and over it the calendar in a transparent overlay that the user
// moves and resizes with a drag handle.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/image.h"
#include "wallpaper/current_picture.h"
#include "win32/window.h"

namespace orvane {

class TfrmMain;

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

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TfrmMain& main_;
    CurrentPicture pictures_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
