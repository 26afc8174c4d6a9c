// Times wallpaper changes without the desktop call (read, decode at the
// screen's size, calendar, bitmap file) on generated JPEGs, beside the
// libjpeg-turbo full decode of the same picture (the floor a change must not
// pass), ImageMagick and libvips doing decode + resize + write on the same
// file in the same run, and the peak memory of one change in a process of
// its own. With --quality it compares the fast path's pictures with
// today's (full decode, then resample) instead.
//
//   wallpaper_bench [--runs N] [--screens] [--keep] [--dir FOLDER]
//     --screens: only the changes through the composer (every screen)
//   wallpaper_bench --quality FILE.jpg...
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/wallpaper/calendar.h"
#include "core/wallpaper/composition.h"
#include "core/picture/image_canvas.h"
#include "core/picture/jpeg_decoder.h"
#include "core/picture/resample.h"
#include "core/wallpaper/wallpaper_composer.h"
#include "support/jpeg_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDisplayDepth = 32;  // a current display's colour depth

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- the test pictures ------------------------------------------------------------

struct Picture {
    const char* name;
    const char* file;
    int width, height;  // as stored
    int orientation;    // Exif tag written into the file, 0 for none
};

// A camera's landscape photo; a phone's portrait photo, stored on its side
// with the orientation that stands it up (as phones write them); a picture
// already at the screen's size.
const Picture kLandscape24{"24-MP landscape photo", "landscape-24mp.jpg", 6000, 4000, 0};
const Picture kPortrait12{"12-MP portrait photo (stored 4000 x 3000, Exif orientation 6)", "portrait-12mp.jpg", 4000,
                          3000, 6};
const Picture kScreen1080{"1920 x 1080 picture", "screen-1080.jpg", 1920, 1080, 0};

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot read " + path.string());
    struct stat st {};
    ::fstat(fd, &st);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != data.size()) throw std::runtime_error("cannot read " + path.string());
    return data;
}

// A new file, written with one call, as the program writes the wallpaper.
void WriteFile(const fs::path& path, const std::uint8_t* bytes, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + path.string());
    const ssize_t n = ::write(fd, bytes, size);
    ::close(fd);
    if (n != static_cast<ssize_t>(size)) throw std::runtime_error("cannot write " + path.string());
}

// A photograph-like picture: smooth light, some texture and grain, so that
// the entropy decoder has as much work as with a real photo (a flat picture
// decodes several times faster and would flatter everyone).
void WriteTestJpeg(const fs::path& path, const Picture& p) {
    std::uint32_t seed = 0x9E3779B9u;
    // The texture keeps its scale whatever the size, as a photo's grain does.
    test_jpeg::Bytes jpeg = test_jpeg::EncodeJpeg(p.width, p.height, [&](int x, int y) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const int grain = static_cast<int>(seed % 25) - 12;
        const int waves = static_cast<int>(24.0 * std::sin(x * 0.013) * std::cos(y * 0.021) +
                                           16.0 * std::sin((x + 2 * y) * 0.0041));
        const int r = 40 + x * 160 / p.width + waves + grain;
        const int g = 60 + y * 140 / p.height + waves / 2 + grain;
        const int b = 200 - (x + y) * 150 / (p.width + p.height) - waves + grain;
        const auto level = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
        return level(r) << 16 | level(g) << 8 | level(b);
    }, {.quality = 90});  // what cameras and editors write
    if (p.orientation) jpeg = test_jpeg::WithExifOrientation(jpeg, p.orientation);
    WriteFile(path, jpeg.data(), jpeg.size());
}

// ---- the floor: libjpeg-turbo alone -------------------------------------------------

// The whole picture decoded into 32-bit pixels, the output the program needs,
// with nothing else: no file read, no checks, no orientation. A fresh buffer
// pays the first touch of its pages during the decode, as any decode into
// new memory must.
std::uint64_t DecodeFloor(const std::vector<std::uint8_t>& jpeg) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    const std::size_t stride = static_cast<std::size_t>(d.output_width) * 4;
    std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[stride * d.output_height]);  // not initialised
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[16];
        for (int i = 0; i < 16; ++i)
            rows[i] = pixels.get() + stride * std::min<std::size_t>(d.output_scanline + i, d.output_height - 1);
        jpeg_read_scanlines(&d, rows, 16);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pixels[stride * d.output_height / 2];  // keeps the work observable
}

