#pragma once
// The settings dialog "Paramétrage". Its controls are the working copy of
// the options between two openings.
#include <windows.h>

#include <memory>

#include "core/settings.h"
#include "win32/window.h"

namespace orvane {

class TfrmMain;

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

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend class TfrmMain;
    TfrmMain& main_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
