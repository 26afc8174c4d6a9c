#pragma once
// The drawing surface the calendar is drawn through. The GDI implementation
// serves the program; tests record the calls.
#include <cstdint>
#include <string>

namespace orvane {

using Colour = std::uint32_t;  // Windows colour value 0x00BBGGRR

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void SetFontFace(const std::string& face) = 0;
    virtual void SetFontHeight(int height) = 0;  // > 0 cell height, < 0 character height, 0 default
    virtual int FontHeight() const = 0;
    virtual void SetFontBold(bool bold) = 0;
    virtual void SetFontColour(Colour colour) = 0;

    virtual int TextWidth(const std::string& utf8) = 0;
    virtual int TextHeight(const std::string& utf8) = 0;
    virtual void PutText(int x, int y, const std::string& utf8) = 0;

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;  // end point excluded, current pen

    virtual Colour BrushColour() const = 0;
    virtual void SetBrushColour(Colour colour) = 0;
    virtual void Fill(int left, int top, int right, int bottom) = 0;  // right/bottom excluded

    virtual bool TransparentBackground() const = 0;
    virtual void SetTransparentBackground(bool transparent) = 0;
};

}  // namespace orvane
