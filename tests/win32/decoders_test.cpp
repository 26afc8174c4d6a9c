// The picture decoders on files the tests write, through the same path the
// program takes (file name -> current picture), under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/byte_writer.h"
#include "support/jpeg_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/image.h"
#include "core/fake_services.h"
#include "core/wallpaper/wallpaper_model.h"
#include "wallpaper/windows_files.h"
#include "wallpaper/picture_file.h"
#include "win32/handles.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_bytes::Put16;
using test_bytes::Put32;
using orvane::Image32;

class Decoders : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testing_support::MakeTempFolder(L"orvane-decoders") + L"\\"; }

    std::wstring Write(const std::wstring& name, const Bytes& data) { return WriteAt(folder_ + name, data); }
    // `path` may be a "\\?\" path.
    static std::wstring WriteAt(const std::wstring& path, const Bytes& data) {
        win::FileHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        EXPECT_TRUE(static_cast<bool>(f)) << win::Narrow(path);
        DWORD written = 0;
        if (!data.empty()) ::WriteFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        return path;
    }

    static std::string ErrorOf(const std::wstring& path) {
        try {
            orvane::DecodePictureFile(path);
        } catch (const orvane::Error& e) {
            return e.what();
        }
        return "";
    }

    std::wstring folder_;
};

