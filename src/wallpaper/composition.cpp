#include "wallpaper/composition.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "core/bmp_file.h"
#include "core/composition.h"
#include "core/error.h"
#include "win32/file_io.h"
#include "win32/gdi_canvas.h"
#include "win32/handles.h"
#include "win32/locale_names.h"
#include "win32/strings.h"

namespace orvane {

WallpaperTarget CurrentWallpaperTarget() {
    WallpaperTarget t;
    t.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    t.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    win::WindowDc screen(nullptr);
    if (screen.get()) t.bitsPerPixel = ::GetDeviceCaps(screen.get(), BITSPIXEL);
    t.today = win::Today();
    return t;
}

void DrawOnImageWithGdi(Image32& image, const std::function<void(Canvas&)>& draw) {
    if (image.empty()) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = image.width;
    bi.bmiHeader.biHeight = -image.height;  // top-down, the row order of Image32
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win::GdiObject dib(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    win::MemDc dc(::CreateCompatibleDC(nullptr));
    if (!dib || !bits || !dc)
        throw Error(FormatMessage1("Mémoire insuffisante pour dessiner le calendrier sur une image de %s pixels",
                                   std::to_string(image.width) + " x " + std::to_string(image.height)));
    const std::size_t bytes = image.pixels.size() * sizeof(std::uint32_t);
    std::memcpy(bits, image.pixels.data(), bytes);
    {
        win::SelectGuard select(dc.get(), dib.get());
        win::GdiCanvas canvas(dc.get());
        draw(canvas);
    }
    // GDI may batch drawing calls: they must have reached the bits first.
    ::GdiFlush();
    const auto* src = static_cast<const std::uint32_t*>(bits);
    // GDI leaves 0 in the byte it does not know about; the picture's
    // convention is an opaque 255 there.
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = src[i] | 0xFF000000u;
}

void ComposeWallpaperFile(const std::wstring& fileName, WallpaperSettings& settings, const Image32& picture,
                          const WallpaperTarget& target, const LocaleNames& names) {
    const Image32 bitmap = ComposeWallpaper(picture, settings, target.screenWidth, target.screenHeight, target.today,
                                            names, DrawOnImageWithGdi);
    const std::vector<std::uint8_t> file = EncodeBmp(bitmap, target.bitsPerPixel);
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
    if (!win::ReplaceFileAtomically(fileName, bytes))
        throw Error(FormatMessage1("Impossible de créer le fichier %s", win::Narrow(fileName)));
}

void ComposeWallpaperFile(const std::wstring& fileName, WallpaperSettings& settings, const Image32& picture) {
    ComposeWallpaperFile(fileName, settings, picture, CurrentWallpaperTarget(), win::UserLocaleNames());
}

}  // namespace orvane
