// A new day reaches the desktop: the real windows, files and desktop of the
// program, with a clock the test moves (Wine will not let a program set the
// system's clock, and a running Wine process keeps the time zone it started
// with).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "core/picture/bmp_file.h"
#include "core/fake_services.h"
#include "core/wallpaper/wallpaper_model.h"
#include "wallpaper/about_box.h"
#include "wallpaper/main_window.h"
#include "wallpaper/model_timers.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/windows_desktop.h"
#include "wallpaper/windows_files.h"
#include "win32/file_io.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

// The pixels of a 32-bit bitmap file as the program writes it.
Image32 ReadWallpaper(const std::wstring& path) {
    const auto bytes = win::ReadWholeFile(path);
    if (!bytes) return {};
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
    const BmpInfo info = CheckBmp(data, bytes->size());
    Image32 image(info.width, info.height);
    const int stride = info.width * 4;
    for (int y = 0; y < info.height; ++y) {
        const int row = info.topDown ? y : info.height - 1 - y;
        std::memcpy(&image.pixels[static_cast<std::size_t>(y) * info.width], data + info.pixelOffset + row * stride,
                    static_cast<std::size_t>(stride));
    }
    return image;
}

TEST(DateChange, ANewDayRecomposesTheSamePictureWithTheNewDayAndMovesNothingElse) {
    const std::wstring folder = testing_support::MakeTempFolder(L"orvane-date-" + std::to_wstring(::GetTickCount())) + L"\\";
    const std::wstring picture = folder + L"ciel.bmp";
    ASSERT_TRUE(win::ReplaceFileAtomically(picture, [] {
        const auto bytes = EncodeBmp(Image32(280, 200, 0xFF406080u), 24);
        return std::string(bytes.begin(), bytes.end());
    }()));
    const std::wstring list = folder + L"piclist.cfg";
    ASSERT_TRUE(win::ReplaceFileAtomically(list, win::Narrow(picture) + "\r\n"));

    fakes::Store store;
    store.values = {{"FileName", win::Narrow(list)}, {"Calendar", "1"},   {"RunMode", "0"},
                    {"WallPaperMode", "2"},          {"Random", "0"},     {"Number", "-1"},
                    {"CalL", "0"},                   {"CalT", "0"},       {"CalR", "420"},
                    {"CalB", "300"},                 {"colActualDay", "255"}, {"TransparentIcon", "0"}};
    WindowsPictureFiles files;
    WindowsDesktop desktop;
    desktop.UseActiveDesktop({});
    desktop.SetWallpaperPath(folder + L"OrvaneWallPaper.bmp");
    fakes::FakeClock clock;
    clock.today = Date{2026, 12, 9};
    win::UiContext& ui = testing_support::TestUi();
    WindowTimers timers(ui);
    fakes::Errors errors;
    WallpaperModel model({store, files, desktop, clock, timers, errors});
    timers.onTick = [&](ModelTimer t) { model.OnTimer(t); };
    PreviewWindow preview(ui, model);
    SettingsDialog settings(ui, model);
    AboutBox about(ui);
    MainWindow main(ui, model, {preview, settings, about});
    main.Create(false);
    main.StartupTimer().SetEnabled(false);
    preview.Create();
    settings.Create(main.hwnd());
    about.Create(main.hwnd());

    ASSERT_EQ(model.Start(), WallpaperModel::StartResult::Changed);
    ASSERT_TRUE(errors.texts.empty());
    const Image32 ninth = ReadWallpaper(folder + L"OrvaneWallPaper.bmp");
    ASSERT_EQ(ninth.width, ::GetSystemMetrics(SM_CXSCREEN));  // stretched to the screen
    const std::int32_t number = model.Settings().Number;

    // Same day: the clock's news changes nothing.
    ::SendMessageW(main.hwnd(), WM_TIMECHANGE, 0, 0);
    EXPECT_EQ(ReadWallpaper(folder + L"OrvaneWallPaper.bmp").pixels, ninth.pixels);

    clock.today = Date{2026, 12, 10};
    ::SendMessageW(main.hwnd(), WM_TIMECHANGE, 0, 0);
    const Image32 tenth = ReadWallpaper(folder + L"OrvaneWallPaper.bmp");
    ASSERT_EQ(tenth.width, ninth.width);
    // Today's number is drawn in red (smoothed at its edges): the red moved
    // from the 9th's cell to the 10th's.
    auto redColumns = [](const Image32& image) {
        int lo = image.width, hi = -1, top = image.height;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (const std::uint32_t p = image.at(x, y);
                    ((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100) {
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                    top = std::min(top, y);
                }
        return std::tuple{lo, hi, top};
    };
    const auto [lo9, hi9, top9] = redColumns(ninth);
    const auto [lo10, hi10, top10] = redColumns(tenth);
    ASSERT_GE(hi9, 0) << "no red day on the 9th";
    ASSERT_GE(hi10, 0) << "no red day on the 10th";
    EXPECT_GT(lo10, hi9);  // Thursday the 10th lies right of Wednesday the 9th, on the same row
    EXPECT_EQ(top10, top9);
    EXPECT_EQ(model.Settings().Number, number);
    EXPECT_EQ(model.ShownDate().day, 10);
    EXPECT_TRUE(store.writes.empty());
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
}  // namespace orvane