// 0xAARRGGBB pixels with a white top-left corner, red elsewhere in the top
// half, blue in the bottom half.
Image32 Sample(int w, int h) {
    Image32 img(w, h, 0xFFFF0000u);
    for (int y = h / 2; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = 0xFF0000FFu;
    img.at(0, 0) = 0xFFFFFFFFu;
    return img;
}

Bytes Jpeg(const Image32& img) {
    return test_jpeg::EncodeJpeg(img.width, img.height, [&](int x, int y) { return img.at(x, y) & 0xFFFFFFu; },
                                 {.quality = 98});
}

// A bitmap file with a palette: `indices` are row-major, top row first.
Bytes PaletteBmp(int w, int h, int bits, const std::vector<std::uint32_t>& palette,
                 const std::vector<int>& indices, bool topDown = false) {
    const std::size_t stride = (static_cast<std::size_t>(w) * bits + 31) / 32 * 4;
    const std::size_t offset = 14 + 40 + palette.size() * 4;
    Bytes b(offset + stride * h, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14, 40), Put32(b, 18, w), Put32(b, 22, static_cast<std::uint32_t>(topDown ? -h : h));
    Put16(b, 26, 1), Put16(b, 28, bits), Put32(b, 46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) Put32(b, 54 + 4 * i, palette[i]);
    for (int y = 0; y < h; ++y) {
        const std::size_t row = offset + stride * (topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const int v = indices[static_cast<std::size_t>(y) * w + x];
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            b[row + bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
        }
    }
    return b;
}

// Top-left white, everything else red, as palette pictures.
const std::vector<std::uint32_t> kPalette = {0x00FF0000u, 0x00FFFFFFu};  // RGBQUAD: red, white
std::vector<int> Indices(int w, int h) {
    std::vector<int> v(static_cast<std::size_t>(w) * h, 0);
    v[0] = 1;
    return v;
}

// `mask` drops the low bits that 5- and 6-bit channels cannot carry.
void ExpectWhiteCornerRedRest(const Image32& img, int w, int h, const char* what, std::uint32_t mask = 0xFFFFFFFFu) {
    ASSERT_EQ(img.width, w) << what;
    ASSERT_EQ(img.height, h) << what;
    EXPECT_EQ(img.at(0, 0) & mask, 0xFFFFFFFFu & mask) << what;
    EXPECT_EQ(img.at(w - 1, h - 1) & mask, 0xFFFF0000u & mask) << what;
    EXPECT_EQ(img.at(1, 0) & mask, 0xFFFF0000u & mask) << what;
}

TEST_F(Decoders, BitmapsOfEveryDepthAndLayout) {
    const Image32 sample = Sample(13, 6);
    for (int bits : {16, 24, 32}) {
        const std::wstring path = Write(L"depth" + std::to_wstring(bits) + L".bmp", orvane::EncodeBmp(sample, bits));
        const Image32 img = orvane::DecodePictureFile(path);
        const std::uint32_t mask = bits == 16 ? 0xFFF8F8F8u : 0xFFFFFFFFu;
        ASSERT_EQ(img.width, 13);
        ASSERT_EQ(img.height, 6);
        EXPECT_EQ(img.at(0, 0) & mask, 0xFFFFFFFFu & mask) << bits;
        EXPECT_EQ(img.at(5, 1) & mask, 0xFFFF0000u & mask) << bits;
        EXPECT_EQ(img.at(12, 5) & mask, 0xFF0000FFu & mask) << bits;
    }
    for (int bits : {1, 4, 8}) {
        const std::wstring name = L"pal" + std::to_wstring(bits) + L".bmp";
        const Image32 img = orvane::DecodePictureFile(Write(name, PaletteBmp(9, 5, bits, kPalette, Indices(9, 5))));
        ExpectWhiteCornerRedRest(img, 9, 5, "palette");
    }
    // Rows stored top first.
    const Image32 topDown =
        orvane::DecodePictureFile(Write(L"topdown.bmp", PaletteBmp(9, 5, 8, kPalette, Indices(9, 5), true)));
    ExpectWhiteCornerRedRest(topDown, 9, 5, "top-down");
}

TEST_F(Decoders, CompressedCoreAndBitFieldBitmaps) {
    // RLE8, 4 x 2: bottom row red, top row white then red.
    {
        const Bytes rle = {4, 0, 0, 0, 1, 1, 3, 0, 0, 1};
        Bytes b = PaletteBmp(4, 2, 8, kPalette, std::vector<int>(8, 0));
        b.resize(14 + 40 + 8);
        b.insert(b.end(), rle.begin(), rle.end());
        Put32(b, 2, static_cast<std::uint32_t>(b.size()));
        Put32(b, 30, 1), Put32(b, 34, static_cast<std::uint32_t>(rle.size()));
        ExpectWhiteCornerRedRest(orvane::DecodePictureFile(Write(L"rle8.bmp", b)), 4, 2, "rle8");
    }
    // RLE4, 4 x 2, the same picture.
    {
        const Bytes rle = {4, 0x00, 0, 0, 1, 0x11, 3, 0x00, 0, 1};
        Bytes b = PaletteBmp(4, 2, 4, kPalette, std::vector<int>(8, 0));
        b.resize(14 + 40 + 8);
        b.insert(b.end(), rle.begin(), rle.end());
        Put32(b, 2, static_cast<std::uint32_t>(b.size()));
        Put32(b, 30, 2), Put32(b, 34, static_cast<std::uint32_t>(rle.size()));
        ExpectWhiteCornerRedRest(orvane::DecodePictureFile(Write(L"rle4.bmp", b)), 4, 2, "rle4");
    }
    // Core (OS/2 1.x) header with a 3-byte palette.
    {
        Bytes b(14 + 12 + 6 + 4 * 2, 0);
        b[0] = 'B', b[1] = 'M';
        Put32(b, 2, static_cast<std::uint32_t>(b.size()));
        Put32(b, 10, 14 + 12 + 6);
        Put32(b, 14, 12), Put16(b, 18, 3), Put16(b, 20, 2), Put16(b, 22, 1), Put16(b, 24, 1);
        b[26] = 0, b[27] = 0, b[28] = 0xFF;     // red
        b[29] = 0xFF, b[30] = 0xFF, b[31] = 0xFF;  // white
        b[32 + 4] = 0x80;                       // top row (stored second): first pixel white
        ExpectWhiteCornerRedRest(orvane::DecodePictureFile(Write(L"core.bmp", b)), 3, 2, "core");
    }
    // 16 bits 5-6-5 through bit fields.
    {
        const int w = 3, h = 2;
        Bytes b(14 + 40 + 12 + 8 * h, 0);
        b[0] = 'B', b[1] = 'M';
        Put32(b, 2, static_cast<std::uint32_t>(b.size()));
        Put32(b, 10, 14 + 40 + 12);
        Put32(b, 14, 40), Put32(b, 18, w), Put32(b, 22, h), Put16(b, 26, 1), Put16(b, 28, 16), Put32(b, 30, 3);
        Put32(b, 54, 0xF800), Put32(b, 58, 0x07E0), Put32(b, 62, 0x001F);
        for (int i = 0; i < w * h; ++i) Put16(b, 66 + (i / w) * 8 + (i % w) * 2, 0xF800);
        Put16(b, 66 + 8, 0xFFFF);  // top row first pixel
        ExpectWhiteCornerRedRest(orvane::DecodePictureFile(Write(L"bitfields.bmp", b)), w, h, "565", 0xFFF8FCF8u);
    }
}

// A 16 x 16 32-bit icon, white top-left pixel, red elsewhere; the mask
// leaves the bottom-right pixel transparent.
Bytes Icon16() {
    const int n = 16;
    const std::size_t xorBytes = n * n * 4, andBytes = n * 4;  // mask rows padded to 32 bits
    Bytes b(6 + 16 + 40 + xorBytes + andBytes, 0);
    Put16(b, 2, 1), Put16(b, 4, 1);
    b[6] = n, b[7] = n, Put16(b, 10, 1), Put16(b, 12, 32);
    Put32(b, 14, static_cast<std::uint32_t>(40 + xorBytes + andBytes)), Put32(b, 18, 22);
    Put32(b, 22, 40), Put32(b, 26, n), Put32(b, 30, 2 * n), Put16(b, 34, 1), Put16(b, 36, 32);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const bool white = x == 0 && y == 0;
            const bool clear = x == n - 1 && y == n - 1;
            const std::size_t at = 62 + (static_cast<std::size_t>(n - 1 - y) * n + x) * 4;
            Put32(b, at, clear ? 0u : white ? 0xFFFFFFFFu : 0xFFFF0000u);
        }
    b[62 + xorBytes + 1] = 0x01;  // AND mask, bottom row (stored first), last pixel: transparent
    return b;
}

TEST_F(Decoders, IconAtItsOwnSizeWithItsTransparency) {
    const Image32 img = orvane::DecodePictureFile(Write(L"small.ico", Icon16()));
    ASSERT_EQ(img.width, 16);
    ASSERT_EQ(img.height, 16);
    EXPECT_EQ(img.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(img.at(8, 8), 0xFFFF0000u);
    EXPECT_EQ(img.at(15, 15), 0xFFFFFFFFu);  // transparent: the white background shows

    int width = 0, height = 0;
    std::uint32_t topLeft = 0;
    const Image32 within = orvane::DecodePictureFileWithin(folder_ + L"small.ico", 8, 100, width, height, topLeft);
    EXPECT_EQ(within.width, 8);  // shrunk to the limit
    EXPECT_EQ(within.height, 16);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(orvane::ComplementColour(topLeft), 0x000000u);
}

TEST_F(Decoders, EnhancedMetafilePlayedAtItsNaturalSize) {
    // Frame of 40 x 30 pixels of the reference device, in 0.01 mm.
    win::WindowDc screen(nullptr);
    const int hmmX = ::GetDeviceCaps(screen.get(), HORZSIZE) * 100, pxX = ::GetDeviceCaps(screen.get(), HORZRES);
    const int hmmY = ::GetDeviceCaps(screen.get(), VERTSIZE) * 100, pxY = ::GetDeviceCaps(screen.get(), VERTRES);
    const RECT frame{0, 0, ::MulDiv(40, hmmX, pxX), ::MulDiv(30, hmmY, pxY)};
    const std::wstring path = folder_ + L"drawing.emf";
    {
        HDC dc = ::CreateEnhMetaFileW(screen.get(), path.c_str(), &frame, nullptr);
        ASSERT_NE(dc, nullptr);
        win::GdiObject red(::CreateSolidBrush(RGB(255, 0, 0)));
        const RECT all{0, 0, 40, 30};
        ::FillRect(dc, &all, static_cast<HBRUSH>(red.get()));
        win::EnhMetaFile emf(::CloseEnhMetaFile(dc));
        ASSERT_TRUE(static_cast<bool>(emf));
    }
    const Image32 img = orvane::DecodePictureFile(path);
    EXPECT_NEAR(img.width, 40, 1);
    EXPECT_NEAR(img.height, 30, 1);
    EXPECT_EQ(img.at(img.width / 2, img.height / 2), 0xFFFF0000u);
}

// A placeable Windows metafile of 100 x 50 pixels at 96 dots per inch: the
// window is 200 x 100 logical units, red on the left half, white elsewhere.
Bytes PlaceableWmf(bool withHeader) {
    HDC dc = ::CreateMetaFileW(nullptr);
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetWindowExtEx(dc, 200, 100, nullptr);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, red);
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::Rectangle(dc, 0, 0, 101, 101);
    ::SelectObject(dc, old);
    HMETAFILE mf = ::CloseMetaFile(dc);
    ::DeleteObject(red);
    const UINT size = ::GetMetaFileBitsEx(mf, 0, nullptr);
    Bytes bits(size);
    ::GetMetaFileBitsEx(mf, size, bits.data());
    ::DeleteMetaFile(mf);
    if (!withHeader) return bits;
    Bytes head(22, 0);
    Put32(head, 0, 0x9AC6CDD7u);
    Put16(head, 10, 200), Put16(head, 12, 100), Put16(head, 14, 192);  // 200 x 100 units at 192 per inch
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= static_cast<std::uint16_t>(head[2 * i] | (head[2 * i + 1] << 8));
    Put16(head, 20, sum);
    head.insert(head.end(), bits.begin(), bits.end());
    return head;
}

TEST_F(Decoders, WindowsMetafilesWithAndWithoutPlaceableHeader) {
    win::WindowDc screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    const Image32 placed = orvane::DecodePictureFile(Write(L"placed.wmf", PlaceableWmf(true)));
    EXPECT_EQ(placed.width, ::MulDiv(200, dpi, 192));
    EXPECT_EQ(placed.height, ::MulDiv(100, dpi, 192));
    EXPECT_EQ(placed.at(2, placed.height / 2), 0xFFFF0000u);
    EXPECT_EQ(placed.at(placed.width - 3, placed.height / 2), 0xFFFFFFFFu);

    // Without the header the window extent it sets is the size.
    const Image32 plain = orvane::DecodePictureFile(Write(L"plain.wmf", PlaceableWmf(false)));
    EXPECT_EQ(plain.width, 200);
    EXPECT_EQ(plain.height, 100);
    EXPECT_EQ(plain.at(5, 50), 0xFFFF0000u);
    EXPECT_EQ(plain.at(190, 50), 0xFFFFFFFFu);
}

TEST_F(Decoders, ErrorTextsForWhatCannotBeDecoded) {
    EXPECT_EQ(ErrorOf(Write(L"picture.pcx", Bytes{10, 5, 1, 8})), "Extension de fichier graphique inconnue (.pcx)");
    EXPECT_EQ(ErrorOf(Write(L"picture.PCX", Bytes{10, 5, 1, 8})), "Extension de fichier graphique inconnue (.PCX)");
    EXPECT_EQ(ErrorOf(Write(L"noextension", Bytes{1})), "Extension de fichier graphique inconnue (.)");
    EXPECT_EQ(ErrorOf(folder_ + L"dotted.dir\\noext"), "Extension de fichier graphique inconnue (.)");
    EXPECT_EQ(ErrorOf(Write(L"trailing.", Bytes{1})), "Extension de fichier graphique inconnue (.)");

    const std::wstring empty = Write(L"empty.jpg", Bytes{});
    EXPECT_EQ(ErrorOf(empty), "Le fichier " + win::Narrow(empty) + " est vide");

    const std::wstring dir = folder_ + L"folder.bmp";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    EXPECT_EQ(ErrorOf(dir), "'" + win::Narrow(dir) + "' est un dossier et non un fichier image");

    Bytes jpeg = Jpeg(Sample(32, 32));
    jpeg.resize(jpeg.size() / 2);
    EXPECT_EQ(ErrorOf(Write(L"half.jpg", jpeg)).rfind("Erreur JPEG #", 0), 0u);
    EXPECT_EQ(ErrorOf(Write(L"garbage.jpg", Bytes(300, 0x55))).rfind("Erreur JPEG #", 0), 0u);

    Bytes bmp = orvane::EncodeBmp(Sample(20, 20), 24);
    bmp.resize(bmp.size() - 7);
    EXPECT_EQ(ErrorOf(Write(L"short.bmp", bmp)), "Fichier bitmap tronqué");
    EXPECT_EQ(ErrorOf(Write(L"text.bmp", Bytes{'h', 'e', 'l', 'l', 'o'})), "Ce fichier n'est pas un bitmap Windows");

    Bytes ico = Icon16();
    ico.resize(100);
    EXPECT_NE(ErrorOf(Write(L"short.ico", ico)), "");
    EXPECT_NE(ErrorOf(Write(L"garbage.ico", Bytes(64, 0xAB))), "");
    EXPECT_NE(ErrorOf(Write(L"garbage.emf", Bytes(200, 0x01))), "");
    // Metafiles announcing a natural size far beyond any screen: refused
    // before anything of that size is allocated.
    {
        const std::wstring huge = folder_ + L"huge.emf";
        const RECT frame{0, 0, 1000000, 1000000};  // ten metres square, in 0.01 mm
        HDC dc = ::CreateEnhMetaFileW(nullptr, huge.c_str(), &frame, nullptr);
        ASSERT_NE(dc, nullptr);
        ::Rectangle(dc, 0, 0, 10, 10);
        win::EnhMetaFile emf(::CloseEnhMetaFile(dc));
        EXPECT_EQ(ErrorOf(huge).rfind("Image trop grande (", 0), 0u) << ErrorOf(huge);
        Bytes wide = PlaceableWmf(true);
        Put16(wide, 10, 32000), Put16(wide, 12, 32000), Put16(wide, 14, 1);  // 32000 inches
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) sum ^= static_cast<std::uint16_t>(wide[2 * i] | (wide[2 * i + 1] << 8));
        Put16(wide, 20, sum);
        const std::wstring widePath = Write(L"huge.wmf", wide);
        EXPECT_EQ(ErrorOf(widePath).rfind("Image trop grande (", 0), 0u) << ErrorOf(widePath);
    }

    Bytes wmf = PlaceableWmf(true);
    wmf.resize(wmf.size() - 10);
    EXPECT_NE(ErrorOf(Write(L"short.wmf", wmf)), "");
    EXPECT_NE(ErrorOf(Write(L"garbage.wmf", Bytes(64, 0x07))), "");
}

