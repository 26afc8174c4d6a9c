#include "wallpaper/current_picture.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bmp_file.h"
#include "core/error.h"
#include "core/jpeg_decoder.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// No picture the program accepts needs a larger file: a 32-bit bitmap at the
// largest accepted size, plus room for its headers.
constexpr std::uint64_t kMaxFileBytes = kMaxPicturePixels * 4 + (1u << 20);

[[noreturn]] void Fail(const char* pattern, const std::wstring& path) {
    throw Error(FormatMessage1(pattern, win::Narrow(path)));
}

// Paths from MAX_PATH on reach the file functions only with the "\\?\"
// prefix, which in turn wants a full path without "." or "..".
std::wstring ForFileApi(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD got = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The extension after the last point of the file name (not of a folder).
std::wstring ExtensionOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

std::wstring AsciiLower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

// Nothing at all under that name. A folder, or a file that cannot be
// looked at, is something: decoding it gives the user a reason.
bool NothingAt(const std::wstring& path) {
    if (path.empty()) return true;
    if (::GetFileAttributesW(ForFileApi(path).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE: case ERROR_BAD_NETPATH: case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME: case ERROR_DIRECTORY: case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

Bytes ReadPictureFile(const std::wstring& path) {
    const std::wstring api = ForFileApi(path);
    const DWORD attributes = ::GetFileAttributesW(api.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        Fail("'%s' est un dossier et non un fichier image", path);
    win::FileHandle file(::CreateFileW(api.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) Fail("Impossible d'ouvrir le fichier %s", path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) Fail("Impossible de lire le fichier %s", path);
    if (size.QuadPart == 0) Fail("Le fichier %s est vide", path);
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxFileBytes) Fail("Le fichier %s est trop volumineux", path);

    Bytes data(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 24));
        DWORD got = 0;
        if (!::ReadFile(file.get(), data.data() + done, chunk, &got, nullptr)) Fail("Impossible de lire le fichier %s", path);
        if (got == 0) break;  // shrank while being read
        done += got;
    }
    data.resize(done);
    if (data.empty()) Fail("Le fichier %s est vide", path);
    return data;
}

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) { return Get16(p) | (static_cast<std::uint32_t>(Get16(p + 2)) << 16); }

// ---- a 32-bit drawing surface -------------------------------------------------

// A top-down 32-bit DIB section selected into its own memory DC, filled
// white (the background a fresh bitmap canvas shows), whose bits are the
// Image32 layout once drawing is done.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height) {
        if (!PictureSizeAcceptable(width, height) || width == 0 || height == 0)
            throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                       std::to_string(width) + " x " + std::to_string(height)));
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_.reset(::CreateCompatibleDC(nullptr));
        bitmap_.reset(::CreateDIBSection(dc_.get(), &bmi, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (!dc_ || !bitmap_ || !bits_)
            throw Error(FormatMessage1("Mémoire insuffisante pour une image de %s pixels",
                                       std::to_string(width) + " x " + std::to_string(height)));
        select_.emplace(dc_.get(), bitmap_.get());
        std::fill_n(static_cast<std::uint32_t*>(bits_), Count(), 0x00FFFFFFu);
    }

    HDC dc() const { return dc_.get(); }

    Image32 Take() const {
        ::GdiFlush();
        Image32 image;
        image.width = width_;
        image.height = height_;
        const auto* p = static_cast<const std::uint32_t*>(bits_);
        image.pixels.assign(p, p + Count());
        return image;
    }

private:
    std::size_t Count() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }

    int width_, height_;
    void* bits_ = nullptr;
    win::MemDc dc_;
    win::GdiObject bitmap_;
    std::optional<win::SelectGuard> select_;  // declared last: deselects before the bitmap dies
};

