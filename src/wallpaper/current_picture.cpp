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

// ---- metafile records -----------------------------------------------------------

// The platform plays metafile records as they come: the counts, offsets and
// handle indexes inside them are trusted, and a damaged one reads outside
// the record. Every record that carries such a value is checked first.
class RecordView {
public:
    RecordView(const std::uint8_t* p, std::size_t size) : p_(p), size_(size) {}
    std::uint32_t U32(std::size_t at) const { return at + 4 <= size_ ? Get32(p_ + at) : 0; }
    std::uint32_t U16(std::size_t at) const { return at + 2 <= size_ ? Get16(p_ + at) : 0; }
    // [offset, offset + bytes) inside the record.
    bool Holds(std::uint64_t offset, std::uint64_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return p_; }

private:
    const std::uint8_t* p_;
    std::size_t size_;
};

// A bitmap inside a record (header at offBmi, pixels at offBits) must be a
// complete one: the same check as a bitmap file, on the pieces put together.
bool EmbeddedBitmapSound(const RecordView& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
                         std::size_t cbBits) {
    if (!r.Holds(offBmi, cbBmi) || !r.Holds(offBits, cbBits)) return false;
    if (cbBmi == 0) return offBmi == 0;  // no source bitmap: the player looks at the offset only
    Bytes file(14 + cbBmi + cbBits, 0);
    file[0] = 'B', file[1] = 'M';
    const std::uint32_t off = static_cast<std::uint32_t>(14 + cbBmi);
    for (int i = 0; i < 4; ++i) file[10 + i] = static_cast<std::uint8_t>(off >> (8 * i));
    std::memcpy(&file[14], r.data() + offBmi, cbBmi);
    if (cbBits) std::memcpy(&file[off], r.data() + offBits, cbBits);
    try {
        CheckBmp(file.data(), file.size());
        return true;
    } catch (const Error&) {
        return false;
    }
}

bool RegionSound(const RecordView& r, std::size_t offData, std::size_t cbData) {
    if (!r.Holds(offData, cbData) || cbData < 32) return cbData == 0 && r.Holds(offData, 0);
    const std::uint64_t rects = r.U32(offData + 8);
    return r.U32(offData) >= 32 && 32 + rects * 16 <= cbData;
}

