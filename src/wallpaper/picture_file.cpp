#include "wallpaper/picture_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/picture/byte_reader.h"
#include "core/error.h"
#include "core/picture/icon_check.h"
#include "core/picture/jpeg_decoder.h"
#include "core/picture/picture_kinds.h"
#include "core/picture/metafile_check.h"
#include "core/picture/resample.h"
#include "win32/dib_section.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace orvane {
namespace {

// The whole file, checked and decoded from memory.
struct FileData {
    std::string bytes;
    const std::uint8_t* data() const { return reinterpret_cast<const std::uint8_t*>(bytes.data()); }
    std::size_t size() const { return bytes.size(); }
    ByteReader reader() const { return ByteReader(data(), size()); }
};

// No picture the program accepts needs a larger file: a 32-bit bitmap at the
// largest accepted size, plus room for its headers.
constexpr std::uint64_t kMaxFileBytes = kMaxPicturePixels * 4 + (1u << 20);

[[noreturn]] void Fail(const char* pattern, const std::wstring& path) {
    throw Error(FormatMessage1(pattern, win::Narrow(path)));
}

// The extension after the last point of the file name (not of a folder).
std::wstring ExtensionOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

// Errors that ReadFile and GetFileSizeEx give on a file that opened: the
// file was found but its bytes could not all be had. Any other error is the
// opening's (not found, access denied, shared, ...).
bool ReadError(DWORD error) {
    switch (error) {
        case ERROR_READ_FAULT: case ERROR_LOCK_VIOLATION: case ERROR_HANDLE_EOF: case ERROR_CRC:
        case ERROR_IO_DEVICE: case ERROR_SECTOR_NOT_FOUND: case ERROR_NETNAME_DELETED: case ERROR_UNEXP_NET_ERR:
        case ERROR_SEM_TIMEOUT:
            return true;
        default:
            return false;
    }
}

FileData ReadPictureFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(win::ExtendedLengthPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        Fail("'%s' est un dossier et non un fichier image", path);
    win::FileBytes read = win::ReadFileBytes(path, kMaxFileBytes);
    if (read.tooLarge) Fail("Le fichier %s est trop volumineux", path);
    if (read.error != 0) Fail(ReadError(read.error) ? "Impossible de lire le fichier %s" : "Impossible d'ouvrir le fichier %s", path);
    if (read.bytes.empty()) Fail("Le fichier %s est vide", path);
    return FileData{std::move(read.bytes)};
}

// ---- a 32-bit drawing surface -------------------------------------------------

// A surface of that size filled white (the background a fresh bitmap canvas
// shows), refused with the user's words when too large or not to be had.
win::DibSurface WhiteSurface(std::int64_t width, std::int64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (!PictureSizeAcceptable(width, height) || width == 0 || height == 0)
        throw Error(FormatMessage1("Image trop grande (%s pixels)", size));
    win::DibSurface surface(static_cast<int>(width), static_cast<int>(height));
    if (!surface) throw Error(FormatMessage1("Mémoire insuffisante pour une image de %s pixels", size));
    std::fill_n(surface.bits(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x00FFFFFFu);
    return surface;
}

// The surface's bits once GDI has finished drawing into them.
Image32 Take(const win::DibSurface& surface) {
    ::GdiFlush();
    Image32 image;
    image.width = surface.width();
    image.height = surface.height();
    const std::uint32_t* p = surface.bits();
    image.pixels.assign(p, p + static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    return image;
}

int ScreenDpi() {
    win::WindowDc screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

// ---- decoders -----------------------------------------------------------------

// The platform draws the bytes CheckBmp has just passed (palettes, RLE, bit
// fields, core headers, either row order) onto a 32-bit surface: what was
// checked is exactly what is decoded, and long paths need no second opening.
Image32 DecodeBmpFile(const std::wstring& path, const FileData& file) {
    const BmpInfo info = CheckBmp(file.data(), file.size());
    // The info header sits at offset 14 of the file, two bytes off the
    // alignment of its DWORD fields: GDI gets an aligned copy of it with its
    // masks and up to 256 colours (all it ever reads), zeros past the file's.
    const std::size_t room = std::size_t{info.headerSize} + 12 + 256 * 4;
    const std::size_t tables = std::min<std::size_t>(info.pixelOffset - sizeof(BITMAPFILEHEADER), room);
    std::vector<std::uint32_t> header((room + 3) / 4, 0);
    std::memcpy(header.data(), file.data() + sizeof(BITMAPFILEHEADER), tables);
    const win::DibSurface surface = WhiteSurface(info.width, info.height);
    if (::StretchDIBits(surface.dc(), 0, 0, info.width, info.height, 0, 0, info.width, info.height,
                        file.data() + info.pixelOffset, reinterpret_cast<const BITMAPINFO*>(header.data()),
                        DIB_RGB_COLORS, SRCCOPY) == 0)
        Fail("Windows ne reconnaît pas le bitmap %s", path);
    return Take(surface);
}

Image32 DecodeIconFile(const std::wstring& path, const FileData& file) {
    const IconImage chosen = CheckIcon(file.reader(), win::Narrow(path));
    // The image is loaded at its directory size, as Windows loads an icon
    // at its own size.
    win::Icon icon(::CreateIconFromResourceEx(const_cast<PBYTE>(file.data() + chosen.offset), chosen.bytes, TRUE,
                                              0x00030000, chosen.width, chosen.height, LR_DEFAULTCOLOR));
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
    const win::DibSurface surface = WhiteSurface(width, height);
    if (!::DrawIconEx(surface.dc(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL))
        Fail("Impossible de dessiner l'icône %s", path);
    return Take(surface);
}

Image32 PlayEnhMetaFile(const std::wstring& path, HENHMETAFILE emf, MetafileSize size) {
    CheckMetafileSize(size, win::Narrow(path));
    const win::DibSurface surface = WhiteSurface(size.width, size.height);
    const RECT target{0, 0, static_cast<LONG>(size.width), static_cast<LONG>(size.height)};
    if (!::PlayEnhMetaFile(surface.dc(), emf, &target)) Fail("Impossible de dessiner le métafichier %s", path);
    return Take(surface);
}

Image32 DecodeEmfFile(const std::wstring& path, const FileData& file) {
    const EmfInfo info = CheckEmf(file.reader(), win::Narrow(path));
    win::EnhMetaFile emf(::SetEnhMetaFileBits(info.bytes, file.data()));
    if (!emf) Fail("Windows ne reconnaît pas le métafichier %s", path);
    ENHMETAHEADER header{};
    if (!::GetEnhMetaFileHeader(emf.get(), sizeof(header), &header)) Fail("Windows ne reconnaît pas le métafichier %s", path);
    return PlayEnhMetaFile(path, emf.get(), info.natural);
}

Image32 DecodeWmfFile(const std::wstring& path, const FileData& file) {
    const int dpi = ScreenDpi();
    const WmfInfo info = CheckWmf(file.reader(), win::Narrow(path), dpi);
    // The picture's extent in 0.01 mm, so the converted metafile keeps it.
    METAFILEPICT mfp{};
    mfp.mm = MM_ANISOTROPIC;
    mfp.xExt = ::MulDiv(static_cast<int>(info.natural.width), 2540, dpi);
    mfp.yExt = ::MulDiv(static_cast<int>(info.natural.height), 2540, dpi);
    win::WindowDc screen(nullptr);
    win::EnhMetaFile emf(::SetWinMetaFileBits(static_cast<UINT>(info.bytes), file.data() + info.offset, screen.get(), &mfp));
    if (!emf) Fail("Windows ne reconnaît pas le métafichier %s", path);
    return PlayEnhMetaFile(path, emf.get(), info.natural);
}

Image32 DecodeJpegFile(const std::wstring&, const FileData& file) { return DecodeJpeg(file.data(), file.size()); }

using Decoder = Image32 (*)(const std::wstring&, const FileData&);

Decoder DecoderFor(const std::wstring& extension) {
    switch (DecoderForExtension(win::Narrow(extension))) {
        case PictureDecoder::Bmp: return DecodeBmpFile;
        case PictureDecoder::Icon: return DecodeIconFile;
        case PictureDecoder::EnhancedMetafile: return DecodeEmfFile;
        case PictureDecoder::WindowsMetafile: return DecodeWmfFile;
        case PictureDecoder::Jpeg: return DecodeJpegFile;
        case PictureDecoder::None: break;
    }
    return nullptr;
}

}  // namespace

Image32 DecodePictureFile(const std::wstring& path) {
    const std::wstring extension = ExtensionOf(path);
    const Decoder decoder = DecoderFor(extension);
    if (!decoder) throw Error(FormatMessage1("Extension de fichier graphique inconnue (.%s)", win::Narrow(extension)));
    try {
        const FileData file = ReadPictureFile(path);
        Image32 image = decoder(path, file);
        for (std::uint32_t& p : image.pixels) p |= 0xFF000000u;
        return image;
    } catch (const std::bad_alloc&) {
        // A picture of an accepted size can still exceed what this process
        // can get at the moment; the previous picture stays.
        Fail("Mémoire insuffisante pour charger l'image %s", path);
    }
}

Image32 DecodePictureFileWithin(const std::wstring& path, int maxWidth, int maxHeight, int& width, int& height,
                                std::uint32_t& topLeft, std::size_t spareWords) {
    if (DecoderForExtension(win::Narrow(ExtensionOf(path))) == PictureDecoder::Jpeg) {
        try {
            const FileData file = ReadPictureFile(path);
            const JpegInfo info = ReadJpegInfo(file.data(), file.size());
            width = info.width;
            height = info.height;
            const int w = std::min(info.width, std::max(maxWidth, 1)), h = std::min(info.height, std::max(maxHeight, 1));
            const bool whole = w == info.width && h == info.height;
            // JPEG pixels come out opaque already.
            Image32 image = whole ? DecodeJpeg(file.data(), file.size())
                            : spareWords ? DecodeJpegToSize(file.data(), file.size(), w, h, DecodeThreads::Automatic,
                                                            spareWords)
                                         : DecodeJpegToSize(file.data(), file.size(), w, h);
            // The colours taken from the picture are those of its own pixel,
            // not of the reduced copy's average of a block.
            topLeft = whole ? image.at(0, 0) : DecodeJpegTopLeftPixel(file.data(), file.size());
            return image;
        } catch (const std::bad_alloc&) {
            Fail("Mémoire insuffisante pour charger l'image %s", path);
        }
    }
    // The other kinds are small by nature (a metafile is drawn at its size).
    Image32 image = DecodePictureFile(path);
    width = image.width;
    height = image.height;
    topLeft = image.empty() ? 0 : image.at(0, 0);
    const int w = std::min(image.width, std::max(maxWidth, 1)), h = std::min(image.height, std::max(maxHeight, 1));
    if (image.empty() || (w == image.width && h == image.height)) return image;
    return Resample(image, w, h);
}

bool NothingAtPath(const std::wstring& path) {
    if (path.empty()) return true;
    if (::GetFileAttributesW(win::ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE: case ERROR_BAD_NETPATH: case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME: case ERROR_DIRECTORY: case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

bool HasPictureExtension(const std::wstring& path) { return DecoderFor(ExtensionOf(path)) != nullptr; }

}  // namespace orvane