int ScreenDpi() {
    win::WindowDc screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

// ---- decoders -----------------------------------------------------------------

// The platform draws the bytes CheckBmp has just passed (palettes, RLE, bit
// fields, core headers, either row order) onto a 32-bit surface: what was
// checked is exactly what is decoded, and long paths need no second opening.
Image32 DecodeBmpFile(const std::wstring& path, const Bytes& data) {
    const BmpInfo info = CheckBmp(data.data(), data.size());
    // The info header sits at offset 14 of the file, two bytes off the
    // alignment of its DWORD fields: GDI gets an aligned copy of it with its
    // masks and up to 256 colours (all it ever reads), zeros past the file's.
    const std::size_t offBits = Get32(&data[10]);
    const std::size_t tables = std::min<std::size_t>(offBits - sizeof(BITMAPFILEHEADER), Get32(&data[14]) + 12 + 256 * 4);
    std::vector<std::uint32_t> header((Get32(&data[14]) + 12 + 256 * 4 + 3) / 4, 0);
    std::memcpy(header.data(), data.data() + sizeof(BITMAPFILEHEADER), tables);
    Surface surface(info.width, info.height);
    if (::StretchDIBits(surface.dc(), 0, 0, info.width, info.height, 0, 0, info.width, info.height,
                        data.data() + offBits, reinterpret_cast<const BITMAPINFO*>(header.data()), DIB_RGB_COLORS,
                        SRCCOPY) == 0)
        Fail("Windows ne reconnaît pas le bitmap %s", path);
    return surface.Take();
}

// The icon directory must describe images that lie inside the file before
// Windows is handed it.
void CheckIcon(const std::wstring& path, const Bytes& data) {
    if (data.size() < 6 || Get16(&data[0]) != 0 || Get16(&data[2]) != 1) Fail("Le fichier %s n'est pas une icône", path);
    const std::size_t count = Get16(&data[4]);
    if (count == 0 || data.size() < 6 + 16 * count) Fail("Icône incorrecte ou tronquée : %s", path);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &data[6 + 16 * i];
        const std::uint64_t bytes = Get32(e + 8), offset = Get32(e + 12);
        if (bytes < 40 || offset < 6 + 16 * count || offset + bytes > data.size())
            Fail("Icône incorrecte ou tronquée : %s", path);
    }
}

Image32 DecodeIconFile(const std::wstring& path, const Bytes& data) {
    CheckIcon(path, data);
    // Windows' choice for an icon loaded at its own size: the size of the
    // first image, in the deepest colours found at that size.
    const std::size_t count = Get16(&data[4]);
    auto sizeOf = [&](std::size_t i) {
        const std::uint8_t* e = &data[6 + 16 * i];
        return std::pair<int, int>(e[0] ? e[0] : 256, e[1] ? e[1] : 256);
    };
    auto depthOf = [&](std::size_t i) {
        const std::uint8_t* e = &data[6 + 16 * i];
        const int bits = Get16(e + 6);
        if (bits) return bits;
        int colours = e[2] ? e[2] : 256, depth = 0;
        while ((1 << depth) < colours) ++depth;
        return depth;
    };
    const auto size = sizeOf(0);
    std::size_t best = 0;
    for (std::size_t i = 1; i < count; ++i)
        if (sizeOf(i) == size && depthOf(i) > depthOf(best)) best = i;
    const std::uint8_t* entry = &data[6 + 16 * best];
    win::Icon icon(::CreateIconFromResourceEx(const_cast<PBYTE>(&data[Get32(entry + 12)]), Get32(entry + 8), TRUE,
                                              0x00030000, size.first, size.second, LR_DEFAULTCOLOR));
    if (!icon) Fail("Windows ne reconnaît pas l'icône %s", path);
    ICONINFO ii{};
    if (!::GetIconInfo(icon.get(), &ii)) Fail("Windows ne reconnaît pas l'icône %s", path);
    const win::GdiObject colour(ii.hbmColor), mask(ii.hbmMask);  // copies that GetIconInfo hands over
    BITMAP bm{};
    int width = 0, height = 0;
    if (colour && ::GetObjectW(colour.get(), sizeof(bm), &bm)) {
        width = bm.bmWidth, height = bm.bmHeight;
    } else if (mask && ::GetObjectW(mask.get(), sizeof(bm), &bm)) {
        width = bm.bmWidth, height = bm.bmHeight / 2;  // monochrome: AND mask over XOR mask
    }
    if (width <= 0 || height <= 0) Fail("Windows ne reconnaît pas l'icône %s", path);
    Surface surface(width, height);
    if (!::DrawIconEx(surface.dc(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL))
        Fail("Impossible de dessiner l'icône %s", path);
    return surface.Take();
}

// Size of an enhanced metafile's picture frame (0.01 mm) in pixels of its
// reference device; the drawn bounds when the frame is missing.
SIZE EnhMetaFileSize(const ENHMETAHEADER& h) {
    const LONG fw = h.rclFrame.right - h.rclFrame.left, fh = h.rclFrame.bottom - h.rclFrame.top;
    if (fw > 0 && fh > 0 && h.szlMillimeters.cx > 0 && h.szlMillimeters.cy > 0 && h.szlDevice.cx > 0 &&
        h.szlDevice.cy > 0) {
        const double w = static_cast<double>(fw) * h.szlDevice.cx / (h.szlMillimeters.cx * 100.0);
        const double ht = static_cast<double>(fh) * h.szlDevice.cy / (h.szlMillimeters.cy * 100.0);
        if (w < 1e7 && ht < 1e7) return {std::max(1L, static_cast<LONG>(w + 0.5)), std::max(1L, static_cast<LONG>(ht + 0.5))};
        return {LONG_MAX, LONG_MAX};
    }
    return {h.rclBounds.right - h.rclBounds.left + 1, h.rclBounds.bottom - h.rclBounds.top + 1};
}

Image32 PlayEnhMetaFile(const std::wstring& path, HENHMETAFILE emf, SIZE size) {
    if (size.cx <= 0 || size.cy <= 0) Fail("Le métafichier %s n'a pas de dimensions", path);
    if (!PictureSizeAcceptable(size.cx, size.cy))
        throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                   std::to_string(size.cx) + " x " + std::to_string(size.cy)));
    Surface surface(size.cx, size.cy);
    const RECT target{0, 0, size.cx, size.cy};
    if (!::PlayEnhMetaFile(surface.dc(), emf, &target)) Fail("Impossible de dessiner le métafichier %s", path);
    return surface.Take();
}

