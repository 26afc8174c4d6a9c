#pragma once
// The about box `Form2`.
#include <windows.h>

#include <memory>
#include <string>

#include "win32/window.h"

namespace orvane {

// The project's contact address, shown on line 10 of the about box.
inline constexpr wchar_t kContactAddress[] = L"contact@orvane.fr";

inline constexpr int kAboutMemoId = 201;
inline constexpr int kAboutOkId = 202;

// The text of `Memo1`, its lines joined by CR LF.
std::wstring AboutText();

class TForm2 : public win::Window {
public:
    TForm2();
    ~TForm2() override;
    void CreateHidden();
    int ShowModal();
    bool Visible() const;
    void BringToFront();

    void SpeedButton1Click();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
