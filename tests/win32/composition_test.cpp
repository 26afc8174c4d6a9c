#include "wallpaper/composition.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/bmp_file.h"
#include "core/error.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/locale_names.h"
#include "win32/strings.h"

namespace {

using orvane::Image32;
using orvane::WallpaperSettings;
using orvane::WallpaperTarget;

constexpr std::uint32_t kGrey = 0x808080;

// A private folder under the temporary directory, removed with its files.
class Folder {
public:
    Folder() {
        wchar_t tmp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, tmp);
        path_ = std::wstring(tmp) + L"orvane-compose-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~Folder() {
        for (const std::wstring& f : Files()) ::DeleteFileW((path_ + L"\\" + f).c_str());
        ::RemoveDirectoryW(path_.c_str());
    }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW fd;
        win::FindHandle find(::FindFirstFileW((path_ + L"\\*").c_str(), &fd));
        if (!find) return out;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
        } while (::FindNextFileW(find.get(), &fd));
        return out;
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

// The bitmap file read back: headers checked, pixels as 0x00RRGGBB.
struct Bitmap {
    orvane::BmpInfo info;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * info.width + x]; }
};

Bitmap ReadBitmap(const std::wstring& path) {
    const auto data = win::ReadWholeFile(path);
    if (!data) throw std::runtime_error("bitmap file missing");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data->data());
    Bitmap b;
    b.info = orvane::CheckBmp(bytes, data->size());
    std::uint32_t offset;
    std::memcpy(&offset, bytes + 10, 4);
    const int bpp = b.info.bitsPerPixel;
    if (bpp != 24 && bpp != 32) return b;  // sizes only
    const std::size_t stride = (static_cast<std::size_t>(b.info.width) * bpp / 8 + 3) & ~std::size_t{3};
    b.pixels.resize(static_cast<std::size_t>(b.info.width) * b.info.height);
    for (int y = 0; y < b.info.height; ++y) {
        const int fileRow = b.info.topDown ? y : b.info.height - 1 - y;
        const std::uint8_t* row = bytes + offset + fileRow * stride;
        for (int x = 0; x < b.info.width; ++x) {
            const std::uint8_t* p = row + x * (bpp / 8);
            b.pixels[static_cast<std::size_t>(y) * b.info.width + x] = p[0] | p[1] << 8 | p[2] << 16;
        }
    }
    return b;
}

