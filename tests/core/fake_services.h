#pragma once
// In-memory stand-ins for what the wallpaper model needs from the system:
// files, desktop, clock, timers, error box and settings store. Shared by the
// native model tests and the Windows-side window tests.
#include <cstdint>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "core/picture/image_canvas.h"
#include "core/wallpaper/settings.h"
#include "core/wallpaper/wallpaper_model.h"
#include "core/wallpaper/wallpaper_services.h"

namespace fakes {

using namespace orvane;

class Store : public SettingsStore {
public:
    std::map<std::string, std::string> values;
    std::set<std::string> wrongType;
    std::vector<std::string> writes;
    std::optional<std::string> Read(const std::string& name) override {
        if (wrongType.count(name)) throw Error(FormatMessage1("Type de données incorrect pour '%s'", name));
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void Write(const std::string& name, const std::string& value) override {
        writes.push_back(name);
        values[name] = value;
    }
};

class Utf8Codec : public AnsiCodec {
public:
    bool Encode(std::string_view utf8, std::string& ansi) const override {
        for (unsigned char c : utf8)
            if (c >= 0x80) return false;
        ansi.assign(utf8);
        return true;
    }
    std::string Decode(std::string_view ansi) const override { return std::string(ansi); }
};

// Pictures are solid colours of a given size; a path may be made to fail.
class Files : public PictureFiles {
public:
    struct Picture {
        int width = 4, height = 3;
        std::uint32_t colour = 0xFF336699u;
    };
    std::map<std::string, Picture> pictures;
    std::set<std::string> folders;
    std::map<std::string, std::string> failing;  // path -> error text
    std::map<std::string, std::string> files;    // other files (list, wallpaper)
    std::map<std::string, std::vector<std::string>> matches;  // folder|pattern -> paths
    std::set<std::string> unwritable;
    std::vector<std::string> decoded;  // paths, in order
    std::vector<std::pair<std::string, std::pair<int, int>>> decodedWithin;
    std::string defaultList = "C:\\Orvane\\piclist.cfg";
    Utf8Codec codec;

