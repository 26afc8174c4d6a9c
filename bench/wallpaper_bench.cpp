// Times one wallpaper change without the desktop call (read, decode, stretch,
// calendar, bitmap file) on a generated 24-megapixel JPEG, beside the
// libjpeg-turbo decode alone (the floor no change can beat), ImageMagick and
// libvips doing decode + resize + write on the same file in the same run.
//
//   wallpaper_bench [--runs N] [--keep] [--dir FOLDER]
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
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

#include "core/bmp_file.h"
#include "core/calendar.h"
#include "core/composition.h"
#include "core/image_canvas.h"
#include "core/jpeg_decoder.h"
#include "core/resample.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPictureWidth = 6000, kPictureHeight = 4000;  // 24 megapixels
constexpr int kDisplayDepth = 32;                           // a current display's colour depth

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- the test picture ------------------------------------------------------------

// A photograph-like picture: smooth light, some texture and grain, so that
// the entropy decoder has as much work as with a real photo (a flat picture
// decodes several times faster and would flatter everyone).
void WriteTestJpeg(const fs::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + path.string());
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = kPictureWidth;
    c.image_height = kPictureHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);  // what cameras and editors write
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(kPictureWidth * 3);
    std::uint32_t seed = 0x9E3779B9u;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            const int grain = static_cast<int>(seed % 25) - 12;
            const int waves = static_cast<int>(24.0 * std::sin(x * 0.013) * std::cos(y * 0.021) +
                                               16.0 * std::sin((x + 2 * y) * 0.0041));
            const int r = 40 + x * 160 / kPictureWidth + waves + grain;
            const int g = 60 + y * 140 / kPictureHeight + waves / 2 + grain;
            const int b = 200 - (x + y) * 150 / (kPictureWidth + kPictureHeight) - waves + grain;
            row[x * 3] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
            row[x * 3 + 1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            row[x * 3 + 2] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    in.seekg(0, std::ios::end);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return data;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// ---- the floor: libjpeg-turbo alone -------------------------------------------------

// The whole picture decoded into 32-bit pixels, the output the program needs,
// with nothing else: no file read, no checks. `out` receives the pixels; a
// fresh buffer pays the first touch of its pages during the decode, as any
// decode into new memory must.
std::uint64_t DecodeFloor(const std::vector<std::uint8_t>& jpeg, std::uint8_t* (*buffer)(std::size_t)) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    const std::size_t stride = static_cast<std::size_t>(d.output_width) * 4;
    std::uint8_t* pixels = buffer(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[16];
        for (int i = 0; i < 16; ++i)
            rows[i] = pixels + stride * std::min<std::size_t>(d.output_scanline + i, d.output_height - 1);
        jpeg_read_scanlines(&d, rows, 16);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pixels[stride * d.output_height / 2];  // keeps the work observable
}

std::unique_ptr<std::uint8_t[]> g_fresh;
std::vector<std::uint8_t> g_warm;

std::uint8_t* FreshBuffer(std::size_t n) {
    g_fresh.reset(new std::uint8_t[n]);  // not initialised: no pass over it before the decode
    return g_fresh.get();
}

std::uint8_t* WarmBuffer(std::size_t n) {
    g_warm.resize(n);
    return g_warm.data();
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

orvane::WallpaperSettings ChangeSettings(int screenWidth, int screenHeight) {
    orvane::WallpaperSettings s;
    s.WallPaperMode = 2;
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

struct ChangeTimes {
    double read = 0, decode = 0, compose = 0, encode = 0, write = 0;
    double Total() const { return read + decode + compose + encode + write; }
};

ChangeTimes OneChange(const fs::path& jpegPath, const fs::path& bmpPath, int screenWidth, int screenHeight) {
    ChangeTimes t;
    auto t0 = Clock::now();
    const std::vector<std::uint8_t> file = ReadFile(jpegPath);
    auto t1 = Clock::now();
    const orvane::Image32 picture = orvane::DecodeJpeg(file.data(), file.size());
    auto t2 = Clock::now();
    orvane::WallpaperSettings s = ChangeSettings(screenWidth, screenHeight);
    const orvane::Image32 wallpaper = orvane::ComposeWallpaper(
        picture, s, screenWidth, screenHeight, {2026, 12, 8}, BenchNames(),
        [](orvane::Image32& image, const std::function<void(orvane::Canvas&)>& draw) {
            orvane::ImageCanvas canvas(image);
            draw(canvas);
        });
    auto t3 = Clock::now();
    const std::vector<std::uint8_t> bmp = orvane::EncodeBmp(wallpaper, kDisplayDepth);
    auto t4 = Clock::now();
    WriteFile(bmpPath, bmp);
    auto t5 = Clock::now();
    t.read = Ms(t1 - t0);
    t.decode = Ms(t2 - t1);
    t.compose = Ms(t3 - t2);
    t.encode = Ms(t4 - t3);
    t.write = Ms(t5 - t4);
    return t;
}

// The stretch and the calendar apart, on an already decoded picture.
double ResampleOnly(const orvane::Image32& picture, int w, int h) {
    const auto t0 = Clock::now();
    const orvane::Image32 out = orvane::Resample(picture, w, h);
    return Ms(Clock::now() - t0) + (out.pixels[0] & 0);
}

double CalendarOnly(int w, int h) {
    orvane::Image32 image(w, h);
    orvane::WallpaperSettings s = ChangeSettings(w, h);
    orvane::ImageCanvas canvas(image);
    const auto t0 = Clock::now();
    orvane::DrawCalendarOnWallpaper(canvas, w, s, w, {2026, 12, 8}, BenchNames());
    return Ms(Clock::now() - t0);
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

// Wall time of a program run to its end, its output silenced; nothing when it
// fails.
std::optional<double> TimeProgram(const std::vector<std::string>& argv) {
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
    if (::waitpid(pid, &status, 0) != pid) return std::nullopt;
    const double ms = Ms(Clock::now() - t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return ms;
}

// ---- statistics and output ----------------------------------------------------------------

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

void Row(const std::string& label, const std::vector<double>& v) {
    std::printf("  %-48s median %8.1f ms   min %8.1f ms\n", label.c_str(), Median(v), Min(v));
}

struct Options {
    int runs = 5;
    bool keep = false;
    std::optional<fs::path> dir;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--keep] [--dir FOLDER]\n", argv[0]);
            std::exit(2);
        }
    }
    return o;
}

struct Screen {
    int width, height;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
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
        const fs::path jpeg = dir / "picture-24mp.jpg";
        std::printf("Generating a %d x %d JPEG (%.1f megapixels, quality 90)...\n", kPictureWidth, kPictureHeight,
                    kPictureWidth * kPictureHeight / 1e6);
        WriteTestJpeg(jpeg);
        const std::vector<std::uint8_t> jpegBytes = ReadFile(jpeg);
        std::printf("  %s, %.1f MB\n\n", jpeg.c_str(), jpegBytes.size() / 1e6);

        const Screen screens[] = {{1920, 1080}, {3840, 2160}};
        const std::optional<std::string> convert =
            FindProgram({"/usr/bin/convert-im6.q16", "/usr/bin/convert", "convert"});
        const std::optional<std::string> vips = FindProgram({"vips"});
        const std::optional<std::string> vipsthumbnail = FindProgram({"vipsthumbnail"});

        std::vector<double> floor, floorWarm, pictureAlloc;
        std::vector<ChangeTimes> changes[2];
        std::vector<double> magick[2], vipsResize[2], vipsThumb[2];
        std::vector<double> resampleOnly[2], calendarOnly[2];
        bool magickFailed = false, vipsFailed = false, thumbFailed = false;

        const orvane::Image32 decoded = orvane::DecodeJpeg(jpegBytes.data(), jpegBytes.size());

        // One untimed round warms the page cache and the allocator; then the
        // measurements are interleaved run by run, so that the load of a
        // shared machine falls on all of them alike.
        for (int run = -1; run < options.runs; ++run) {
            const bool timed = run >= 0;
            auto t0 = Clock::now();
            DecodeFloor(jpegBytes, FreshBuffer);
            if (timed) floor.push_back(Ms(Clock::now() - t0));
            g_fresh.reset();
            t0 = Clock::now();
            DecodeFloor(jpegBytes, WarmBuffer);
            if (timed) floorWarm.push_back(Ms(Clock::now() - t0));
            t0 = Clock::now();
            {
                const orvane::Image32 blank(kPictureWidth, kPictureHeight);
                if (timed) pictureAlloc.push_back(Ms(Clock::now() - t0));
            }

            for (int k = 0; k < 2; ++k) {
                const Screen sc = screens[k];
                const std::string tag = std::to_string(sc.width) + "x" + std::to_string(sc.height);
                const ChangeTimes c = OneChange(jpeg, dir / ("OrvaneWallPaper-" + tag + ".bmp"), sc.width, sc.height);
                if (timed) changes[k].push_back(c);
                const double r = ResampleOnly(decoded, sc.width, sc.height);
                const double cal = CalendarOnly(sc.width, sc.height);
                if (timed) resampleOnly[k].push_back(r), calendarOnly[k].push_back(cal);

                if (convert && !magickFailed) {
                    const auto t = TimeProgram({*convert, jpeg.string(), "-resize", tag + "!",
                                                (dir / ("magick-" + tag + ".bmp")).string()});
                    if (!t) magickFailed = true;
                    else if (timed) magick[k].push_back(*t);
                }
                if (vips && !vipsFailed) {
                    const double h = static_cast<double>(sc.width) / kPictureWidth;
                    const double v = static_cast<double>(sc.height) / kPictureHeight;
                    const auto t = TimeProgram({*vips, "resize", jpeg.string(),
                                                (dir / ("vips-" + tag + ".bmp")).string(), std::to_string(h),
                                                "--vscale", std::to_string(v)});
                    if (!t) vipsFailed = true;
                    else if (timed) vipsResize[k].push_back(*t);
                }
                if (vipsthumbnail && !thumbFailed) {
                    const auto t = TimeProgram({*vipsthumbnail, jpeg.string(), "--size", tag + "!", "-o",
                                                (dir / ("thumb-" + tag + ".bmp")).string()});
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
        std::printf("\nFloor: libjpeg-turbo, full decode to 32-bit pixels, file already in memory\n");
        Row("decode into new memory (the floor)", floor);
        Row("decode into memory already touched (reference)", floorWarm);
        Row("a new 24-MP Image32 alone (allocate + fill)", pictureAlloc);
        const double floorMs = Median(floor);

        for (int k = 0; k < 2; ++k) {
            const Screen sc = screens[k];
            std::printf("\nStretched to %d x %d\n", sc.width, sc.height);
            std::vector<double> total, read, decode, compose, encode, write;
            for (const ChangeTimes& c : changes[k]) {
                total.push_back(c.Total());
                read.push_back(c.read);
                decode.push_back(c.decode);
                compose.push_back(c.compose);
                encode.push_back(c.encode);
                write.push_back(c.write);
            }
            Row("one change (read + decode + compose + bitmap)", total);
            Row("  read the JPEG file", read);
            Row("  decode (orvane::DecodeJpeg)", decode);
            Row("  compose (resample + calendar)", compose);
            Row("    of which resample alone", resampleOnly[k]);
            Row("    of which calendar alone", calendarOnly[k]);
            Row("  encode the bitmap (" + std::to_string(kDisplayDepth) + " bits)", encode);
            Row("  write the bitmap file", write);
            const double changeMs = Median(total);
            if (convert && !magickFailed) Row("ImageMagick convert -resize WxH! out.bmp", magick[k]);
            else std::printf("  ImageMagick: %s\n", convert ? "failed" : "not installed");
            if (vips && !vipsFailed) Row("vips resize (full decode) to .bmp", vipsResize[k]);
            else std::printf("  vips resize: %s\n", vips ? "failed" : "not installed");
            if (vipsthumbnail && !thumbFailed) Row("vipsthumbnail (shrink-on-load, partial decode)", vipsThumb[k]);

            std::printf("  ratios:\n");
            std::printf("    change / decode floor        %5.2f   (target <= 1.30: %s)\n", changeMs / floorMs,
                        changeMs <= 1.3 * floorMs ? "met" : "MISSED");
            // Minimums are the figures least disturbed by other work on a shared machine.
            std::printf("    the same, of the minimums    %5.2f\n", Min(total) / Min(floor));
            if (convert && !magickFailed) {
                const double r = Median(magick[k]) / changeMs;
                std::printf("    ImageMagick / change         %5.2f   (target >= 3.00: %s)\n", r,
                            r >= 3.0 ? "met" : "MISSED");
            }
            if (vips && !vipsFailed)
                std::printf("    vips resize / change         %5.2f\n", Median(vipsResize[k]) / changeMs);
            if (vipsthumbnail && !thumbFailed)
                std::printf("    vipsthumbnail / change       %5.2f\n", Median(vipsThumb[k]) / changeMs);
        }
        if (convert) std::printf("\nImageMagick: %s\n", convert->c_str());
        if (vips) std::printf("vips: %s\n", vips->c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wallpaper_bench: %s\n", e.what());
        if (!options.keep && !options.dir) fs::remove_all(dir);
        return 1;
    }
    if (!options.keep && !options.dir) fs::remove_all(dir);
    else std::printf("Files kept in %s\n", dir.c_str());
    return 0;
}