bool EmfRecordSound(const RecordView& r, std::uint32_t type, std::uint32_t handles) {
    auto handle = [&](std::size_t at) {
        const std::uint32_t h = r.U32(at);
        if (h & 0x80000000u) return (h & 0x7FFFFFFFu) <= 19;  // stock objects, up to DC_PEN
        return h < handles;
    };
    // A slot of the handle table that a record fills or empties: never a
    // stock object, never slot 0 (the metafile's own).
    auto slot = [&](std::size_t at) {
        const std::uint32_t h = r.U32(at);
        return h >= 1 && h < handles;
    };
    // Coordinates the platform can draw with (GDI keeps to 27 bits).
    auto coords = [&](std::size_t at, std::uint64_t count) {
        if (!r.Holds(at, count * 4)) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::int32_t v = static_cast<std::int32_t>(r.U32(at + 4 * i));
            if (v < -(1 << 27) || v > (1 << 27)) return false;
        }
        return true;
    };
    // A bounds rectangle: in range, and ordered (empty ones are 0, 0, -1, -1).
    auto bounds = [&](std::size_t at) {
        if (!coords(at, 4)) return false;
        const std::int32_t l = static_cast<std::int32_t>(r.U32(at)), t = static_cast<std::int32_t>(r.U32(at + 4));
        const std::int32_t rr = static_cast<std::int32_t>(r.U32(at + 8)), b = static_cast<std::int32_t>(r.U32(at + 12));
        return l <= rr + 1 && t <= b + 1;
    };
    switch (type) {
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 56: case 85: case 86: case 87: case 88:
        case 89: case 90: case 91: case 92: case 71: case 72: case 73: case 74: case 76: case 77: case 78:
        case 79: case 80: case 81: case 83: case 84: case 96: case 97: case 114: case 116:
            if (!bounds(8)) return false;  // every drawing record starts with its bounds
            break;
        case 9: case 10: case 11: case 12: case 15: case 27: case 54:  // extents, origins, points
            return coords(8, 2);
        case 41: return coords(8, 3);  // ANGLEARC: centre, radius
        case 42: case 43: return coords(8, 4);  // ELLIPSE, RECTANGLE
        case 44: return coords(8, 6);           // ROUNDRECT
        case 45: case 46: case 47: case 55: return coords(8, 8);  // ARC, CHORD, PIE, ARCTO
        case 38: return slot(8) && coords(16, 2) && static_cast<std::int32_t>(r.U32(16)) >= 0 &&
                        r.U32(16) <= (1u << 20);  // CREATEPEN: a sane width
        case 95: if (r.U32(32) > (1u << 20)) return false; break;  // EXTCREATEPEN width
        default: break;
    }
    auto text = [&](std::size_t at, std::size_t charBytes) {  // an EMRTEXT at `at`
        if (!r.Holds(at, 40)) return false;
        const std::uint64_t n = r.U32(at + 8), offString = r.U32(at + 12), offDx = r.U32(at + 36);
        const std::uint32_t options = r.U32(at + 16);
        const std::uint64_t dxBytes = (options & 0x2000 /* ETO_PDY */) ? 8 : 4;
        return r.Holds(offString, n * charBytes) && (offDx == 0 || r.Holds(offDx, n * dxBytes));
    };
    switch (type) {
        case 2: case 3: case 4: case 5: case 6:  // poly records: count, points
            return coords(28, std::uint64_t{r.U32(24)} * 2);
        case 85: case 86: case 87: case 88: case 89:  // the same with 16-bit points
            return r.Holds(28, std::uint64_t{r.U32(24)} * 4);
        case 7: case 8: case 90: case 91: {  // poly-poly: counts, then points
            const std::uint64_t polys = r.U32(24), points = r.U32(28), pointBytes = type <= 8 ? 8 : 4;
            if (!r.Holds(32, polys * 4 + points * pointBytes)) return false;
            if (type <= 8 && !coords(32 + polys * 4, points * 2)) return false;
            std::uint64_t sum = 0;
            for (std::uint64_t i = 0; i < polys; ++i) sum += r.U32(32 + 4 * i);
            return sum <= points;
        }
        case 56: return r.Holds(28, std::uint64_t{r.U32(24)} * 9) && coords(28, std::uint64_t{r.U32(24)} * 2);  // POLYDRAW
        case 92: return r.Holds(28, std::uint64_t{r.U32(24)} * 5);  // POLYDRAW16
        case 83: return text(36, 1);  // EXTTEXTOUTA
        case 84: return text(36, 2);  // EXTTEXTOUTW
        case 96: case 97: {           // POLYTEXTOUTA/W
            const std::uint64_t strings = r.U32(36);
            if (!r.Holds(40, strings * 40)) return false;
            for (std::uint64_t i = 0; i < strings; ++i)
                if (!text(40 + 40 * i, type == 96 ? 1 : 2)) return false;
            return true;
        }
        case 108: {  // SMALLTEXTOUT
            const std::uint32_t options = r.U32(20);
            const std::size_t head = 36 + ((options & 0x100 /* ETO_NO_RECT */) ? 0 : 16);
            return r.Holds(head, std::uint64_t{r.U32(16)} * ((options & 0x200 /* ETO_SMALL_CHARS */) ? 1 : 2));
        }
        case 76: case 77: case 114: case 116:  // BITBLT, STRETCHBLT, ALPHABLEND, TRANSPARENTBLT
            return r.size() >= (type == 76 ? 100u : 108u) &&
                   EmbeddedBitmapSound(r, r.U32(84), r.U32(88), r.U32(92), r.U32(96));
        case 78:  // MASKBLT
            return r.size() >= 128 && EmbeddedBitmapSound(r, r.U32(84), r.U32(88), r.U32(92), r.U32(96)) &&
                   EmbeddedBitmapSound(r, r.U32(112), r.U32(116), r.U32(120), r.U32(124));
        case 79:  // PLGBLT
            return r.size() >= 140 && EmbeddedBitmapSound(r, r.U32(96), r.U32(100), r.U32(104), r.U32(108)) &&
                   EmbeddedBitmapSound(r, r.U32(124), r.U32(128), r.U32(132), r.U32(136));
        case 80: case 81:  // SETDIBITSTODEVICE, STRETCHDIBITS
            return r.size() >= (type == 80 ? 76u : 80u) &&
                   EmbeddedBitmapSound(r, r.U32(48), r.U32(52), r.U32(56), r.U32(60));
        case 93: case 94:  // CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: a bitmap is required
            return slot(8) && r.U32(20) > 0 && EmbeddedBitmapSound(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28));
        case 95:  // EXTCREATEPEN: a style array, maybe a pattern bitmap (its width checked above)
            return slot(8) && r.Holds(52, std::uint64_t{r.U32(48)} * 4) &&
                   EmbeddedBitmapSound(r, r.U32(12), r.U32(16), r.U32(20), r.U32(24));
        case 71: case 72: case 73: case 74: {  // FILLRGN, FRAMERGN, INVERTRGN, PAINTRGN
            // The brush of a region record is looked up in the table as it
            // is: no stock objects there.
            const std::size_t at = type == 72 ? 40 : type == 71 ? 32 : 28;
            if (type == 72 && (r.U32(32) > 4096 || r.U32(36) > 4096)) return false;  // frame stroke
            return (type > 72 || r.U32(28) < handles) && RegionSound(r, at, r.U32(24));
        }
        case 75: return RegionSound(r, 16, r.U32(8));  // EXTSELECTCLIPRGN
        case 70: return r.Holds(12, r.U32(8));         // GDICOMMENT
        case 49: return slot(8) && r.Holds(16, std::uint64_t{r.U16(14)} * 4);  // CREATEPALETTE
        case 50: return slot(8) && r.Holds(20, std::uint64_t{r.U32(16)} * 4);  // SETPALETTEENTRIES
        case 39: case 82: case 99: case 122: case 40: case 51:  // creations, deletion, palette resize
            return r.size() >= 12 && slot(8);
        case 37: case 48:  // selections: stock objects allowed
            return r.size() >= 12 && handle(8);
        default:
            return true;
    }
}