// ---- one change, as the program makes it ----------------------------------------------

class BenchNames : public orvane::LocaleNames {
public:
    std::string MonthName(int month) const override {
        static const char* const k[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                        "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
        return k[month - 1];
    }
    std::string ShortDayName(int weekday) const override {
        static const char* const k[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
        return k[weekday];
    }
};

orvane::WallpaperSettings ChangeSettings(int mode, int screenWidth, int screenHeight) {
    orvane::WallpaperSettings s;
    s.WallPaperMode = mode;
    s.Calendar = true;
    s.CalL = screenWidth / 4 * 3;
    s.CalT = screenHeight / 4 * 3;
    s.CalR = screenWidth;
    s.CalB = screenHeight;
    s.MounthFont = s.DayFont = s.DayNumberFont = "Arial";
    s.colActualDay = 255;
    s.colNormalDay = 65535;
    s.colNonWorkDay = 32896;
    s.colWeekEnd = 16711680;
    s.RefDay = 2;
    return s;
}

enum class Path {
    Fast,          // DecodeJpegToSize (stretched) or DecodeJpeg (centred), bitmap built in place
    FastOneThread, // the same without the second thread
    Today,         // DecodeJpeg, Resample, EncodeBmp into a buffer of its own
};

struct ChangeTimes {
    double read = 0, decode = 0, calendar = 0, encode = 0, write = 0;
    double Total() const { return read + decode + calendar + encode + write; }
};

// Stretched (mode 2) to the screen, or centred (mode 1) at the picture's size.
ChangeTimes OneChange(const fs::path& jpegPath, const fs::path& bmpPath, int mode, int screenWidth,
                      int screenHeight, Path path) {
    ChangeTimes t;
    auto t0 = Clock::now();
    const std::vector<std::uint8_t> file = ReadFile(jpegPath);
    auto t1 = Clock::now();
    orvane::Image32 wallpaper;
    const auto threads = path == Path::FastOneThread ? orvane::DecodeThreads::One : orvane::DecodeThreads::Automatic;
    if (path == Path::Today) {
        const orvane::Image32 picture = orvane::DecodeJpeg(file.data(), file.size());
        wallpaper = mode == 2 ? orvane::Resample(picture, screenWidth, screenHeight) : picture;
    } else if (mode == 2) {
        wallpaper = orvane::DecodeJpegToSize(file.data(), file.size(), screenWidth, screenHeight, threads);
    } else {
        wallpaper = orvane::DecodeJpeg(file.data(), file.size(), threads);
    }
    auto t2 = Clock::now();
    orvane::WallpaperSettings s = ChangeSettings(mode, screenWidth, screenHeight);
    {
        orvane::ImageCanvas canvas(wallpaper);
        orvane::DrawCalendarOnWallpaper(canvas, wallpaper.width, s, screenWidth, {2026, 12, 8}, BenchNames());
    }
    auto t3 = Clock::now();
    if (path == Path::Today) {
        const std::vector<std::uint8_t> bmp = orvane::EncodeBmp(wallpaper, kDisplayDepth);
        auto t4 = Clock::now();
        WriteFile(bmpPath, bmp.data(), bmp.size());
        auto t5 = Clock::now();
        t.encode = Ms(t4 - t3), t.write = Ms(t5 - t4);
    } else {
        const orvane::BmpFileBytes bmp = orvane::EncodeBmpInPlace(std::move(wallpaper), kDisplayDepth);
        auto t4 = Clock::now();
        WriteFile(bmpPath, bmp.data(), bmp.size());
        auto t5 = Clock::now();
        t.encode = Ms(t4 - t3), t.write = Ms(t5 - t4);
    }
    t.read = Ms(t1 - t0);
    t.decode = Ms(t2 - t1);
    t.calendar = Ms(t3 - t2);
    return t;
}

// ---- other programs -------------------------------------------------------------------

std::optional<std::string> FindProgram(const std::vector<std::string>& candidates) {
    for (const std::string& c : candidates) {
        if (c.find('/') != std::string::npos) {
            if (::access(c.c_str(), X_OK) == 0) return c;
            continue;
        }
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        std::size_t start = 0;
        while (start <= dirs.size()) {
            const std::size_t end = std::min(dirs.find(':', start), dirs.size());
            const std::string full = dirs.substr(start, end - start) + "/" + c;
            if (::access(full.c_str(), X_OK) == 0) return full;
            start = end + 1;
        }
    }
    return std::nullopt;
}

struct ChildResult {
    double ms = 0;
    long maxRssKb = 0;
};

// Runs a program to its end, its output silenced: wall time and the peak
// resident memory of that process alone; nothing when it fails.
std::optional<ChildResult> RunChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return std::nullopt;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return std::nullopt;
    const double ms = Ms(Clock::now() - t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return ChildResult{ms, usage.ru_maxrss};
}

std::optional<double> TimeProgram(const std::vector<std::string>& argv) {
    const auto r = RunChild(argv);
    if (!r) return std::nullopt;
    return r->ms;
}

// ---- statistics and output ----------------------------------------------------------------

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

void Row(const std::string& label, const std::vector<double>& v) {
    std::printf("  %-52s median %8.1f ms   min %8.1f ms\n", label.c_str(), Median(v), Min(v));
}

// A ratio beside its target: `atMost` true for "no more than".
void Ratio(const std::string& label, double median, double minimum, double target, bool atMost) {
    const bool met = atMost ? median <= target : median >= target;
    std::printf("    %-40s %5.2f  (of the minimums %5.2f)   target %s %.2f: %s\n", label.c_str(), median, minimum,
                atMost ? "<=" : ">=", target, met ? "met" : "MISSED");
}

void Info(const std::string& label, double median, double minimum) {
    std::printf("    %-40s %5.2f  (of the minimums %5.2f)\n", label.c_str(), median, minimum);
}

struct Options {
    int runs = 5;
    bool keep = false;
    bool screensOnly = false;  // only the figures through the composer
    std::optional<fs::path> dir;
    std::vector<std::string> quality;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--screens") {
            o.screensOnly = true;
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--quality") {
            while (i + 1 < argc) o.quality.push_back(argv[++i]);
            if (o.quality.empty()) std::exit(2);
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--screens] [--keep] [--dir FOLDER]\n       %s --quality FILE.jpg...\n",
                         argv[0], argv[0]);
            std::exit(2);
        }
    }
    return o;
}

