#pragma once
// The calendar's Canvas over a GDI device context.
#include <windows.h>

#include <functional>

#include "core/picture/canvas.h"
#include "core/picture/image.h"

namespace win {

class GdiCanvas : public orvane::Canvas {
public:
    explicit GdiCanvas(HDC dc);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    void SetFontFace(const std::string& face) override;
    void SetFontHeight(int height) override;
    int FontHeight() const override;
    void SetFontBold(bool bold) override;
    void SetFontColour(orvane::Colour colour) override;
    int TextWidth(const std::string& utf8) override;
    int TextHeight(const std::string& utf8) override;
    void PutText(int x, int y, const std::string& utf8) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    orvane::Colour BrushColour() const override;
    void SetBrushColour(orvane::Colour colour) override;
    void Fill(int left, int top, int right, int bottom) override;
    bool TransparentBackground() const override;
    void SetTransparentBackground(bool transparent) override;

private:
    struct Impl;
    Impl* impl_;
};

// Runs `draw` on a GDI canvas whose pixels are those of `image` (a 32-bit
// DIB section filled from it and copied back, the top byte set to 255).
// Throws Error when the system cannot give the bitmap.
void DrawOnImage(orvane::Image32& image, const std::function<void(orvane::Canvas&)>& draw);

}  // namespace win