TEST_F(Decoders, FileOpenedByAnotherWithoutSharingCannotBeOpened) {
    const std::wstring path = Write(L"held.bmp", orvane::EncodeBmp(Sample(4, 4), 24));
    {
        win::FileHandle hold(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(static_cast<bool>(hold));
        EXPECT_EQ(ErrorOf(path), "Impossible d'ouvrir le fichier " + win::Narrow(path));
    }
    EXPECT_EQ(ErrorOf(path), "");
}

// The current picture as the program keeps it: the model over the program's
// own files, the rest of the system in memory.
TEST_F(Decoders, TheCurrentPictureStaysOnMissingFilesFoldersAndErrors) {
    fakes::Store store;
    orvane::WindowsPictureFiles files;
    fakes::FakeDesktop desktop;
    desktop.display = {1024, 768, 32};
    fakes::FakeClock clock;
    fakes::FakeTimers timers;
    fakes::Errors errors;
    orvane::WallpaperModel model({store, files, desktop, clock, timers, errors});
    ::CreateDirectoryW((folder_ + L"folder2.jpg").c_str(), nullptr);
    const std::wstring good = Write(L"good.bmp", orvane::EncodeBmp(Sample(8, 4), 24));
    const std::wstring clear = Write(L"alpha0.bmp", orvane::EncodeBmp(Image32(3, 3, 0x00123456u), 32));
    // Nothing is saved before a load: the list is only held.
    model.AddFiles({win::Narrow(folder_ + L"nowhere.bmp"), win::Narrow(good),
                    win::Narrow(folder_ + L"still-nowhere.jpg"), win::Narrow(folder_ + L"no-such-folder\\x.jpg"), "",
                    win::Narrow(Write(L"bad.pcx", Bytes{1, 2, 3})), win::Narrow(Write(L"bad.jpg", Bytes{0xFF, 0xD8, 0xFF})),
                    win::Narrow(folder_ + L"folder2.jpg"), win::Narrow(clear)});

    model.LookAt(0);
    EXPECT_FALSE(model.HasPicture());
    EXPECT_THROW(model.TopLeftPixel(), orvane::Error);

    model.LookAt(1);
    EXPECT_EQ(model.PictureWidth(), 8);
    EXPECT_EQ(model.TopLeftPixel(), 0xFFFFFFFFu);
    EXPECT_EQ(orvane::ComplementColour(model.TopLeftPixel()), 0u);

    for (std::size_t missing : {2u, 3u, 4u, 7u}) EXPECT_NO_THROW(model.LookAt(missing)) << missing;
    EXPECT_THROW(model.LookAt(5), orvane::Error);
    EXPECT_THROW(model.LookAt(6), orvane::Error);
    EXPECT_EQ(model.PictureWidth(), 8);
    EXPECT_EQ(model.PictureHeight(), 4);
    EXPECT_EQ(model.TopLeftPixel(), 0xFFFFFFFFu);

    // Every pixel's top byte is 255 after a load, whatever the file held.
    model.LookAt(8);
    for (std::uint32_t p : model.PicturePixels().pixels) EXPECT_EQ(p, 0xFF123456u);
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(Decoders, NothingAtPathOnlyWhenNothingIsThere) {
    EXPECT_TRUE(orvane::NothingAtPath(L""));
    EXPECT_TRUE(orvane::NothingAtPath(folder_ + L"absent.bmp"));
    EXPECT_TRUE(orvane::NothingAtPath(folder_ + L"no-such-folder\\x.jpg"));
    const std::wstring file = Write(L"present.bmp", orvane::EncodeBmp(Sample(2, 2), 24));
    EXPECT_FALSE(orvane::NothingAtPath(file));
    // A folder is something: decoding it tells the user what it is.
    const std::wstring dir = folder_ + L"a folder.jpg";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    EXPECT_FALSE(orvane::NothingAtPath(dir));
    // A file as a folder of the path: not there either.
    EXPECT_TRUE(orvane::NothingAtPath(file + L"\\inside.bmp"));
}

TEST_F(Decoders, PictureExtensionsWhateverTheirCase) {
    for (const wchar_t* name : {L"a.bmp", L"B.BMP", L"c.jpg", L"d.JPEG", L"e.Jpeg", L"f.ico", L"g.EMF", L"h.wmf",
                                L"C:\\dossier.png\\image.bmp", L"\u00e9t\u00e9.jpg"})
        EXPECT_TRUE(orvane::HasPictureExtension(name)) << win::Narrow(name);
    for (const wchar_t* name : {L"", L"a.png", L"a.gif", L"noext", L"trailing.", L"a.bmp.txt", L"C:\\d.bmp\\file",
                                L"a.jp", L"a.bmpx", L".bmpx"})
        EXPECT_FALSE(orvane::HasPictureExtension(name)) << win::Narrow(name);
}

TEST_F(Decoders, PathsWithAccentsOtherScriptsAndBeyondMaxPath) {
    const std::wstring sub = folder_ + L"Été \u65e5\u672c \u0416";
    ::CreateDirectoryW(sub.c_str(), nullptr);
    const std::wstring jpegPath = WriteAt(sub + L"\\photo \u00e9\u0107.jpg", Jpeg(Sample(10, 10)));
    // Through the program's file service, whose paths are UTF-8.
    orvane::WindowsPictureFiles files;
    orvane::PictureFiles::PictureHeader header;
    auto load = [&](const std::wstring& path) {
        if (files.NothingAt(win::Narrow(path))) return false;
        files.DecodeWithin(win::Narrow(path), 4096, 4096, header);
        return true;
    };
    ASSERT_TRUE(load(jpegPath));
    EXPECT_EQ(header.width, 10);

    ASSERT_TRUE(load(WriteAt(sub + L"\\image \u00e0 \u4e2d.bmp", orvane::EncodeBmp(Sample(6, 6), 24))));
    EXPECT_EQ(header.width, 6);
    EXPECT_EQ(header.topLeft, 0xFFFFFFFFu);

    // A folder chain longer than MAX_PATH, made through the "\\?\" form.
    std::wstring deep = folder_;
    while (deep.size() < MAX_PATH + 40) {
        deep += L"dossier-tr\u00e8s-long-0123456789\\";
        ::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
    }
    const std::wstring longPath = deep + L"image.bmp";
    WriteAt(L"\\\\?\\" + longPath, orvane::EncodeBmp(Sample(5, 3), 32));
    ASSERT_TRUE(load(longPath));
    EXPECT_EQ(header.width, 5);
    EXPECT_FALSE(load(deep + L"absent.bmp"));
}

// An enhanced metafile made in memory: a red rectangle.
Bytes EmfBytes() {
    HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    win::GdiObject red(::CreateSolidBrush(RGB(255, 0, 0)));
    const RECT r{0, 0, 30, 20};
    ::FillRect(dc, &r, static_cast<HBRUSH>(red.get()));
    win::EnhMetaFile emf(::CloseEnhMetaFile(dc));
    const UINT size = ::GetEnhMetaFileBits(emf.get(), 0, nullptr);
    Bytes bits(size);
    ::GetEnhMetaFileBits(emf.get(), size, bits.data());
    return bits;
}

TEST_F(Decoders, DamagedFilesOfEveryKindGiveErrorsNotCrashes) {
    // Deterministic damage: cut short at many lengths, and bytes overwritten
    // at pseudo-random places (headers included), for one file of each kind.
    struct Original {
        const wchar_t* extension;
        Bytes bytes;
    };
    const Original originals[] = {
        {L"bmp", PaletteBmp(9, 5, 4, kPalette, Indices(9, 5))},
        {L"bmp", orvane::EncodeBmp(Sample(7, 5), 16)},
        {L"jpg", Jpeg(Sample(24, 16))},
        {L"ico", Icon16()},
        {L"wmf", PlaceableWmf(true)},
        {L"emf", EmfBytes()},
    };
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    int decoded = 0, refused = 0;
    for (const Original& o : originals) {
        for (int k = 0; k < 80; ++k) {
            Bytes b = o.bytes;
            if (k % 2 == 0) {
                b.resize(1 + next() % (b.size() - 1));
            } else {
                for (int n = 1 + next() % 4; n > 0; --n) b[next() % std::min<std::size_t>(b.size(), 80 + k * 8)] = next() >> 24;
            }
            const std::wstring path = Write(L"damaged." + std::wstring(o.extension), b);
            try {
                const Image32 img = orvane::DecodePictureFile(path);
                ASSERT_EQ(img.pixels.size(), static_cast<std::size_t>(img.width) * img.height);
                ++decoded;
            } catch (const orvane::Error& e) {
                ASSERT_GT(std::string(e.what()).size(), 10u);
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 100);
    EXPECT_EQ(decoded + refused, 480);
}

// Offset of the first record of `type` in an enhanced metafile (0: none).
std::size_t FindEmfRecord(const Bytes& b, std::uint32_t type) {
    for (std::size_t at = 0; at + 8 <= b.size();) {
        const std::uint32_t t = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24);
        const std::uint32_t size = b[at + 4] | (b[at + 5] << 8) | (b[at + 6] << 16) | (b[at + 7] << 24);
        if (t == type) return at;
        if (size < 8) break;
        at += size;
    }
    return 0;
}

TEST_F(Decoders, MetafileRecordsThatWouldMisleadThePlayerAreRefused) {
    // Each of these once crashed the platform's metafile player.
    const Bytes emf = EmfBytes();
    ASSERT_EQ(ErrorOf(Write(L"sound.emf", emf)), "");
    const std::size_t blt = FindEmfRecord(emf, 76), brush = FindEmfRecord(emf, 39);  // BITBLT, CREATEBRUSHINDIRECT
    ASSERT_NE(blt, 0u);
    ASSERT_NE(brush, 0u);
    Bytes badOffset = emf;
    Put32(badOffset, blt + 84, 0x11000000u);  // source bitmap far outside the record
    EXPECT_EQ(ErrorOf(Write(L"offset.emf", badOffset)).rfind("Métafichier incorrect", 0), 0u);
    Bytes stockSlot = emf;
    stockSlot[brush + 11] = 0x80;  // a brush created into a stock object's "slot"
    EXPECT_EQ(ErrorOf(Write(L"slot.emf", stockSlot)).rfind("Métafichier incorrect", 0), 0u);
    Bytes device = emf;
    Put32(device, 80, 0x98000000u);  // negative reference size in millimetres
    EXPECT_EQ(ErrorOf(Write(L"device.emf", device)).rfind("Métafichier incorrect", 0), 0u);

    // A Windows metafile selecting an object it never created.
    Bytes wmf = PlaceableWmf(true);
    std::size_t select = 0;
    for (std::size_t at = 22 + 18; at + 6 <= wmf.size();) {
        const std::uint32_t words = wmf[at] | (wmf[at + 1] << 8), function = wmf[at + 4] | (wmf[at + 5] << 8);
        if (function == 0x012D) {
            select = at;
            break;
        }
        if (words < 3) break;
        at += words * 2;
    }
    ASSERT_NE(select, 0u);
    Put16(wmf, select + 6, 0x8000);
    EXPECT_EQ(ErrorOf(Write(L"select.wmf", wmf)).rfind("Métafichier incorrect", 0), 0u);
}

TEST_F(Decoders, NoGdiObjectLeaksOnSuccessOrFailure) {
    const std::wstring good[] = {Write(L"leak.bmp", orvane::EncodeBmp(Sample(8, 8), 24)),
                                 Write(L"leak.ico", Icon16()), Write(L"leak.wmf", PlaceableWmf(true)),
                                 Write(L"leak.jpg", Jpeg(Sample(8, 8)))};
    const std::wstring bad[] = {Write(L"leak-bad.bmp", Bytes{'B', 'M', 1, 2, 3}), Write(L"leak-bad.wmf", Bytes(40, 0x07)),
                                Write(L"leak-bad.ico", Bytes(64, 0xAB))};
    // The process's GDI handle table filled but for about a thousand entries:
    // a decoder that leaks even one object per picture runs out long before
    // the loop ends, and its next picture fails.
    std::vector<win::GdiObject> ballast;
    while (ballast.size() < 200000) {
        HBITMAP b = ::CreateBitmap(1, 1, 1, 1, nullptr);
        if (!b) break;
        ballast.emplace_back(b);
    }
    ASSERT_GT(ballast.size(), 2000u);
    ballast.resize(ballast.size() - 1000);

    int failures = 0;
    std::string firstFailure;
    for (int round = 0; round < 1100 && failures == 0; ++round) {
        for (const auto& f : good) {
            try {
                orvane::DecodePictureFile(f);
            } catch (const orvane::Error& e) {
                if (failures++ == 0) firstFailure = win::Narrow(f) + ": " + e.what();
            }
        }
        for (const auto& f : bad) EXPECT_THROW(orvane::DecodePictureFile(f), orvane::Error);
    }
    ballast.clear();
    EXPECT_EQ(failures, 0) << firstFailure;
}

}  // namespace
