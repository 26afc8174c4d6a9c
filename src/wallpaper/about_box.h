#pragma once
// The about box `Form2`.
#include <windows.h>

#include <memory>

#include "win32/window.h"

namespace orvane {

// The project's contact address, shown on line 10 of the about box.
inline constexpr wchar_t kContactAddress[] = L"contact@orvane.fr";

class TForm2 : public win::Window {
public:
    TForm2();
    ~TForm2() override;
    void CreateHidden();
    int ShowModal();
    bool Visible() const;
    void BringToFront();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