// Records chained inside the data up to the end-of-file record, each one
// sound.
bool EmfRecordsSound(const std::uint8_t* data, std::size_t total) {
    const std::uint32_t handles = Get16(data + 52);
    for (std::size_t at = 0; at + 8 <= total;) {
        const std::uint32_t type = Get32(data + at), size = Get32(data + at + 4);
        if (size < 8 || size % 4 != 0 || size > total - at) return false;
        if (type == EMR_EOF) return true;
        if (at > 0 && !EmfRecordSound(RecordView(data + at, size), type, handles)) return false;
        at += size;
    }
    return false;
}

// A packed bitmap (header, colours, pixels in a row) inside a record.
bool PackedDibSound(const RecordView& r, std::size_t at) {
    if (!r.Holds(at, 12)) return false;
    const std::uint32_t header = r.U32(at);
    const bool core = header == 12;
    if (!core && (header < 40 || !r.Holds(at, header))) return false;
    const std::uint32_t bits = r.U16(at + (core ? 10 : 14));
    std::uint64_t colours = core ? 0 : r.U32(at + 32);
    if (bits <= 8 && colours == 0) colours = 1u << bits;
    const std::uint64_t masks = (!core && header == 40 && r.U32(at + 16) == 3) ? 12 : 0;
    const std::uint64_t pixels = header + masks + colours * (core ? 3 : 4);
    if (!r.Holds(at, pixels)) return false;
    return EmbeddedBitmapSound(r, at, static_cast<std::size_t>(pixels), static_cast<std::size_t>(at + pixels),
                               r.size() - static_cast<std::size_t>(at + pixels));
}

