#pragma once
// The styled flat push button of the programs' windows: a caption, a hint
// shown on hover, an enabled state and a click. It never takes the keyboard
// focus, so Enter and Escape never press it.
#include <windows.h>

#include <functional>
#include <string>

#include "win32/window.h"

namespace win {

class FlatButton : public Window {
public:
    FlatButton() = default;

    void Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption,
                const std::wstring& hint = {}, int id = 0);

    void SetCaption(const std::wstring& caption);
    std::wstring Caption() const;
    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetFont(HFONT font) { font_ = font; }

    std::function<void()> OnClick;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint();
    void Click();
    void SetHot(bool hot);

    HFONT font_ = nullptr;
    HWND tooltip_ = nullptr;
    bool hot_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
};

}  // namespace win
