#include "win32/dib_section.h"

namespace win {

BITMAPINFO TopDown32BitmapInfo(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // negative: the first row is the top one
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

DibSection::DibSection(int width, int height) {
    if (width <= 0 || height <= 0) return;
    const BITMAPINFO bi = TopDown32BitmapInfo(width, height);
    void* raw = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &raw, nullptr, 0));
    if (!bitmap_ || !raw) {
        bitmap_.reset();
        return;
    }
    bits_ = static_cast<std::uint32_t*>(raw);
    width_ = width;
    height_ = height;
}

DibSurface::DibSurface(int width, int height) : dib_(width, height) {
    if (!dib_) return;
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!dc_) {
        dib_ = DibSection();
        return;
    }
    selected_ = std::make_unique<SelectGuard>(dc_.get(), dib_.get());
}

DibSurface& DibSurface::operator=(DibSurface&& other) noexcept {
    if (this == &other) return *this;
    // Undo the selection before the bitmap goes: a selected bitmap cannot be deleted.
    selected_.reset();
    dc_.reset();
    dib_ = std::move(other.dib_);
    dc_ = std::move(other.dc_);
    selected_ = std::move(other.selected_);
    return *this;
}

bool DibSurface::Ensure(int width, int height) {
    if (*this && width == this->width() && height == this->height()) return true;
    *this = DibSurface(width, height);
    return static_cast<bool>(*this);
}

}  // namespace win