Image32 DecodeEmfFile(const std::wstring& path, const Bytes& data) {
    // EMR_HEADER first, with the " EMF" signature and a length inside the file.
    if (data.size() < 88 || Get32(&data[0]) != EMR_HEADER || Get32(&data[40]) != ENHMETA_SIGNATURE)
        Fail("Le fichier %s n'est pas un métafichier amélioré", path);
    const std::uint32_t headerBytes = Get32(&data[4]), total = Get32(&data[48]);
    if (headerBytes < 88 || headerBytes > data.size() || total < headerBytes || total > data.size())
        Fail("Métafichier incorrect ou tronqué : %s", path);
    win::EnhMetaFile emf(::SetEnhMetaFileBits(total, data.data()));
    if (!emf) Fail("Windows ne reconnaît pas le métafichier %s", path);
    ENHMETAHEADER header{};
    if (!::GetEnhMetaFileHeader(emf.get(), sizeof(header), &header)) Fail("Windows ne reconnaît pas le métafichier %s", path);
    return PlayEnhMetaFile(path, emf.get(), EnhMetaFileSize(header));
}

Image32 DecodeWmfFile(const std::wstring& path, const Bytes& data) {
    constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
    constexpr std::size_t kPlaceableBytes = 22, kMetaHeaderBytes = 18;
    const bool placeable = data.size() >= 4 && Get32(&data[0]) == kPlaceableKey;
    const std::size_t start = placeable ? kPlaceableBytes : 0;
    if (data.size() < start + kMetaHeaderBytes) Fail("Métafichier incorrect ou tronqué : %s", path);
    const std::uint8_t* mh = &data[start];
    const std::uint32_t type = Get16(mh), headerWords = Get16(mh + 2);
    if ((type != 1 && type != 2) || headerWords != 9) Fail("Le fichier %s n'est pas un métafichier Windows", path);
    const std::size_t bytes = data.size() - start;

    // The records must chain inside the data up to the end record; the
    // window extent they set is the picture's size when no placeable header
    // gives one.
    int extX = 0, extY = 0;
    bool ended = false;
    for (std::size_t at = kMetaHeaderBytes; at + 6 <= bytes;) {
        const std::uint64_t words = Get32(mh + at);
        const std::uint32_t function = Get16(mh + at + 4);
        if (words < 3 || at + words * 2 > bytes) Fail("Métafichier incorrect ou tronqué : %s", path);
        if (function == 0x0000) {
            ended = true;
            break;
        }
        if (function == 0x020C && words >= 5) {  // META_SETWINDOWEXT: y, x
            extY = static_cast<std::int16_t>(Get16(mh + at + 6));
            extX = static_cast<std::int16_t>(Get16(mh + at + 8));
        }
        at += static_cast<std::size_t>(words) * 2;
    }
    if (!ended) Fail("Métafichier incorrect ou tronqué : %s", path);

    SIZE size{};
    METAFILEPICT mfp{};
    mfp.mm = MM_ANISOTROPIC;
    const int dpi = ScreenDpi();
    if (placeable) {
        const int left = static_cast<std::int16_t>(Get16(&data[6])), top = static_cast<std::int16_t>(Get16(&data[8]));
        const int right = static_cast<std::int16_t>(Get16(&data[10])), bottom = static_cast<std::int16_t>(Get16(&data[12]));
        const int inch = Get16(&data[14]);
        if (inch == 0) Fail("Métafichier incorrect : %s", path);
        size.cx = ::MulDiv(std::abs(right - left), dpi, inch);
        size.cy = ::MulDiv(std::abs(bottom - top), dpi, inch);
    } else {
        size.cx = std::abs(extX);
        size.cy = std::abs(extY);
    }
    if (size.cx <= 0 || size.cy <= 0) Fail("Le métafichier %s n'a pas de dimensions", path);
    if (!PictureSizeAcceptable(size.cx, size.cy))
        throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                   std::to_string(size.cx) + " x " + std::to_string(size.cy)));
    // The picture's extent in 0.01 mm, so the converted metafile keeps it.
    mfp.xExt = ::MulDiv(size.cx, 2540, dpi);
    mfp.yExt = ::MulDiv(size.cy, 2540, dpi);
    win::WindowDc screen(nullptr);
    win::EnhMetaFile emf(::SetWinMetaFileBits(static_cast<UINT>(bytes), mh, screen.get(), &mfp));
    if (!emf) Fail("Windows ne reconnaît pas le métafichier %s", path);
    return PlayEnhMetaFile(path, emf.get(), size);
}

}  // namespace

