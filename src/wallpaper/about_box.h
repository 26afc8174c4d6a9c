#pragma once
// The about box: the program's name, version, authors and contact address.
#include <windows.h>

#include <memory>
#include <string>

#include "win32/window.h"

namespace orvane {

// The project's contact address, shown on line 10 of the about box.
inline constexpr wchar_t kContactAddress[] = L"contact@orvane.fr";

inline constexpr int kAboutMemoId = 201;
inline constexpr int kAboutOkId = 202;

// The box's text, its lines joined by CR LF.
std::wstring AboutText();

class AboutBox : public win::Window {
public:
    explicit AboutBox(win::UiContext& ui);
    ~AboutBox() override;
    // Creates the box hidden, owned by `owner` (the main window).
    void Create(HWND owner);
    int ShowModal();
    bool Visible() const;
    void BringToFront();

    void OnOkClicked();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    HWND owner_ = nullptr;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
