#pragma once
// A 32-bit top-down DIB section: the pixel layout of orvane::Image32 (rows
// top to bottom, 0xAARRGGBB), drawable through GDI and readable in place.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "win32/handles.h"

namespace win {

// The header of a 32-bit top-down bitmap of that size.
BITMAPINFO TopDown32BitmapInfo(int width, int height);

class DibSection {
public:
    DibSection() = default;
    // Empty (operator bool false) when the system refuses the bitmap, out of
    // memory for instance, or for an empty size.
    DibSection(int width, int height);
    DibSection(DibSection&&) noexcept = default;
    DibSection& operator=(DibSection&&) noexcept = default;

    explicit operator bool() const { return static_cast<bool>(bitmap_) && bits_; }
    HBITMAP get() const { return static_cast<HBITMAP>(bitmap_.get()); }
    std::uint32_t* bits() const { return bits_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    GdiObject bitmap_;
    std::uint32_t* bits_ = nullptr;  // owned by the section
    int width_ = 0;
    int height_ = 0;
};

// A DIB section selected into a memory DC of its own for as long as this
// lives; the previous bitmap of the DC goes back before the DC is deleted.
class DibSurface {
public:
    DibSurface() = default;
    DibSurface(int width, int height);
    DibSurface(DibSurface&&) noexcept = default;
    DibSurface& operator=(DibSurface&& other) noexcept;

    explicit operator bool() const { return static_cast<bool>(dib_) && static_cast<bool>(dc_); }
    HDC dc() const { return dc_.get(); }
    std::uint32_t* bits() const { return dib_.bits(); }
    int width() const { return dib_.width(); }
    int height() const { return dib_.height(); }

    // Keeps the surface when it already has that size; otherwise makes a new
    // one. False when the system refuses it (the surface is then empty).
    bool Ensure(int width, int height);

private:
    // Members in this order: the selection is undone first, then the DC is
    // deleted, and the bitmap, no longer selected anywhere, last.
    DibSection dib_;
    MemDc dc_;
    std::unique_ptr<SelectGuard> selected_;
};

}  // namespace win