Image32 DecodePictureFile(const std::wstring& path) {
    const std::wstring extension = ExtensionOf(path);
    const std::wstring kind = AsciiLower(extension);
    Image32 (*decoder)(const std::wstring&, const Bytes&) = nullptr;
    if (kind == L"bmp") decoder = DecodeBmpFile;
    else if (kind == L"ico") decoder = DecodeIconFile;
    else if (kind == L"emf") decoder = DecodeEmfFile;
    else if (kind == L"wmf") decoder = DecodeWmfFile;
    else if (kind == L"jpg" || kind == L"jpeg")
        decoder = [](const std::wstring&, const Bytes& data) { return DecodeJpeg(data.data(), data.size()); };
    if (!decoder) throw Error(FormatMessage1("Extension de fichier graphique inconnue (.%s)", win::Narrow(extension)));
    try {
        const Bytes data = ReadPictureFile(path);
        Image32 image = decoder(path, data);
        for (std::uint32_t& p : image.pixels) p |= 0xFF000000u;
        return image;
    } catch (const std::bad_alloc&) {
        // A picture of an accepted size can still exceed what this process
        // can get at the moment; the previous picture stays.
        Fail("Mémoire insuffisante pour charger l'image %s", path);
    }
}

bool CurrentPicture::Load(const std::wstring& path) {
    hasImage_ = true;
    if (NothingAt(path)) return false;
    Image32 decoded = DecodePictureFile(path);  // on error image 0 stays as it was
    image_ = std::move(decoded);
    return true;
}

std::uint32_t CurrentPicture::TopLeftPixel() const {
    if (!HasPicture()) throw Error("Aucune image n'est chargée");
    return image_.at(0, 0);
}

void CurrentPicture::Set(Image32 image) {
    hasImage_ = true;
    image_ = std::move(image);
}

}  // namespace orvane
