#pragma once
// A Canvas over an Image32 for places without a text engine (the benchmark,
// native tests): fills and lines land exactly where a GDI device context puts
// them; text is measured with a fixed estimate and not drawn.
#include <string>

#include "core/picture/canvas.h"
#include "core/picture/image.h"

namespace orvane {

// 0xAARRGGBB pixel (top byte 255) of a Windows colour value 0x00BBGGRR.
std::uint32_t PixelOfColour(Colour colour);

class ImageCanvas : public Canvas {
public:
    // Draws into `image`, which must outlive the canvas. The pen is one pixel
    // wide and solid, of `penColour` (black by default, as a new GDI DC).
    explicit ImageCanvas(Image32& image, Colour penColour = 0);

    // False: PutText draws nothing. Callers that show their output tell the
    // user the text is missing.
    static constexpr bool DrawsText() { return false; }

    void SetFontFace(const std::string& face) override { face_ = face; }
    void SetFontHeight(int height) override { fontHeight_ = height; }
    int FontHeight() const override { return fontHeight_; }
    void SetFontBold(bool bold) override { bold_ = bold; }
    void SetFontColour(Colour colour) override { fontColour_ = colour; }

    // Estimates of a proportional face: a cell of |height| pixels (16 for
    // the default height 0), characters averaging half the cell's width,
    // bold a tenth wider. They grow with the height, as real faces do.
    int TextWidth(const std::string& utf8) override;
    int TextHeight(const std::string& utf8) override;
    void PutText(int x, int y, const std::string& utf8) override {}

    void MoveTo(int x, int y) override;
    // Bresenham's line from the current position, the end point excluded,
    // which then becomes the current position (GDI's LineTo).
    void LineTo(int x, int y) override;

    Colour BrushColour() const override { return brush_; }
    void SetBrushColour(Colour colour) override { brush_ = colour; }
    // FillRect: left and top included, right and bottom excluded; with swapped
    // corners the fill runs from the first corner backwards, as in GDI.
    void Fill(int left, int top, int right, int bottom) override;

    bool TransparentBackground() const override { return transparent_; }
    void SetTransparentBackground(bool transparent) override { transparent_ = transparent; }

private:
    int CellHeight() const;

    Image32& image_;
    std::uint32_t penPixel_;
    std::string face_;
    int fontHeight_ = 0;
    bool bold_ = false;
    Colour fontColour_ = 0;
    Colour brush_ = 0x00FFFFFF;  // a new DC's brush is white
    bool transparent_ = false;   // a new DC paints text backgrounds (OPAQUE)
    long long penX_ = 0, penY_ = 0;
};

}  // namespace orvane
