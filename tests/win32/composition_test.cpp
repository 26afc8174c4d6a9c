// The wallpaper bitmap file as the program makes it: the model over the
// program's own picture files (the real decoders, the file replaced whole)
// and desktop (the calendar drawn through GDI), with only the screen, the
// date and the place of the file fixed by the test. The file is read back
// pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/fake_services.h"
#include "core/wallpaper/wallpaper_model.h"
#include "wallpaper/windows_desktop.h"
#include "wallpaper/windows_files.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace orvane {
namespace {

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
    BmpInfo info;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * info.width + x]; }
};

Bitmap ReadBitmap(const std::wstring& path) {
    const auto data = win::ReadWholeFile(path);
    if (!data) throw std::runtime_error("bitmap file missing");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data->data());
    Bitmap b;
    b.info = CheckBmp(bytes, data->size());
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
std::uint32_t Rgb(std::uint32_t colour) { return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF); }

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

// The program's desktop with a screen of the test's size (or the system's),
// recording what it would show instead of changing the user's wallpaper.
class TestDesktop : public WindowsDesktop {
public:
    bool systemDisplay = false;
    DisplayInfo display{320, 240, 32};
    std::vector<std::pair<std::string, std::int32_t>> shown;

    DisplayInfo Display() override { return systemDisplay ? WindowsDesktop::Display() : display; }
    void ShowWallpaper(const std::string& path, std::int32_t mode) override { shown.push_back({path, mode}); }
};

class CompositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_.UseActiveDesktop({});
        desktop_.SetWallpaperPath(wallpaperFolder_ / L"OrvaneWallPaper.bmp");
        clock_.today = Date{2026, 12, 8};
        WallpaperSettings& s = model_.MutableSettingsForTests();
        s.WallPaperMode = 2;
        s.Calendar = true;
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
        s.TransparentIcon = false;
    }

    WallpaperSettings& Settings() { return model_.MutableSettingsForTests(); }
    void CalendarAt(int l, int t, int r, int b) {
        Settings().CalL = l;
        Settings().CalT = t;
        Settings().CalR = r;
        Settings().CalB = b;
    }
    // The picture as a 24-bit bitmap file, added to the list; its index.
    std::size_t AddPicture(const Image32& picture) {
        const std::wstring path = pictureFolder_ / (L"image" + std::to_wstring(model_.Pictures().size()) + L".bmp");
        const std::vector<std::uint8_t> bytes = EncodeBmp(picture, 24);
        if (!win::ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end())))
            throw std::runtime_error("picture not written");
        model_.AddFiles({win::Narrow(path)});
        return model_.Pictures().size() - 1;
    }
    // Makes the picture the wallpaper and reads the file back.
    Bitmap Install(const Image32& picture) {
        model_.Apply(AddPicture(picture));
        EXPECT_TRUE(errors_.texts.empty()) << (errors_.texts.empty() ? "" : errors_.texts[0]);
        return ReadBitmap(WallpaperFile());
    }
    std::wstring WallpaperFile() { return win::Widen(desktop_.WallpaperFilePath()); }

    Folder pictureFolder_, wallpaperFolder_;
    fakes::Store store_;
    WindowsPictureFiles files_;
    TestDesktop desktop_;
    fakes::FakeClock clock_;
    fakes::FakeTimers timers_;
    fakes::Errors errors_;
    WallpaperModel model_{WallpaperModel::Services{store_, files_, desktop_, clock_, timers_, errors_}};
};

// ---- sizes -------------------------------------------------------------------

TEST_F(CompositionTest, StretchedModeHasTheScreenSizeOtherModesThePicture) {
    CalendarAt(240, 180, 320, 240);
    Bitmap b = Install(Plain(160, 100));
    EXPECT_EQ(b.info.width, 320);
    EXPECT_EQ(b.info.height, 240);
    EXPECT_EQ(b.info.bitsPerPixel, 32);
    ASSERT_EQ(desktop_.shown.size(), 1u);
    EXPECT_EQ(desktop_.shown[0], std::make_pair(desktop_.WallpaperFilePath(), 2));

    desktop_.display.bitsPerPixel = 24;
    for (int mode : {0, 1}) {
        Settings().WallPaperMode = mode;
        b = Install(Plain(160, 100));
        EXPECT_EQ(b.info.width, 160);
        EXPECT_EQ(b.info.height, 100);
        EXPECT_EQ(b.info.bitsPerPixel, 24);
    }
}

TEST_F(CompositionTest, TheSystemsScreenAndColourDepth) {
    desktop_.systemDisplay = true;
    const DisplayInfo screen = desktop_.Display();
    EXPECT_EQ(screen.width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.height, ::GetSystemMetrics(SM_CYSCREEN));
    CalendarAt(0, 0, 200, 200);
    const Bitmap b = Install(Plain(50, 40));
    EXPECT_EQ(b.info.width, screen.width);
    EXPECT_EQ(b.info.height, screen.height);
    const int depth = screen.bitsPerPixel;
    EXPECT_EQ(b.info.bitsPerPixel, depth == 16 || depth == 32 ? depth : 24);
}

// ---- the calendar in the file --------------------------------------------------