// 0x00BBGGRR colour value as the 0x00RRGGBB of the bitmap's pixels.
std::uint32_t Rgb(std::uint32_t colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

WallpaperSettings Settings(int mode, int l, int t, int r, int b) {
    WallpaperSettings s;
    s.WallPaperMode = mode;
    s.Calendar = true;
    s.CalL = l;
    s.CalT = t;
    s.CalR = r;
    s.CalB = b;
    s.MounthFont = s.DayFont = s.DayNumberFont = "Arial";
    // Text in greens, so that black pixels can only be grid lines.
    s.colMounth = 0x00FF00;
    s.colDay = 0x00CC00;
    s.colDayNumber = 0x009900;
    s.colActualDay = 255;
    s.colNormalDay = 65535;
    s.colNonWorkDay = 32896;
    s.colWeekEnd = 16711680;
    s.RefDay = 1;
    return s;
}

WallpaperTarget Target(int w, int h, int bpp = 32) {
    WallpaperTarget t;
    t.screenWidth = w;
    t.screenHeight = h;
    t.bitsPerPixel = bpp;
    t.today = {2026, 12, 8};
    return t;
}

Image32 Plain(int w, int h) { return Image32(w, h, 0xFF000000u | kGrey); }

// Rows, from `y0` on, whose pixels from x0 to x1 (excluded) are all black.
std::vector<int> BlackRows(const Bitmap& b, int x0, int x1, int y0) {
    std::vector<int> rows;
    for (int y = y0; y < b.info.height; ++y) {
        bool all = true;
        for (int x = x0; x < x1 && all; ++x) all = b.at(x, y) == 0;
        if (all) rows.push_back(y);
    }
    return rows;
}

// ---- sizes -------------------------------------------------------------------

TEST(ComposeWallpaperFile, StretchedModeHasTheScreenSizeOtherModesThePicture) {
    Folder dir;
    const std::wstring file = dir / L"OrvaneWallPaper.bmp";
    WallpaperSettings s = Settings(2, 240, 180, 320, 240);
    orvane::ComposeWallpaperFile(file, s, Plain(160, 100), Target(320, 240), win::UserLocaleNames());
    Bitmap b = ReadBitmap(file);
    EXPECT_EQ(b.info.width, 320);
    EXPECT_EQ(b.info.height, 240);
    EXPECT_EQ(b.info.bitsPerPixel, 32);

    for (int mode : {0, 1}) {
        WallpaperSettings m = Settings(mode, 240, 180, 320, 240);
        orvane::ComposeWallpaperFile(file, m, Plain(160, 100), Target(320, 240, 24), win::UserLocaleNames());
        b = ReadBitmap(file);
        EXPECT_EQ(b.info.width, 160);
        EXPECT_EQ(b.info.height, 100);
        EXPECT_EQ(b.info.bitsPerPixel, 24);
    }
}

TEST(ComposeWallpaperFile, TheSystemsScreenAndColourDepth) {
    Folder dir;
    const std::wstring file = dir / L"OrvaneWallPaper.bmp";
    const WallpaperTarget target = orvane::CurrentWallpaperTarget();
    EXPECT_EQ(target.screenWidth, ::GetSystemMetrics(SM_CXSCREEN));
    WallpaperSettings s = Settings(2, 0, 0, 200, 200);
    orvane::ComposeWallpaperFile(file, s, Plain(50, 40));
    const Bitmap b = ReadBitmap(file);
    EXPECT_EQ(b.info.width, target.screenWidth);
    EXPECT_EQ(b.info.height, target.screenHeight);
    const int depth = target.bitsPerPixel;
    EXPECT_EQ(b.info.bitsPerPixel, depth == 16 || depth == 32 ? depth : 24);
}

// ---- the calendar in the file --------------------------------------------------

// Rectangle 350 x 300 at (40, 30) on a 480 x 360 screen, December 2026 with
// Sunday first: CW 50, UH 300, five rows of 300 div 7 = 42.
TEST(ComposeWallpaperFile, CellsSitAtTheStoredRectangleInTheirExactColours) {
    Folder dir;
    const std::wstring file = dir / L"wall.bmp";
    WallpaperSettings s = Settings(2, 40, 30, 390, 330);
    orvane::ComposeWallpaperFile(file, s, Plain(480, 360), Target(480, 360), win::UserLocaleNames());
    const Bitmap b = ReadBitmap(file);
    ASSERT_EQ(b.pixels.size(), 480u * 360u);

    // Horizontal grid lines: six black rows across 40..389, 42 apart.
    const std::vector<int> rows = BlackRows(b, 40, 390, 30);
    ASSERT_EQ(rows.size(), 6u);
    const int gy = rows[0];
    for (int k = 0; k < 6; ++k) EXPECT_EQ(rows[k], gy + 42 * k);
    EXPECT_GT(gy, 30 + 10);  // below the title and the weekday names

    // Vertical lines at 40 + 50 j, one pixel wide, down to the last row line.
    for (int j = 0; j <= 7; ++j) {
        const int x = 40 + 50 * j;
        for (int y = gy; y < gy + 5 * 42; ++y) ASSERT_EQ(b.at(x, y), 0u) << x << "," << y;
        EXPECT_NE(b.at(x, gy + 5 * 42 + 1), 0u);
        if (j < 7) {
            EXPECT_NE(b.at(x + 1, gy + 20), 0u);
        }
        if (j > 0) {
            EXPECT_NE(b.at(x - 1, gy + 20), 0u);
        }
    }
    // Neither line draws its end point: the bottom-right corner stays grey.
    EXPECT_EQ(b.at(390, gy + 5 * 42), kGrey);

    // Fills: top-left pixel of each cell; the free pixel before the next line.
    auto cell = [&](int i) { return b.at(40 + (i % 7) * 50 + 1, gy + (i / 7) * 42 + 1); };
    EXPECT_EQ(cell(0), Rgb(32896));      // before the 1st (a Tuesday)
    EXPECT_EQ(cell(1), Rgb(32896));
    EXPECT_EQ(cell(2), Rgb(65535));      // Tuesday 1st
    EXPECT_EQ(cell(6), Rgb(16711680));   // Saturday 5th
    EXPECT_EQ(cell(7), Rgb(16711680));   // Sunday 6th
    EXPECT_EQ(cell(9), Rgb(65535));      // today, a Tuesday: its weekday's fill
    EXPECT_EQ(cell(32), Rgb(65535));     // Thursday 31st
    EXPECT_EQ(cell(34), Rgb(32896));     // after the last day
    EXPECT_EQ(b.at(40 + 2 * 50 + 49, gy + 1), kGrey);
    EXPECT_EQ(b.at(40 + 2 * 50 + 1, gy + 41), kGrey);
    EXPECT_EQ(b.at(40 + 2 * 50 + 48, gy + 40), Rgb(65535));

    // Text was drawn for real: the numbers (green) in the cells, today in red,
    // the title above the grid.
    int numberPixels = 0, todayPixels = 0, titlePixels = 0;
    for (int y = 30; y < gy; ++y)
        for (int x = 0; x < 480; ++x)
            if (b.at(x, y) != kGrey) ++titlePixels;
    for (int y = gy + 42; y < gy + 84; ++y)
        for (int x = 40 + 2 * 50 + 1; x < 40 + 3 * 50 - 1; ++x) {
            if (b.at(x, y) == Rgb(255)) ++todayPixels;
        }
    for (int y = gy + 1; y < gy + 41; ++y)
        for (int x = 40 + 2 * 50 + 1; x < 40 + 3 * 50 - 1; ++x)
            if (b.at(x, y) != Rgb(65535)) ++numberPixels;  // the "1" over the yellow fill
    EXPECT_GT(titlePixels, 100);
    EXPECT_GT(todayPixels, 10);
    EXPECT_GT(numberPixels, 10);
}

TEST(ComposeWallpaperFile, PictureSizeModeMapsTheRectangleByTheHorizontalFactor) {
    // 800 x 600 picture, 1024 x 768 screen: (768, 576)-(1024, 768) lands at
    // (600, 450)-(800, 600); CW = 200 div 7 = 28.
    Folder dir;
    const std::wstring file = dir / L"wall.bmp";
    WallpaperSettings s = Settings(0, 768, 576, 1024, 768);
    orvane::ComposeWallpaperFile(file, s, Plain(800, 600), Target(1024, 768), win::UserLocaleNames());
    const Bitmap b = ReadBitmap(file);
    ASSERT_EQ(b.info.width, 800);
    const std::vector<int> rows = BlackRows(b, 600, 600 + 7 * 28, 450);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[1] - rows[0], 150 / 7);
    for (int j = 0; j <= 7; ++j) EXPECT_EQ(b.at(600 + 28 * j, rows[0] + 5), 0u) << j;
    EXPECT_NE(b.at(599, rows[0] + 5), 0u);
    EXPECT_EQ(s.CalL, 768);  // the settings keep screen pixels
}