    bool IsFile(const std::string& p) override { return pictures.count(p) || failing.count(p) || files.count(p); }
    bool NothingAt(const std::string& p) override { return !IsFile(p) && !folders.count(p); }
    bool IsFolder(const std::string& p) override { return folders.count(p) != 0; }
    std::set<std::string> absentVolumes;  // roots, as "E:\\"
    bool VolumeAvailable(const std::string& root) override { return !absentVolumes.count(root); }
    std::vector<std::string> FindMatching(const std::string& folder, const std::string& pattern) override {
        auto it = matches.find(folder + "|" + pattern);
        if (it != matches.end()) return it->second;
        // Otherwise the files written so far, for one "prefix*suffix" pattern.
        std::vector<std::string> found;
        const auto star = pattern.find('*');
        if (star == std::string::npos) return found;
        const std::string head = folder + "\\" + pattern.substr(0, star), tail = pattern.substr(star + 1);
        for (const auto& [path, bytes] : files)
            if (path.size() >= head.size() + tail.size() && path.compare(0, head.size(), head) == 0 &&
                path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
                found.push_back(path);
        return found;
    }
    Image32 Decode(const std::string& p) override {
        decoded.push_back(p);
        if (auto f = failing.find(p); f != failing.end()) throw Error(f->second);
        auto it = pictures.find(p);
        if (it == pictures.end()) throw Error(FormatMessage1("Impossible d'ouvrir le fichier %s", p));
        return Image32(it->second.width, it->second.height, it->second.colour);
    }
    Image32 DecodeWithin(const std::string& p, int maxWidth, int maxHeight, PictureHeader& header) override {
        decodedWithin.push_back({p, {maxWidth, maxHeight}});
        if (auto f = failing.find(p); f != failing.end()) throw Error(f->second);
        auto it = pictures.find(p);
        if (it == pictures.end()) throw Error(FormatMessage1("Impossible d'ouvrir le fichier %s", p));
        header.width = it->second.width;
        header.height = it->second.height;
        header.topLeft = it->second.colour;
        return Image32(std::min(header.width, maxWidth), std::min(header.height, maxHeight), it->second.colour);
    }
    std::optional<std::string> ReadWholeFile(const std::string& p) override {
        auto it = files.find(p);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    void RemoveFile(const std::string& p) override { files.erase(p); }
    bool WriteWholeFile(const std::string& p, std::string_view bytes) override {
        if (unwritable.count(p)) return false;
        files[p] = std::string(bytes);
        return true;
    }
    std::string DefaultListFileName() override { return defaultList; }
    const AnsiCodec& ListCodec() override { return codec; }
};

class FakeNames : public LocaleNames {
public:
    std::string MonthName(int month) const override { return "mois" + std::to_string(month); }
    std::string ShortDayName(int weekday) const override { return "j" + std::to_string(weekday); }
};

class FakeDesktop : public Desktop {
public:
    DisplayInfo display{64, 48, 32};
    std::string wallpaperPath = "C:\\Windows\\OrvaneWallPaper.bmp";
    std::vector<std::pair<std::string, std::int32_t>> shown;
    std::vector<std::uint32_t> recoloured;
    std::vector<std::pair<std::optional<std::uint32_t>, bool>> watched;
    std::vector<bool> quick;
    std::vector<bool> startEntries;
    int draws = 0;
    FakeNames names;
    std::function<void()> onShow;  // runs inside ShowWallpaper (an error box's loop, say)

    DisplayInfo Display() override { return display; }
    std::string WallpaperFilePath() override { return wallpaperPath; }
    void DrawOn(Image32& image, const std::function<void(Canvas&)>& draw) override {
        ++draws;
        ImageCanvas canvas(image);
        draw(canvas);
    }
    const LocaleNames& Names() override { return names; }
    void ShowWallpaper(const std::string& path, std::int32_t mode) override {
        shown.push_back({path, mode});
        if (onShow) onShow();
    }
    // Monitors that can each have their own bitmap (none: one for all).
    std::vector<Monitor> monitors;
    std::vector<std::vector<std::pair<std::string, std::string>>> shownOnMonitors;
    std::vector<Monitor> WallpaperMonitors() override { return monitors; }
    bool ShowOnMonitors(const std::vector<std::pair<std::string, std::string>>& files) override {
        shownOnMonitors.push_back(files);
        return true;
    }
    std::uint32_t BackgroundColour() override { return 0x00402010u; }
    void RecolourIconLabels(std::uint32_t colour) override { recoloured.push_back(colour); }
    void WatchIconLabels(std::optional<std::uint32_t> colour, bool quickIcon) override {
        watched.push_back({colour, quickIcon});
    }
    void ApplyQuickActivation(bool on) override { quick.push_back(on); }
    void SetStartWithWindows(bool on) override { startEntries.push_back(on); }
};

class FakeClock : public Clock {
public:
    Date today{2026, 12, 9};
    std::uint32_t msSinceUtcMidnight = 1234;
    std::uint32_t msToMidnight = 3600 * 1000;
    Date Today() override { return today; }
    std::uint32_t MillisecondsSinceUtcMidnight() override { return msSinceUtcMidnight; }
    std::uint32_t MillisecondsToNextLocalMidnight() override { return msToMidnight; }
};

class FakeTimers : public Timers {
public:
    std::map<ModelTimer, std::uint32_t> running;  // timer -> interval
    int starts = 0;
    void Start(ModelTimer t, std::uint32_t ms) override {
        ++starts;
        if (ms == 0)
            running.erase(t);
        else
            running[t] = ms;
    }
    void Stop(ModelTimer t) override { running.erase(t); }
    bool Running(ModelTimer t) const { return running.count(t) != 0; }
};

class Errors : public ErrorReporter {
public:
    std::vector<std::string> texts;
    std::function<void()> whileShown;  // the box's own message loop
    void Report(const std::exception& e) override {
        texts.push_back(e.what());
        if (whileShown) {
            auto f = std::move(whileShown);
            whileShown = nullptr;
            f();
        }
    }
};

// A model over the fakes above.
struct ModelRig {
    Store store;
    Files files;
    FakeDesktop desktop;
    FakeClock clock;
    FakeTimers timers;
    Errors errors;
    WallpaperModel model{WallpaperModel::Services{store, files, desktop, clock, timers, errors}};

    // A list file with these pictures (each a real picture unless listed otherwise).
    void ListPictures(const std::vector<std::string>& paths) {
        std::string bytes;
        for (const auto& p : paths) {
            bytes += p + "\r\n";
            if (!files.failing.count(p) && !files.folders.count(p)) files.pictures.emplace(p, Files::Picture{});
        }
        store.values["FileName"] = files.defaultList;
        files.files[files.defaultList] = bytes;
    }
};

}  // namespace fakes