// Rectangle 350 x 300 at (40, 30) on a 480 x 360 screen, December 2026 with
// Sunday first: CW 50, UH 300, five rows of 300 div 7 = 42.
TEST_F(CompositionTest, CellsSitAtTheStoredRectangleInTheirExactColours) {
    desktop_.display = DisplayInfo{480, 360, 32};
    CalendarAt(40, 30, 390, 330);
    const Bitmap b = Install(Plain(480, 360));
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
    EXPECT_EQ(cell(0), Rgb(32896));     // before the 1st (a Tuesday)
    EXPECT_EQ(cell(1), Rgb(32896));
    EXPECT_EQ(cell(2), Rgb(65535));     // Tuesday 1st
    EXPECT_EQ(cell(6), Rgb(16711680));  // Saturday 5th
    EXPECT_EQ(cell(7), Rgb(16711680));  // Sunday 6th
    EXPECT_EQ(cell(9), Rgb(65535));     // today, a Tuesday: its weekday's fill
    EXPECT_EQ(cell(32), Rgb(65535));    // Thursday 31st
    EXPECT_EQ(cell(34), Rgb(32896));    // after the last day
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

TEST_F(CompositionTest, PictureSizeModeMapsTheRectangleByTheHorizontalFactor) {
    // 800 x 600 picture, 1024 x 768 screen: (768, 576)-(1024, 768) lands at
    // (600, 450)-(800, 600); CW = 200 div 7 = 28.
    desktop_.display = DisplayInfo{1024, 768, 32};
    Settings().WallPaperMode = 0;
    CalendarAt(768, 576, 1024, 768);
    const Bitmap b = Install(Plain(800, 600));
    ASSERT_EQ(b.info.width, 800);
    const std::vector<int> rows = BlackRows(b, 600, 600 + 7 * 28, 450);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[1] - rows[0], 150 / 7);
    for (int j = 0; j <= 7; ++j) EXPECT_EQ(b.at(600 + 28 * j, rows[0] + 5), 0u) << j;
    EXPECT_NE(b.at(599, rows[0] + 5), 0u);
    EXPECT_EQ(model_.Settings().CalL, 768);  // the settings keep screen pixels
}

TEST_F(CompositionTest, CalendarOffWritesThePictureAsItIs) {
    desktop_.display = DisplayInfo{1024, 768, 32};
    Settings().WallPaperMode = 1;
    Settings().Calendar = false;
    CalendarAt(0, 0, 100, 100);
    Image32 picture = Plain(30, 20);
    picture.at(0, 0) = 0xFF112233u;
    picture.at(29, 19) = 0xFF445566u;
    const Bitmap b = Install(picture);
    EXPECT_EQ(b.info.width, 30);
    EXPECT_EQ(b.at(0, 0), 0x112233u);
    EXPECT_EQ(b.at(29, 19), 0x445566u);
    EXPECT_EQ(b.at(10, 10), kGrey);
}

// ---- the file ------------------------------------------------------------------

TEST_F(CompositionTest, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    const std::wstring file = wallpaperFolder_ / L"Fond d'écran ✓ Ωmega.bmp";
    {
        win::FileHandle f(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        // Wine stores names in the host's character set: under LANG=C it
        // cannot hold this one at all.
        if (!f) GTEST_SKIP() << "the file system cannot hold the name; run with LANG=fr_FR.UTF-8";
        const std::string junk(5 * 1000 * 1000, 'x');  // longer than the new file
        DWORD put = 0;
        ::WriteFile(f.get(), junk.data(), static_cast<DWORD>(junk.size()), &put, nullptr);
    }
    desktop_.SetWallpaperPath(file);
    desktop_.display = DisplayInfo{64, 48, 24};
    Settings().WallPaperMode = 0;
    CalendarAt(0, 0, 64, 64);
    model_.Apply(AddPicture(Plain(64, 48)));
    EXPECT_TRUE(errors_.texts.empty());
    const auto data = win::ReadWholeFile(file);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 54u + 64u * 3u * 48u);
    EXPECT_EQ(ReadBitmap(file).info.width, 64);
    EXPECT_EQ(wallpaperFolder_.Files().size(), 1u);
    ASSERT_EQ(desktop_.shown.size(), 1u);
    EXPECT_EQ(desktop_.shown[0].first, win::Narrow(file));
}

TEST_F(CompositionTest, UnwritablePathRaisesTheFrenchErrorWithThePathAndShowsNothing) {
    const std::wstring file = wallpaperFolder_ / L"absent\\Fond é.bmp";
    desktop_.SetWallpaperPath(file);
    model_.Apply(AddPicture(Plain(16, 16)));
    ASSERT_EQ(errors_.texts.size(), 1u);
    EXPECT_EQ(errors_.texts[0], "Impossible de créer le fichier " + win::Narrow(file));
    EXPECT_TRUE(wallpaperFolder_.Files().empty());
    EXPECT_TRUE(desktop_.shown.empty());
}

TEST_F(CompositionTest, AFailedCompositionKeepsTheOldFileAndTheDesktopAsTheyWere) {
    Install(Plain(16, 16));
    const auto before = win::ReadWholeFile(WallpaperFile());
    ASSERT_TRUE(before);
    // A screen of no size cannot be stretched to.
    desktop_.display = DisplayInfo{0, 0, 32};
    model_.Apply(0);
    EXPECT_EQ(errors_.texts.size(), 1u);
    EXPECT_EQ(win::ReadWholeFile(WallpaperFile()), before);
    EXPECT_EQ(wallpaperFolder_.Files().size(), 1u);
    EXPECT_EQ(desktop_.shown.size(), 1u);
}

}  // namespace
}  // namespace orvane