TEST(ComposeWallpaperFile, CalendarOffWritesThePictureAsItIs) {
    Folder dir;
    const std::wstring file = dir / L"wall.bmp";
    WallpaperSettings s = Settings(1, 0, 0, 100, 100);
    s.Calendar = false;
    Image32 picture = Plain(30, 20);
    picture.at(0, 0) = 0xFF112233u;
    picture.at(29, 19) = 0xFF445566u;
    orvane::ComposeWallpaperFile(file, s, picture, Target(1024, 768), win::UserLocaleNames());
    const Bitmap b = ReadBitmap(file);
    EXPECT_EQ(b.at(0, 0), 0x112233u);
    EXPECT_EQ(b.at(29, 19), 0x445566u);
    EXPECT_EQ(b.at(10, 10), kGrey);
}

// ---- the file ------------------------------------------------------------------

TEST(ComposeWallpaperFile, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    Folder dir;
    const std::wstring file = dir / L"Fond d'écran ✓ Ωmega.bmp";
    {
        win::FileHandle f(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        // Wine stores names in the host's character set: under LANG=C it
        // cannot hold this one at all.
        if (!f) GTEST_SKIP() << "the file system cannot hold the name; run with LANG=fr_FR.UTF-8";
        const std::string junk(5 * 1000 * 1000, 'x');  // longer than the new file
        DWORD put = 0;
        ::WriteFile(f.get(), junk.data(), static_cast<DWORD>(junk.size()), &put, nullptr);
    }
    WallpaperSettings s = Settings(0, 0, 0, 64, 64);
    orvane::ComposeWallpaperFile(file, s, Plain(64, 48), Target(64, 48, 24), win::UserLocaleNames());
    const auto data = win::ReadWholeFile(file);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 54u + 64u * 3u * 48u);
    EXPECT_EQ(ReadBitmap(file).info.width, 64);
    EXPECT_EQ(dir.Files().size(), 1u);
}

TEST(ComposeWallpaperFile, UnwritablePathRaisesTheFrenchErrorWithThePath) {
    Folder dir;
    const std::wstring file = dir / L"absent\\Fond é.bmp";
    WallpaperSettings s = Settings(0, 0, 0, 64, 64);
    try {
        orvane::ComposeWallpaperFile(file, s, Plain(16, 16), Target(64, 48), win::UserLocaleNames());
        FAIL() << "no error";
    } catch (const orvane::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Impossible de créer le fichier " + win::Narrow(file));
    }
    EXPECT_TRUE(dir.Files().empty());
}

TEST(ComposeWallpaperFile, EmptyPictureIsAnErrorAndTheOldFileStays) {
    Folder dir;
    const std::wstring file = dir / L"wall.bmp";
    WallpaperSettings s = Settings(0, 0, 0, 64, 64);
    orvane::ComposeWallpaperFile(file, s, Plain(16, 16), Target(64, 48), win::UserLocaleNames());
    const auto before = win::ReadWholeFile(file);
    EXPECT_THROW(orvane::ComposeWallpaperFile(file, s, Image32(), Target(64, 48), win::UserLocaleNames()),
                 orvane::Error);
    EXPECT_EQ(win::ReadWholeFile(file), before);
}

}  // namespace