// ---- every screen: fill, fit, one wallpaper per monitor --------------------------------

// The JPEG in memory as the composer's picture, decoded as the program's
// files service does (each side no larger than asked, nor than the picture).
orvane::PictureSource JpegSource(const std::vector<std::uint8_t>& file, orvane::DecodeThreads threads) {
    const orvane::JpegInfo info = orvane::ReadJpegInfo(file.data(), file.size());
    orvane::PictureSource source;
    source.width = info.width;
    source.height = info.height;
    source.decodeWithin = [&file, info, threads](int w, int h) {
        return orvane::DecodeJpegToSize(file.data(), file.size(), std::min(w, info.width), std::min(h, info.height),
                                        threads);
    };
    source.decodeWhole = [&file, threads] { return orvane::DecodeJpeg(file.data(), file.size(), threads); };
    source.decodeWithinRoom = [&file, info, threads](int w, int h, std::size_t spareWords) {
        return orvane::DecodeJpegToSize(file.data(), file.size(), std::min(w, info.width), std::min(h, info.height),
                                        threads, spareWords);
    };
    return source;
}

// One change through the composer: read, decode once for all the screens,
// each screen's bitmap (the calendar on the first), its file bytes and one
// write per screen.
double ComposedChangeMs(const fs::path& jpegPath, const fs::path& dir, orvane::WallpaperMode mode,
                        const std::vector<std::pair<int, int>>& screens,
                        orvane::DecodeThreads threads = orvane::DecodeThreads::Automatic) {
    const auto t0 = Clock::now();
    const std::vector<std::uint8_t> file = ReadFile(jpegPath);
    orvane::PictureSource source = JpegSource(file, threads);
    if (screens.size() > 1) source = orvane::DecodeOnceForScreens(source, mode, screens);
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const auto [w, h] = screens[i];
        orvane::WallpaperSettings s = ChangeSettings(orvane::StoredMode(mode), w, h);
        orvane::CalendarPainter calendar;
        if (i == 0)
            calendar = [&](orvane::Image32& bitmap) {
                orvane::ImageCanvas canvas(bitmap);
                orvane::DrawCalendarOnWallpaper(canvas, bitmap.width, s, w, {2026, 12, 8}, BenchNames());
            };
        orvane::Image32 bitmap =
            orvane::ComposeScreenWallpaper(source, orvane::ScreenComposition{mode, w, h, screens.size() > 1, 0}, calendar);
        const orvane::BmpFileBytes bmp = orvane::EncodeBmpInPlace(std::move(bitmap), kDisplayDepth);
        WriteFile(dir / ("OrvaneWallPaper-screen-" + std::to_string(i) + ".bmp"), bmp.data(), bmp.size());
    }
    return Ms(Clock::now() - t0);
}

