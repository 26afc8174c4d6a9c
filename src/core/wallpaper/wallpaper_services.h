#pragma once
// What the wallpaper model needs from the system, as a few small interfaces.
// The Windows side implements them (src/wallpaper/windows_*.h); the tests
// give fakes. Paths are UTF-8 here; the Windows side turns them into UTF-16.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/wallpaper/calendar.h"
#include "core/picture/canvas.h"
#include "core/picture/image.h"
#include "core/wallpaper/monitor_plan.h"
#include "core/wallpaper/picture_list.h"

namespace orvane {

// The picture files, the folders they are found in, and the list file.
class PictureFiles {
public:
    virtual ~PictureFiles() = default;

    // A file is there under that name (a folder is not a file).
    virtual bool IsFile(const std::string& path) = 0;
    // Nothing at all is there: not a file, not a folder, and the system says
    // the name is unknown (a file that cannot be looked at is something).
    virtual bool NothingAt(const std::string& path) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    // The volume at this root ("C:\\", a share's "\\\\server\\share\\") can be reached now.
    virtual bool VolumeAvailable(const std::string& root) = 0;
    // Full paths of the entries of `folder` that match `pattern` ("*.bmp"),
    // in the system's order; folders whose names match are included.
    virtual std::vector<std::string> FindMatching(const std::string& folder, const std::string& pattern) = 0;

    // What a picture file holds. Each throws Error with the French text of
    // the failure (unknown extension, unreadable, corrupt, too large).
    struct PictureHeader {
        int width = 0;
        int height = 0;
        std::uint32_t topLeft = 0;  // 0xAARRGGBB of the upright picture
    };
    // The whole picture at its own size, upright.
    virtual Image32 Decode(const std::string& path) = 0;
    // The picture no larger than maxWidth x maxHeight: each side longer than
    // its limit is shrunk to it (area average), the others stay. `header`
    // receives the picture's own size and top-left pixel. A decoder that can
    // scale while decoding does so, and never holds the picture at its own
    // size when it is larger.
    virtual Image32 DecodeWithin(const std::string& path, int maxWidth, int maxHeight, PictureHeader& header) = 0;
    // DecodeWithin with capacity for `spareWords` more pixels past the
    // picture's, where the decoder can leave it there (a JPEG decoded to a
    // size): a fitted picture then grows into its screen's bitmap in place.
    // With no spare words it is DecodeWithin.
    virtual Image32 DecodeWithinRoom(const std::string& path, int maxWidth, int maxHeight, PictureHeader& header,
                                     std::size_t spareWords) {
        return DecodeWithin(path, maxWidth, maxHeight, header);
    }

    // The list file.
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Replaces the file whole, so that a reader never sees half of it and a
    // failure keeps the previous one. False on failure.
    virtual bool WriteWholeFile(const std::string& path, std::string_view bytes) = 0;
    // Deletes a file the program wrote; nothing when it is not there.
    virtual void RemoveFile(const std::string& path) = 0;
    virtual std::string DefaultListFileName() = 0;
    virtual const AnsiCodec& ListCodec() = 0;
};

struct DisplayInfo {
    int width = 0;  // primary display, pixels
    int height = 0;
    int bitsPerPixel = 32;
};

// The desktop the wallpaper is shown on, and the user's session around it.
class Desktop {
public:
    virtual ~Desktop() = default;

    virtual DisplayInfo Display() = 0;
    // Where the composed wallpaper bitmap is written.
    virtual std::string WallpaperFilePath() = 0;
    // Runs `draw` on a canvas whose drawing lands in `image` (the system's
    // text renderer draws the calendar).
    virtual void DrawOn(Image32& image, const std::function<void(Canvas&)>& draw) = 0;
    virtual const LocaleNames& Names() = 0;
    // Makes the desktop show the bitmap file in a WallPaperMode.
    virtual void ShowWallpaper(const std::string& path, std::int32_t mode) = 0;
    // The monitors, when the system can give each its own bitmap (Windows 8
    // and later); empty when one wallpaper serves every screen.
    virtual std::vector<Monitor> WallpaperMonitors() = 0;
    // Each monitor's bitmap file (device id, full path), each shown 1:1.
    // False when the system refused: the caller falls back to ShowWallpaper.
    virtual bool ShowOnMonitors(const std::vector<std::pair<std::string, std::string>>& files) = 0;
    // The desktop's background colour (0x00BBGGRR), around a fitted picture.
    virtual std::uint32_t BackgroundColour() = 0;
    // Desktop icon labels drawn without background, in `colour` (0x00BBGGRR).
    virtual void RecolourIconLabels(std::uint32_t colour) = 0;
    // The periodic look at the desktop icons: labels recoloured when the
    // shell painted a background back (`labelColour` set), one-click
    // activation as `quickIcon` says.
    virtual void WatchIconLabels(std::optional<std::uint32_t> labelColour, bool quickIcon) = 0;
    virtual void ApplyQuickActivation(bool quickIcon) = 0;
    virtual void SetStartWithWindows(bool on) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual Date Today() = 0;  // local date
    virtual std::uint32_t MillisecondsSinceUtcMidnight() = 0;
    // From now to the next local midnight (at least 1).
    virtual std::uint32_t MillisecondsToNextLocalMidnight() = 0;
};

// DisplaySettle: a burst of display changes (a resolution, a monitor
// plugged in) ends in one composition, once the system has settled.
enum class ModelTimer { Rotation, LabelWatch, Midnight, DisplaySettle };

// Repeating timers that call WallpaperModel::OnTimer. Start (re)starts the
// countdown; an interval of 0 never fires.
class Timers {
public:
    virtual ~Timers() = default;
    virtual void Start(ModelTimer timer, std::uint32_t milliseconds) = 0;
    virtual void Stop(ModelTimer timer) = 0;
};

// Shows an error to the user (the program's error box) and returns once the
// user has seen it. Meanwhile the program's messages keep being handled.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void Report(const std::exception& error) = 0;
};

}  // namespace orvane