// One record of a Windows metafile (`r` starts at its size field).
bool WmfRecordSound(const RecordView& r, std::uint32_t function, std::uint32_t objects) {
    auto object = [&](std::size_t at) { return r.Holds(at, 2) && r.U16(at) < objects; };
    switch (function) {
        case 0x012D: case 0x01F0: case 0x0234: case 0x012C: case 0x012A: case 0x012B:
            return object(6);  // select, delete, select palette, clip region, invert, paint region
        case 0x0228: return object(6) && object(8);  // FILLREGION
        case 0x0429:  // FRAMEREGION: region, brush, and a stroke of sane size
            return object(6) && object(8) && r.U16(10) <= 4096 && r.U16(12) <= 4096;
        case 0x0324: case 0x0325: return r.Holds(8, std::uint64_t{r.U16(6)} * 4);  // POLYGON, POLYLINE
        case 0x0538: {  // POLYPOLYGON: polygon count, point counts, points
            const std::uint64_t polys = r.U16(6);
            if (!r.Holds(8, polys * 2)) return false;
            std::uint64_t points = 0;
            for (std::uint64_t i = 0; i < polys; ++i) points += r.U16(8 + 2 * i);
            return r.Holds(8 + polys * 2, points * 4);
        }
        case 0x0521: return r.Holds(8, ((r.U16(6) + 1u) & ~1u) + 4u);  // TEXTOUT: string, then y, x
        case 0x0A32: {  // EXTTEXTOUT: y, x, count, options, [rectangle], string
            const std::uint32_t options = r.U16(12);
            return r.Holds(14 + ((options & 6) ? 8 : 0), r.U16(10));
        }
        case 0x0940: return r.size() <= 24 || PackedDibSound(r, 22);  // DIBBITBLT with a bitmap
        case 0x0B41: return r.size() <= 28 || PackedDibSound(r, 26);  // DIBSTRETCHBLT with a bitmap
        case 0x0F43: return PackedDibSound(r, 28);                     // STRETCHDIB
        case 0x0142: return PackedDibSound(r, 10);                     // DIBCREATEPATTERNBRUSH
        case 0x0D33: {  // SETDIBTODEV: the scan lines it names must exist
            if (!PackedDibSound(r, 24)) return false;
            const std::int32_t height = r.U32(24) == 12 ? static_cast<std::int32_t>(r.U16(24 + 6))
                                                        : std::abs(static_cast<std::int32_t>(r.U32(24 + 8)));
            return std::int64_t{r.U16(8)} + r.U16(10) <= height;
        }
        case 0x00F7: case 0x0037: return r.Holds(10, std::uint64_t{r.U16(8)} * 4);  // palettes
        case 0x0626: return r.Holds(10, r.U16(8));                                   // ESCAPE
        case 0x06FF: {  // CREATEREGION: scans of (count, top, bottom, count edges, count)
            std::uint64_t at = 6 + 22;
            const std::uint32_t scans = r.U16(6 + 10);
            for (std::uint32_t i = 0; i < scans; ++i) {
                if (!r.Holds(at, 6)) return false;
                const std::uint64_t edges = r.U16(static_cast<std::size_t>(at));  // left and right of each span
                if (!r.Holds(at, 6 + edges * 2 + 2)) return false;
                at += 6 + edges * 2 + 2;
            }
            return true;
        }
        default:
            return true;
    }
}

Image32 DecodeEmfFile(const std::wstring& path, const Bytes& data) {
    // EMR_HEADER first, with the " EMF" signature and a length inside the file.
    if (data.size() < 88 || Get32(&data[0]) != EMR_HEADER || Get32(&data[40]) != ENHMETA_SIGNATURE)
        Fail("Le fichier %s n'est pas un métafichier amélioré", path);
    const std::uint32_t headerBytes = Get32(&data[4]), total = Get32(&data[48]);
    if (headerBytes < 88 || headerBytes > data.size() || total < headerBytes || total > data.size())
        Fail("Métafichier incorrect ou tronqué : %s", path);
    // The reference device, in pixels and in millimetres: the player scales
    // with it.
    for (std::size_t at : {72u, 76u, 80u, 84u}) {
        const std::int32_t v = static_cast<std::int32_t>(Get32(&data[at]));
        if (v <= 0 || v > (1 << 20)) Fail("Métafichier incorrect : %s", path);
    }
    if (!EmfRecordsSound(data.data(), total)) Fail("Métafichier incorrect ou tronqué : %s", path);
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
    const std::uint32_t objects = Get16(mh + 10);
    for (std::size_t at = kMetaHeaderBytes; at + 6 <= bytes;) {
        const std::uint64_t words = Get32(mh + at);
        const std::uint32_t function = Get16(mh + at + 4);
        if (words < 3 || at + words * 2 > bytes) Fail("Métafichier incorrect ou tronqué : %s", path);
        if (function == 0x0000) {
            ended = true;
            break;
        }
        if (!WmfRecordSound(RecordView(mh + at, static_cast<std::size_t>(words) * 2), function, objects))
            Fail("Métafichier incorrect ou tronqué : %s", path);
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
