#pragma once
// The styled flat push button of the programs' windows: a caption, a hint
// shown on hover, an enabled state and a click. It is a real push button
// (class "Button", owner-drawn for the silver look), so it takes part in the
// keyboard navigation of its window (Tab, Space, Alt with the underlined
// letter of a caption that has a '&') and screen readers read its caption
// as its name. It is never a default or a cancel button: Enter and Escape
// never press it.
#include <windows.h>

#include <functional>
#include <string>

namespace win {

class UiContext;

class FlatButton {
public:
    FlatButton() = default;
    ~FlatButton();
    FlatButton(const FlatButton&) = delete;
    FlatButton& operator=(const FlatButton&) = delete;

    // Tab reaches the buttons of a window in the order they were created.
    // `id` is never IDOK or IDCANCEL, the commands of Enter and Escape.
    // Creating the first flat button of `parent` makes it (and its
    // ancestors) a control parent, and has it draw and click its buttons.
    // What a click throws is reported to `ui`.
    void Create(UiContext& ui, HWND parent, int x, int y, int width, int height, const std::wstring& caption,
                const std::wstring& hint = {}, int id = 0);

    HWND hwnd() const { return hwnd_; }
    void SetCaption(const std::wstring& caption);
    std::wstring Caption() const;
    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetFont(HFONT font);

    std::function<void()> OnClick;

private:
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
    static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
    static FlatButton* FromChild(HWND parent, HWND child);
    void Draw(const DRAWITEMSTRUCT& item) const;
    void SetHot(bool hot);

    UiContext* ui_ = nullptr;
    HWND hwnd_ = nullptr;
    bool hot_ = false;
    bool tracking_ = false;
};

}  // namespace win