// Two monitors from one decode against one 4K screen; fill and fit against
// stretched; a picture of the screen's size against its decode floor.
void ScreenFigures(const fs::path& dir, int runs) {
    using orvane::WallpaperMode;
    const fs::path photo = dir / kLandscape24.file, screenSized = dir / kScreen1080.file;
    const std::vector<std::uint8_t> screenBytes = ReadFile(screenSized);
    const std::pair<int, int> k4K{3840, 2160}, k1080{1920, 1080};
    struct Timed {
        std::string label;
        std::function<double()> run;
        std::vector<double> ms;
    };
    std::vector<Timed> t = {
        {"24 MP, one 3840 x 2160 screen, stretched", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Stretched, {k4K}); }},
        {"24 MP, 3840 x 2160 + 1920 x 1080, stretched", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Stretched, {k4K, k1080}); }},
        {"24 MP, 1920 x 1080, \"Etiré\"", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Stretched, {k1080}); }},
        {"24 MP, 1920 x 1080, \"Remplir\"", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Fill, {k1080}); }},
        {"24 MP, 1920 x 1080, \"Ajuster\"", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Fit, {k1080}); }},
        {"24 MP, 3840 x 2160, \"Remplir\"", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Fill, {k4K}); }},
        {"24 MP, 3840 x 2160, \"Ajuster\"", [&] { return ComposedChangeMs(photo, dir, WallpaperMode::Fit, {k4K}); }},
        {"1920 x 1080 picture on 1920 x 1080, stretched", [&] { return ComposedChangeMs(screenSized, dir, WallpaperMode::Stretched, {k1080}); }},
        {"  the same on one decode thread", [&] { return ComposedChangeMs(screenSized, dir, WallpaperMode::Stretched, {k1080}, orvane::DecodeThreads::One); }},
        {"  the same on two decode threads", [&] { return ComposedChangeMs(screenSized, dir, WallpaperMode::Stretched, {k1080}, orvane::DecodeThreads::Two); }},
        {"  its decode floor", [&] {
             const auto t0 = Clock::now();
             DecodeFloor(screenBytes);
             return Ms(Clock::now() - t0);
         }},
        {"  one write of its bitmap file alone", [&] {
             // As the change writes it: new memory, its pages touched, then one write.
             std::vector<std::uint8_t> bytes(std::size_t{4} * k1080.first * k1080.second + 54, 1);
             const auto t0 = Clock::now();
             WriteFile(dir / "OrvaneWallPaper-write.bmp", bytes.data(), bytes.size());
             return Ms(Clock::now() - t0);
         }},
    };
    for (int run = -1; run < runs; ++run)
        for (Timed& x : t) {
            const double ms = x.run();
            if (run >= 0) x.ms.push_back(ms);
        }
    std::printf("\nEvery screen (through the composer, calendar and file writes included)\n");
    for (const Timed& x : t) Row(x.label, x.ms);
    std::printf("  ratios:\n");
    auto ratio = [&](const char* label, int a, int b, double target) {
        Ratio(label, Median(t[a].ms) / Median(t[b].ms), Min(t[a].ms) / Min(t[b].ms), target, true);
    };
    ratio("two monitors / one 4K screen", 1, 0, 1.2);
    ratio("\"Remplir\" / \"Etiré\" at 1080p", 3, 2, 1.1);
    ratio("\"Ajuster\" / \"Etiré\" at 1080p", 4, 2, 1.1);
    ratio("\"Remplir\" / \"Etiré\" at 4K", 5, 0, 1.1);
    ratio("\"Ajuster\" / \"Etiré\" at 4K", 6, 0, 1.1);
    ratio("1080p picture on 1080p / its decode floor", 7, 10, 1.5);
    Info("  on one thread / floor", Median(t[8].ms) / Median(t[10].ms), Min(t[8].ms) / Min(t[10].ms));
    Info("  on two threads / floor", Median(t[9].ms) / Median(t[10].ms), Min(t[9].ms) / Min(t[10].ms));
    // The file write is part of the change but not of the floor: what is
    // left for everything else is the target less this.
    Info("  its file write alone / floor", Median(t[11].ms) / Median(t[10].ms), Min(t[11].ms) / Min(t[10].ms));
}

