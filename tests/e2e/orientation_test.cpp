// A photo that its camera stored on its side (Exif orientation 6, "turn a
// quarter clockwise") becomes a wallpaper standing upright: width and height
// swapped, and each corner where a photo viewer shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "e2e/wallpaper_fixture.h"
#include "support/jpeg_writer.h"

namespace e2e {
namespace {

constexpr int kStoredWidth = 48, kStoredHeight = 24;
constexpr DWORD kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080;

// Stored as the camera wrote it: 8 x 8 corners, top-left white, top-right
// red, bottom-left green, bottom-right blue, grey between. Quality 100 so
// that the corners keep their colours.
std::string MakeSidewaysJpeg() {
    const test_jpeg::Bytes stored = test_jpeg::EncodeJpeg(kStoredWidth, kStoredHeight, [](int x, int y) -> std::uint32_t {
        if (y < 8 && x < 8) return kWhite;
        if (y < 8 && x >= kStoredWidth - 8) return kRed;
        if (y >= kStoredHeight - 8 && x < 8) return kGreen;
        if (y >= kStoredHeight - 8 && x >= kStoredWidth - 8) return kBlue;
        return kGrey;
    }, {.quality = 100});
    // The orientation, as a camera writes it: an Exif block.
    const test_jpeg::Bytes file = test_jpeg::WithExifOrientation(stored, 6);
    return std::string(file.begin(), file.end());
}

// The wallpaper file as the desktop reads it: size and 0xRRGGBB pixels,
// whatever its depth and row order.
struct Bitmap {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;  // top row first
    DWORD At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::optional<Bitmap> ReadBitmap(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return std::nullopt;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    std::memcpy(&fh, bytes.data(), sizeof fh);
    std::memcpy(&ih, bytes.data() + sizeof fh, sizeof ih);
    if (fh.bfType != 0x4D42 || ih.biCompression != BI_RGB || ih.biWidth <= 0 || ih.biHeight == 0) return std::nullopt;
    const int bits = ih.biBitCount;
    if (bits != 16 && bits != 24 && bits != 32) return std::nullopt;
    Bitmap b;
    b.width = ih.biWidth;
    b.height = ih.biHeight < 0 ? -ih.biHeight : ih.biHeight;
    const std::size_t stride = (static_cast<std::size_t>(b.width) * bits + 31) / 32 * 4;
    if (fh.bfOffBits + stride * b.height > bytes.size()) return std::nullopt;  // still being written
    b.pixels.resize(static_cast<std::size_t>(b.width) * b.height);
    for (int y = 0; y < b.height; ++y) {
        const int fileRow = ih.biHeight < 0 ? y : b.height - 1 - y;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + fh.bfOffBits + stride * fileRow;
        for (int x = 0; x < b.width; ++x) {
            DWORD rgb;
            if (bits == 16) {
                const unsigned v = p[2 * x] | (p[2 * x + 1] << 8);
                rgb = (((v >> 10) & 31) * 255 / 31) << 16 | (((v >> 5) & 31) * 255 / 31) << 8 | ((v & 31) * 255 / 31);
            } else {
                const unsigned char* q = p + static_cast<std::size_t>(x) * (bits / 8);
                rgb = (q[2] << 16) | (q[1] << 8) | q[0];
            }
            b.pixels[static_cast<std::size_t>(y) * b.width + x] = rgb;
        }
    }
    return b;
}

::testing::AssertionResult Near(DWORD got, DWORD expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = (got >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (std::abs(a - e) > 40) {
            char text[64];
            std::snprintf(text, sizeof text, "0x%06lX, expected 0x%06lX", static_cast<unsigned long>(got),
                          static_cast<unsigned long>(expected));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// A quarter turn clockwise: the stored bottom-left corner is now the
// top-left one, the stored top-left the top-right, and so on round; looked
// at `dx`, `dy` in from each edge.
void ExpectTurnedCorners(const Bitmap& b, int dx, int dy) {
    const int r = b.width - 1 - dx, d = b.height - 1 - dy;
    EXPECT_TRUE(Near(b.At(dx, dy), kGreen));
    EXPECT_TRUE(Near(b.At(r, dy), kWhite));
    EXPECT_TRUE(Near(b.At(r, d), kRed));
    EXPECT_TRUE(Near(b.At(dx, d), kBlue));
}

class OrientationTest : public WallpaperTest {
protected:
    // The sideways photo as the only picture of the list, applied at start-up
    // in `mode` (1 centred, 2 stretched) without the calendar.
    std::optional<Bitmap> ApplyAtStartUp(const wchar_t* mode) {
        const std::wstring photo = pictures_ + L"portrait.jpg";
        EXPECT_TRUE(WriteBytes(photo, MakeSidewaysJpeg()));
        WriteList({photo});
        PlainSettings(mode);
        ::DeleteFileW(ComposedWallpaperPath().c_str());
        Start();
        std::optional<Bitmap> wallpaper;
        WaitFor([&] { return (wallpaper = ReadBitmap(ComposedWallpaperPath())).has_value(); }, 15000);
        return wallpaper;
    }
};

TEST_F(OrientationTest, SidewaysPhotoBecomesAnUprightCentredWallpaper) {
    const std::optional<Bitmap> b = ApplyAtStartUp(L"1");
    ASSERT_TRUE(b.has_value()) << "no wallpaper file";
    // Centred: the picture at its own size, which is the upright size.
    ASSERT_EQ(b->width, kStoredHeight);
    ASSERT_EQ(b->height, kStoredWidth);
    ExpectTurnedCorners(*b, 2, 2);
    EXPECT_TRUE(Near(b->At(b->width / 2, b->height / 2), kGrey));
}

TEST_F(OrientationTest, SidewaysPhotoIsStretchedUpright) {
    const std::optional<Bitmap> b = ApplyAtStartUp(L"2");
    ASSERT_TRUE(b.has_value()) << "no wallpaper file";
    EXPECT_EQ(b->width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(b->height, ::GetSystemMetrics(SM_CYSCREEN));
    // Corners a few percent in from each edge: well inside the 8 x 8 corner
    // squares once they are stretched over a third of the width and a sixth
    // of the height.
    ExpectTurnedCorners(*b, b->width / 25, b->height / 50);
}

}  // namespace
}  // namespace e2e