// ---- the cases ------------------------------------------------------------------------------

struct Case {
    const Picture* picture;
    int mode;  // 2 stretched, 1 centred
    int screenWidth, screenHeight;
    double floorTarget;  // change / floor, at most; 0: none
    bool compareOthers;  // ImageMagick >= 6x and vips >= 2x slower
    bool memoryTarget;   // peak of a change <= two output bitmaps + 16 MB
    std::string Label() const {
        const std::string screen = std::to_string(screenWidth) + " x " + std::to_string(screenHeight);
        return std::string(picture->name) + (mode == 2 ? ", stretched to " + screen : ", centred (own size)");
    }
    std::string Tag() const {
        return std::string(picture->file).substr(0, std::string(picture->file).find('.')) + "-" +
               (mode == 2 ? std::to_string(screenWidth) + "x" + std::to_string(screenHeight) : "centred");
    }
};

const Case kCases[] = {
    {&kLandscape24, 2, 1920, 1080, 1.00, true, true},
    {&kLandscape24, 2, 3840, 2160, 1.10, true, false},
    {&kPortrait12, 2, 1920, 1080, 1.00, true, false},
    {&kScreen1080, 2, 1920, 1080, 1.15, false, false},
    {&kLandscape24, 1, 1920, 1080, 0, false, false},
};

// --child MODE JPEG WIDTH HEIGHT BMP PATH: one change in this process, for
// its peak memory. --child-idle: nothing, for the process's own.
int ChildMain(int argc, char** argv) {
    if (std::strcmp(argv[1], "--child-idle") == 0) return 0;
    if (argc != 8) return 2;
    const int mode = std::atoi(argv[2]);
    const Path path = std::strcmp(argv[7], "today") == 0 ? Path::Today : Path::Fast;
    OneChange(argv[3], argv[6], mode, std::atoi(argv[4]), std::atoi(argv[5]), path);
    return 0;
}

// ---- quality: the fast path against today's ----------------------------------------------

struct Difference {
    int max = 0;
    int p99 = 0;  // 99% of the channel values are this close or closer
    double mean = 0;
};

Difference Compare(const orvane::Image32& a, const orvane::Image32& b) {
    Difference d;
    double sum = 0;
    std::vector<int> histogram(256, 0);
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const int v = std::abs(static_cast<int>((a.pixels[i] >> (8 * c)) & 0xFF) -
                                   static_cast<int>((b.pixels[i] >> (8 * c)) & 0xFF));
            d.max = std::max(d.max, v);
            ++histogram[v];
            sum += v;
        }
    const double values = 3.0 * static_cast<double>(a.pixels.size());
    d.mean = sum / values;
    double seen = 0;
    while (d.p99 < 255 && (seen += histogram[d.p99]) < 0.99 * values) ++d.p99;
    return d;
}

int QualityMain(const std::vector<std::string>& files) {
    std::printf("Fast path (DCT scaling + resample) against today's (full decode + resample):\n"
                "per-channel difference of R, G, B in levels of 255\n\n");
    int worst = 0;
    for (const std::string& name : files) {
        const std::vector<std::uint8_t> data = ReadFile(name);
        const orvane::Image32 full = orvane::DecodeJpeg(data.data(), data.size());
        std::printf("%s (%d x %d)\n", name.c_str(), full.width, full.height);
        // Ratios just past each DCT scale's threshold (the most left to the
        // resampler) and well inside it, plus the two screens.
        const double divisors[] = {1.9, 2.1, 3.0, 4.1, 6.0, 8.1, 11.0};
        std::vector<std::pair<int, int>> targets;
        for (double d : divisors)
            targets.emplace_back(std::max(1, static_cast<int>(full.width / d)), std::max(1, static_cast<int>(full.height / d)));
        targets.emplace_back(1920, 1080);
        targets.emplace_back(3840, 2160);
        for (const auto& [w, h] : targets) {
            if (w > full.width || h > full.height) continue;
            const orvane::Image32 fast = orvane::DecodeJpegToSize(data.data(), data.size(), w, h);
            const orvane::Image32 today = orvane::Resample(full, w, h);
            const Difference d = Compare(fast, today);
            worst = std::max(worst, d.max);
            std::printf("  to %5d x %-5d  max %3d   99%% within %3d   mean %6.3f\n", w, h, d.max, d.p99, d.mean);
        }
    }
    std::printf("\nWorst max difference: %d\n", worst);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Blocks past 1 MB come fresh from the system at every allocation and go
    // back at every free, as Windows' heap does with them: without this,
    // glibc keeps freed blocks of up to 32 MB and one run would find the
    // pages of the previous one already touched.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    if (argc >= 2 && std::strncmp(argv[1], "--child", 7) == 0) return ChildMain(argc, argv);
    const Options options = ParseOptions(argc, argv);
    if (!options.quality.empty()) {
        try {
            return QualityMain(options.quality);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "wallpaper_bench: %s\n", e.what());
            return 1;
        }
    }
    fs::path dir;
    if (options.dir) {
        dir = *options.dir;
        fs::create_directories(dir);
    } else {
        std::string templ = (fs::temp_directory_path() / "wallpaper-bench-XXXXXX").string();
        if (!::mkdtemp(templ.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = templ;
    }
    try {
        const Picture* pictures[] = {&kLandscape24, &kPortrait12, &kScreen1080};
        constexpr int kPictures = 3;
        std::vector<std::uint8_t> bytes[kPictures];
        std::printf("Generating the pictures (quality 90)...\n");
        for (int i = 0; i < kPictures; ++i) {
            const fs::path path = dir / pictures[i]->file;
            WriteTestJpeg(path, *pictures[i]);
            std::printf("  %-66s %.1f MB\n", pictures[i]->name, fs::file_size(path) / 1e6);
        }
        if (options.screensOnly) {
            ScreenFigures(dir, options.runs);
            if (!options.keep && !options.dir) fs::remove_all(dir);
            return 0;
        }
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        constexpr int kCaseCount = static_cast<int>(sizeof kCases / sizeof kCases[0]);

        // Peak memory first, while this process is still small: a child
        // started from it counts this process's resident memory in its own
        // peak until it has replaced itself with the new program. Each change
        // runs alone in a new process, beside one that does nothing (its
        // libraries and start-up).
        const auto idle = RunChild({self, "--child-idle"});
        long peakFast[kCaseCount] = {}, peakToday[kCaseCount] = {};
        for (int k = 0; k < kCaseCount; ++k) {
            const Case& c = kCases[k];
            const std::string jpeg = (dir / c.picture->file).string();
            const std::string bmp = (dir / ("child-" + c.Tag() + ".bmp")).string();
            for (const char* p : {"fast", "today"}) {
                const auto r = RunChild({self, "--child", std::to_string(c.mode), jpeg, std::to_string(c.screenWidth),
                                         std::to_string(c.screenHeight), bmp, p});
                (std::strcmp(p, "fast") == 0 ? peakFast : peakToday)[k] = r ? r->maxRssKb : -1;
            }
        }
        for (int i = 0; i < kPictures; ++i) bytes[i] = ReadFile(dir / pictures[i]->file);
        auto pictureIndex = [&](const Picture* p) { return static_cast<int>(std::find(pictures, pictures + kPictures, p) - pictures); };
        std::printf("\n");

        const std::optional<std::string> convert =
            FindProgram({"/usr/bin/convert-im6.q16", "/usr/bin/convert", "convert"});
        const std::optional<std::string> vips = FindProgram({"vips"});
        const std::optional<std::string> vipsthumbnail = FindProgram({"vipsthumbnail"});
        std::vector<double> floor[kPictures];
        std::vector<ChangeTimes> changes[kCaseCount], oneThread[kCaseCount], today[kCaseCount];
        std::vector<double> magick[kCaseCount], vipsResize[kCaseCount], vipsThumb[kCaseCount];
        bool magickFailed = false, vipsFailed = false, thumbFailed = false;

        // One untimed round warms the page cache and the allocator; then the
        // measurements are interleaved run by run, so that the load of a
        // shared machine falls on all of them alike.
        for (int run = -1; run < options.runs; ++run) {
            const bool timed = run >= 0;
            for (int i = 0; i < kPictures; ++i) {
                const auto t0 = Clock::now();
                DecodeFloor(bytes[i]);
                if (timed) floor[i].push_back(Ms(Clock::now() - t0));
            }
            for (int k = 0; k < kCaseCount; ++k) {
                const Case& c = kCases[k];
                const fs::path jpeg = dir / c.picture->file;
                const fs::path bmp = dir / ("OrvaneWallPaper-" + c.Tag() + ".bmp");
                const ChangeTimes fast = OneChange(jpeg, bmp, c.mode, c.screenWidth, c.screenHeight, Path::Fast);
                const ChangeTimes one =
                    OneChange(jpeg, bmp, c.mode, c.screenWidth, c.screenHeight, Path::FastOneThread);
                const ChangeTimes old = OneChange(jpeg, bmp, c.mode, c.screenWidth, c.screenHeight, Path::Today);
                if (timed) changes[k].push_back(fast), oneThread[k].push_back(one), today[k].push_back(old);
                if (c.mode != 2) continue;
                const std::string size = std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
                if (convert && !magickFailed) {
                    const auto t = TimeProgram({*convert, jpeg.string(), "-resize", size + "!",
                                                (dir / ("magick-" + c.Tag() + ".bmp")).string()});
                    if (!t) magickFailed = true;
                    else if (timed) magick[k].push_back(*t);
                }
                if (vips && !vipsFailed) {
                    const double h = static_cast<double>(c.screenWidth) / c.picture->width;
                    const double v = static_cast<double>(c.screenHeight) / c.picture->height;
                    const auto t = TimeProgram({*vips, "resize", jpeg.string(),
                                                (dir / ("vips-" + c.Tag() + ".bmp")).string(), std::to_string(h),
                                                "--vscale", std::to_string(v)});
                    if (!t) vipsFailed = true;
                    else if (timed) vipsResize[k].push_back(*t);
                }
                if (vipsthumbnail && !thumbFailed) {
                    const auto t = TimeProgram({*vipsthumbnail, jpeg.string(), "--size", size + "!", "-o",
                                                (dir / ("thumb-" + c.Tag() + ".bmp")).string()});
                    if (!t) thumbFailed = true;
                    else if (timed) vipsThumb[k].push_back(*t);
                }
            }
            if (timed) std::fprintf(stderr, "  run %d of %d done\n", run + 1, options.runs);
        }

        std::printf("Runs: %d (medians and minimums of wall time; %ld processors online)\n", options.runs,
                    ::sysconf(_SC_NPROCESSORS_ONLN));
        if (!orvane::ImageCanvas::DrawsText())
            std::printf("Note: the native canvas draws the calendar's cells and lines but not its text; the\n"
                        "      program draws the text through GDI (a few hundred short strings, not measured).\n");
        std::printf("A change: read the JPEG, DecodeJpegToSize (stretched) or DecodeJpeg (centred), the calendar,\n"
                    "EncodeBmpInPlace at %d bits, one write of the file. \"Today\": DecodeJpeg, Resample,\n"
                    "EncodeBmp into a buffer of its own, one write.\n",
                    kDisplayDepth);

        std::printf("\nFloor: libjpeg-turbo, full decode to 32-bit pixels in new memory, file already in memory\n");
        for (int i = 0; i < kPictures; ++i) Row(pictures[i]->name, floor[i]);

        const double idleMb = idle ? idle->maxRssKb / 1024.0 : 0;
        for (int k = 0; k < kCaseCount; ++k) {
            const Case& c = kCases[k];
            const std::vector<double>& floorRuns = floor[pictureIndex(c.picture)];
            std::printf("\n%s\n", c.Label().c_str());
            std::vector<double> total, read, decode, calendar, encode, write, one, old;
            for (std::size_t r = 0; r < changes[k].size(); ++r) {
                const ChangeTimes& t = changes[k][r];
                total.push_back(t.Total());
                read.push_back(t.read);
                decode.push_back(t.decode);
                calendar.push_back(t.calendar);
                encode.push_back(t.encode);
                write.push_back(t.write);
                one.push_back(oneThread[k][r].Total());
                old.push_back(today[k][r].Total());
            }
            Row("one change", total);
            Row("  read the JPEG file", read);
            Row(c.mode == 2 ? "  decode to the screen's size (DecodeJpegToSize)" : "  decode (DecodeJpeg)", decode);
            Row("  calendar", calendar);
            Row("  bitmap file bytes (EncodeBmpInPlace)", encode);
            Row("  write the bitmap file", write);
            Row("the same change on one thread", one);
            Row("the change as made today", old);
            if (!magick[k].empty()) Row("ImageMagick convert -resize WxH! out.bmp", magick[k]);
            if (!vipsResize[k].empty()) Row("vips resize (full decode) to .bmp", vipsResize[k]);
            if (!vipsThumb[k].empty()) Row("vipsthumbnail (shrink-on-load) to .bmp", vipsThumb[k]);

            const double changeMs = Median(total), changeMin = Min(total);
            std::printf("  ratios:\n");
            if (c.floorTarget > 0)
                Ratio("change / full-decode floor", changeMs / Median(floorRuns), changeMin / Min(floorRuns),
                      c.floorTarget, true);
            else
                Info("change / full-decode floor", changeMs / Median(floorRuns), changeMin / Min(floorRuns));
            Info("change on one thread / floor", Median(one) / Median(floorRuns), Min(one) / Min(floorRuns));
            Info("change as made today / floor", Median(old) / Median(floorRuns), Min(old) / Min(floorRuns));
            auto other = [&](const char* label, const std::vector<double>& v, double target) {
                if (v.empty()) return;
                if (c.compareOthers) Ratio(label, Median(v) / changeMs, Min(v) / changeMin, target, false);
                else Info(label, Median(v) / changeMs, Min(v) / changeMin);
            };
            other("ImageMagick / change", magick[k], 6.0);
            other("vips resize / change", vipsResize[k], 2.0);
            other("vipsthumbnail / change", vipsThumb[k], 2.0);

            const double outputMb = 4.0 * c.screenWidth * c.screenHeight / (1024.0 * 1024.0);
            std::printf("  peak memory of one change in a process of its own (ru_maxrss, less %.1f MB of an idle process):\n",
                        idleMb);
            auto memory = [&](const char* label, long kb, bool target) {
                if (kb < 0) {
                    std::printf("    %-40s failed\n", label);
                    return;
                }
                const double mb = kb / 1024.0 - idleMb;
                if (target) {
                    const double limit = 2 * outputMb + 16;
                    std::printf("    %-40s %6.1f MB   target <= 2 x %.1f + 16 = %.1f MB: %s\n", label, mb, outputMb,
                                limit, mb <= limit ? "met" : "MISSED");
                } else {
                    std::printf("    %-40s %6.1f MB\n", label, mb);
                }
            };
            memory("change", peakFast[k], c.memoryTarget && c.mode == 2);
            memory("change as made today", peakToday[k], false);
        }
        if (convert) std::printf("\nImageMagick: %s\n", convert->c_str());
        if (vips) std::printf("vips: %s\n", vips->c_str());
        ScreenFigures(dir, options.runs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wallpaper_bench: %s\n", e.what());
        if (!options.keep && !options.dir) fs::remove_all(dir);
        return 1;
    }
    if (!options.keep && !options.dir) fs::remove_all(dir);
    else std::printf("Files kept in %s\n", dir.c_str());
    return 0;
}
