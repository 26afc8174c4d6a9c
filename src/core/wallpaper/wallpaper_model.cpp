#include "core/wallpaper/wallpaper_model.h"

#include <algorithm>
#include <exception>
#include <map>
#include <utility>

#include "core/picture/bmp_file.h"
#include "core/picture/picture_kinds.h"
#include "core/wallpaper/composition.h"
#include "core/error.h"
#include "core/wallpaper/picture_chooser.h"
#include "core/wallpaper/picture_list.h"
#include "core/wallpaper/placement.h"

namespace orvane {

namespace {

// The rotation's period for an interval in seconds. A negative (hand-edited)
// interval never fires, like 0; the timer service holds huge ones at the
// longest period the system accepts.
std::uint32_t RotationMilliseconds(std::int32_t interval) {
    if (interval <= 0) return 0;
    const std::uint64_t ms = static_cast<std::uint64_t>(interval) * 1000u;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, 0xFFFFFFFFu));
}

bool SameDate(const Date& a, const Date& b) { return a.year == b.year && a.month == b.month && a.day == b.day; }

// Just past midnight, so that the date read then is already the new one
// even when the timer fires a little early.
constexpr std::uint32_t kPastMidnightMs = 2000;

// How long the display must stay as it is before the wallpaper is composed
// for it: a resolution change or a monitor plugged in sends several messages.
constexpr std::uint32_t kDisplaySettleMs = 500;

}  // namespace

WallpaperModel::WallpaperModel(Services services) : sys_(services) {}

void WallpaperModel::AddObserver(Observer& observer) { observers_.push_back(&observer); }

void WallpaperModel::RemoveObserver(Observer& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

void WallpaperModel::ForEachObserver(const std::function<void(Observer&)>& f) {
    // A copy: an observer may come or go while being told.
    const std::vector<Observer*> now = observers_;
    for (Observer* o : now)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) f(*o);
}

std::uint32_t WallpaperModel::TopLeftPixel() const {
    if (!current_.decoded) throw Error("Aucune image n'est chargée");
    return current_.topLeft;
}

// ---------------------------------------------------------------- start, load, save

WallpaperModel::StartResult WallpaperModel::Start() {
    try {
        Load();
    } catch (...) {
        // The date watch and the label watch run whatever the load gave: a
        // calendar composed later by "Changer !" must still turn its page.
        ArmMidnight();
        UpdateLabelWatch();
        throw;
    }
    ArmMidnight();
    if (pictures_.empty()) return StartResult::NoPictures;
    RunChange(ChangeKind::Picture, [this] { ChangeToNextPicture(); });
    if (settings_.RunMode != 0) SetRotation(true, RotationMilliseconds(settings_.Interval));
    return StartResult::Changed;
}

void WallpaperModel::Load() {
    try {
        WallpaperSettings& s = settings_;
        // The list file is read right after FileName and before the other
        // values, so that a list that cannot be read stops the load there.
        // The default probes the program's folder (a file write): only when needed.
        auto stored = sys_.store.Read("FileName");
        s.FileName = stored ? *stored : sys_.files.DefaultListFileName();
        pictures_.clear();
        ForEachObserver([](Observer& o) { o.OnPictureListReset(); });
        if (sys_.files.IsFile(s.FileName)) {
            auto bytes = sys_.files.ReadWholeFile(s.FileName);
            if (!bytes) throw Error(FormatMessage1("Impossible d'ouvrir le fichier %s", s.FileName));
            auto lines = ParseListFile(*bytes, sys_.files.ListCodec());
            // An entry whose drive or share is not there yet (a USB disk, a
            // share mounted late) keeps its place; its turn is passed until
            // the volume is back.
            std::map<std::string, bool> volumes;
            RemoveMissing(lines, [&](const std::string& p) { return sys_.files.IsFile(p) || !VolumeAvailable(p, volumes); });
            pictures_ = std::move(lines);
            ForEachObserver([](Observer& o) { o.OnPictureListReset(); });
        }
        const DisplayInfo display = sys_.desktop.Display();
        const std::string fileName = s.FileName;
        LoadSettingsValues(sys_.store, s, fileName, display.width, display.height);
    } catch (...) {
        loadFailed_ = true;
        throw;
    }
    loaded_ = true;
    ForEachObserver([](Observer& o) { o.OnSettingsLoaded(); });
    UpdateLabelWatch();
}

void WallpaperModel::Save() {
    if (!CanSave()) return;
    const WallpaperSettings& s = settings_;
    sys_.desktop.SetStartWithWindows(s.RunAtStartup);
    SaveFileNameValue(sys_.store, s);
    if (!sys_.files.WriteWholeFile(s.FileName, EncodeListFile(pictures_, sys_.files.ListCodec())))
        throw Error(FormatMessage1("Impossible de créer le fichier %s", s.FileName));
    SaveRemainingValues(sys_.store, s);
}

// ---------------------------------------------------------------- picture list

void WallpaperModel::AddPicture(const std::string& path) {
    pictures_.push_back(path);
    const std::size_t at = pictures_.size() - 1;
    ForEachObserver([at](Observer& o) { o.OnPicturesAdded(at, 1); });
}

void WallpaperModel::AddFiles(const std::vector<std::string>& paths) {
    for (const auto& p : paths) {
        AddPicture(p);
        Save();
    }
}

void WallpaperModel::AddFolder(const std::string& folder) {
    for (const std::string& pattern : FolderSearchPatterns())
        for (const auto& p : sys_.files.FindMatching(folder, pattern)) AddPicture(p);
    Save();
}

void WallpaperModel::RemovePictures(std::vector<std::size_t> indexes) {
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    indexes.erase(std::remove_if(indexes.begin(), indexes.end(), [this](std::size_t i) { return i >= pictures_.size(); }),
                  indexes.end());
    if (indexes.empty()) return;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) pictures_.erase(pictures_.begin() + *it);
    ForEachObserver([&indexes](Observer& o) { o.OnPicturesRemoved(indexes); });
    Save();
}

void WallpaperModel::LookAt(std::size_t index) {
    if (index < pictures_.size()) LoadCurrentPicture(pictures_[index]);
}

// ---------------------------------------------------------------- current picture

bool WallpaperModel::LoadCurrentPicture(const std::string& path) {
    current_.exists = true;
    // A missing file changes nothing, and neither does a folder whose name
    // ends like a picture (a folder search adds those too).
    if (path.empty() || sys_.files.NothingAt(path) || sys_.files.IsFolder(path)) return false;
    // Kept no larger than the screen: enough for the preview and for a
    // stretched wallpaper, and a photo of many megapixels does not stay in
    // memory for the life of the program.
    const DisplayInfo display = sys_.desktop.Display();
    PictureFiles::PictureHeader header;
    Image32 decoded = sys_.files.DecodeWithin(path, std::max(display.width, 1), std::max(display.height, 1), header);
    current_.decoded = true;  // on error the previous picture stays
    current_.path = path;
    current_.width = header.width;
    current_.height = header.height;
    current_.topLeft = header.topLeft;
    current_.pixels = std::move(decoded);
    ++current_.version;
    ForEachObserver([](Observer& o) { o.OnCurrentPictureChanged(); });
    return true;
}

bool WallpaperModel::CurrentPixelsAreWhole() const {
    return current_.pixels.width == current_.width && current_.pixels.height == current_.height;
}

PictureSource WallpaperModel::SourceFor(const std::string& path, std::uint32_t& topLeft) {
    // The copy kept for the preview serves when it is what a decode would
    // give (the whole picture, or one made within the same bounds); after a
    // change of screen size the picture is decoded again, so the wallpaper
    // is never a blurred rescale.
    const bool current = current_.decoded && current_.path == path;
    PictureSource source;
    if (current) {
        source.width = current_.width;
        source.height = current_.height;
        topLeft = current_.topLeft;
    }
    const auto keptFits = [this, current](int maxWidth, int maxHeight) {
        return current && (CurrentPixelsAreWhole() || (current_.pixels.width == std::min(current_.width, maxWidth) &&
                                                       current_.pixels.height == std::min(current_.height, maxHeight)));
    };
    // With room, the decode can grow into the screen's bitmap in place (fit).
    source.decodeWithinRoom = [this, path, keptFits, &topLeft](int maxWidth, int maxHeight, std::size_t spareWords) {
        if (keptFits(maxWidth, maxHeight)) return CopyForBitmap(current_.pixels);
        PictureFiles::PictureHeader header;
        Image32 decoded = sys_.files.DecodeWithinRoom(path, maxWidth, maxHeight, header, spareWords);
        topLeft = header.topLeft;
        return decoded;
    };
    source.decodeWithin = [room = source.decodeWithinRoom](int maxWidth, int maxHeight) {
        return room(maxWidth, maxHeight, 0);
    };
    source.decodeWhole = [this, path, current, &topLeft] {
        if (current && CurrentPixelsAreWhole()) return CopyForBitmap(current_.pixels);
        Image32 whole = sys_.files.Decode(path);
        topLeft = whole.empty() ? 0 : whole.at(0, 0);
        return whole;
    };
    return source;
}

std::vector<std::string> WallpaperModel::SamePictureOnEveryMonitor(const std::string& path) {
    const std::size_t monitors = sys_.desktop.WallpaperMonitors().size();
    return monitors >= 2 ? std::vector<std::string>(monitors - 1, path) : std::vector<std::string>{};
}

CalendarRect WallpaperModel::CalendarRectOnScreen(int width, int height) const {
    const WallpaperSettings& s = settings_;
    return ScaleCalendarRect({s.CalL, s.CalT, s.CalR, s.CalB}, s.CalScreenW, s.CalScreenH, width, height);
}

CalendarPainter WallpaperModel::CalendarPainterFor(int screenWidth, int screenHeight, Date today) {
    if (!settings_.Calendar) return {};
    // The exchange of a top below the bottom is kept in the settings.
    if (settings_.CalT > settings_.CalB) std::swap(settings_.CalT, settings_.CalB);
    WallpaperSettings shown = settings_;
    const CalendarRect r = CalendarRectOnScreen(screenWidth, screenHeight);
    shown.CalL = r.left, shown.CalT = r.top, shown.CalR = r.right, shown.CalB = r.bottom;
    return [this, shown, screenWidth, today](Image32& bitmap) mutable {
        const int bitmapWidth = bitmap.width;
        sys_.desktop.DrawOn(bitmap, [&](Canvas& canvas) {
            DrawCalendarOnWallpaper(canvas, bitmapWidth, shown, screenWidth, today, sys_.desktop.Names());
        });
    };
}

void WallpaperModel::WriteBitmap(Image32 bitmap, const std::string& file, int bitsPerPixel) {
    // The file's bytes are made in the bitmap's own memory, for one write.
    const BmpFileBytes bytes = EncodeBmpInPlace(std::move(bitmap), bitsPerPixel);
    if (!sys_.files.WriteWholeFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        throw Error(FormatMessage1("Impossible de créer le fichier %s", file));
}

// ---------------------------------------------------------------- changes

void WallpaperModel::RunChange(ChangeKind kind, const std::function<void()>& change) {
    // An error box runs a message loop of its own: a timer or a menu can ask
    // for another change meanwhile. It waits until this one is over, so that
    // what the user chose last is what stays. A recompose of the current
    // picture never takes the place of a waiting change of picture: that
    // change composes at the day's date and the screen's size anyway.
    if (changing_) {
        if (!(kind == ChangeKind::Recompose && pendingChange_ && pendingKind_ == ChangeKind::Picture)) {
            pendingChange_ = change;
            pendingKind_ = kind;
        }
        return;
    }
    changing_ = true;
    std::exception_ptr failure;
    ForEachObserver([](Observer& o) { o.OnChangeStarted(); });
    try {
        change();
    } catch (...) {
        failure = std::current_exception();
    }
    ForEachObserver([](Observer& o) { o.OnChangeFinished(); });
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            sys_.errors.Report(e);
        } catch (...) {
            sys_.errors.Report(Error("Erreur inconnue"));
        }
    }
    changing_ = false;
    if (pendingChange_) {
        auto next = std::move(pendingChange_);
        pendingChange_ = nullptr;
        RunChange(pendingKind_, next);
    }
}

bool WallpaperModel::VolumeAvailable(const std::string& path, std::map<std::string, bool>& known) {
    const std::string root = VolumeRoot(path);
    if (root.empty()) return true;
    auto it = known.find(root);
    if (it == known.end()) it = known.emplace(root, sys_.files.VolumeAvailable(root)).first;
    return it->second;
}

void WallpaperModel::ChangeToNextPicture() {
    if (pictures_.empty()) return;
    NextPictureRules rules;
    rules.count = pictures_.size();
    rules.number = settings_.Number;
    rules.random = settings_.Random;
    rules.seed = sys_.clock.MillisecondsSinceUtcMidnight();
    // One picture per monitor when the user asked for it and the system can
    // show them; otherwise every monitor shows the one picture.
    const std::size_t monitors = settings_.OneWallpaperPerScreen ? sys_.desktop.WallpaperMonitors().size() : 0;
    if (monitors >= 2) rules.screens = monitors;
    std::map<std::string, bool> volumes;
    const NextPictures next =
        ChooseNextPictures(rules, [&](std::size_t i) { return VolumeAvailable(pictures_[i], volumes); });
    settings_.Number = next.number;
    // Nothing can be read now: the wallpaper stays as it is, quietly.
    if (next.indexes.empty()) return;
    std::vector<std::string> others;
    for (std::size_t i = 1; i < next.indexes.size(); ++i) others.push_back(pictures_[next.indexes[i]]);
    if (others.empty()) others = SamePictureOnEveryMonitor(pictures_[next.indexes.front()]);
    InstallPicture(next.indexes.front(), others);
}

void WallpaperModel::ChangeNow() {
    if (pictures_.empty()) return;
    RunChange(ChangeKind::Picture, [this] { ChangeToNextPicture(); });
}

void WallpaperModel::Apply(std::size_t index) {
    RunChange(ChangeKind::Picture, [this, index] {
        // The rotation goes on from where it was, whatever happens here.
        const std::int32_t kept = settings_.Number;
        settings_.Number = static_cast<std::int32_t>(index);
        try {
            // With a picture per monitor the others keep theirs.
            InstallPicture(index, settings_.OneWallpaperPerScreen || index >= pictures_.size()
                                      ? std::vector<std::string>{}
                                      : SamePictureOnEveryMonitor(pictures_[index]));
        } catch (...) {
            settings_.Number = kept;
            throw;
        }
        settings_.Number = kept;
    });
}

void WallpaperModel::InstallPicture(std::size_t index, const std::vector<std::string>& others) {
    if (index >= pictures_.size()) return;
    LoadCurrentPicture(pictures_[index]);
    // Nothing was ever decoded (the first file named is missing): there is
    // no picture to install, and the desktop keeps what it shows.
    if (!current_.decoded) return;
    Compose(current_.path, others);
}

void WallpaperModel::Compose(const std::string& path, const std::vector<std::string>& others) {
    const DisplayInfo display = sys_.desktop.Display();
    const Date today = sys_.clock.Today();
    const std::vector<Monitor> monitors = sys_.desktop.WallpaperMonitors();
    std::uint32_t topLeft = 0;
    if (monitors.size() < 2 || !ComposeForMonitors(monitors, path, others, display, today, topLeft)) {
        const std::string file = sys_.desktop.WallpaperFilePath();
        ScreenComposition screen;
        screen.mode = ModeFromStored(settings_.WallPaperMode);
        screen.screenWidth = display.width;
        screen.screenHeight = display.height;
        if (screen.mode == WallpaperMode::Fit) screen.backgroundColour = sys_.desktop.BackgroundColour();
        Image32 bitmap = ComposeScreenWallpaper(SourceFor(path, topLeft), screen,
                                                CalendarPainterFor(display.width, display.height, today));
        WriteBitmap(std::move(bitmap), file, display.bitsPerPixel);
        sys_.desktop.ShowWallpaper(file, settings_.WallPaperMode);
        monitorPictures_.clear();
    }
    installed_ = true;
    installedPath_ = path;
    shownDate_ = today;
    if (settings_.TransparentIcon) sys_.desktop.RecolourIconLabels(ComplementColour(topLeft));
}

bool WallpaperModel::ComposeForMonitors(const std::vector<Monitor>& monitors, const std::string& path,
                                        const std::vector<std::string>& others, const DisplayInfo& display, Date today,
                                        std::uint32_t& topLeft) {
    // Each monitor's picture: the primary's is `path`; the others take the
    // ones given, else keep what they show, else show the same.
    std::vector<std::string> pictures;
    std::size_t next = 0;
    for (const Monitor& m : monitors) {
        if (m.primary) {
            pictures.push_back(path);
        } else if (next < others.size()) {
            pictures.push_back(others[next++]);
        } else if (auto kept = monitorPictures_.find(m.deviceId); kept != monitorPictures_.end()) {
            pictures.push_back(kept->second);
        } else {
            pictures.push_back(path);
        }
    }
    const std::string primaryFile = sys_.desktop.WallpaperFilePath();
    const std::size_t slash = primaryFile.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : primaryFile.substr(0, slash + 1);
    const MonitorPlan plan = PlanMonitorWallpapers(
        monitors, pictures, sys_.files.FindMatching(folder.empty() ? "." : folder.substr(0, folder.size() - 1),
                                                    "OrvaneWallPaper-*.bmp"));

    const WallpaperMode mode = ModeFromStored(settings_.WallPaperMode);
    const std::uint32_t background = sys_.desktop.BackgroundColour();
    // A picture on several monitors is decoded once, within the largest size
    // they need.
    std::map<std::string, PictureSource> sources;
    std::map<std::string, std::uint32_t> topLefts;
    for (const MonitorWallpaper& w : plan.monitors) {
        if (sources.count(w.picture)) continue;
        std::vector<std::pair<int, int>> sizes;
        for (const MonitorWallpaper& o : plan.monitors)
            if (o.picture == w.picture) sizes.emplace_back(o.width, o.height);
        sources.emplace(w.picture, DecodeOnceForScreens(SourceFor(w.picture, topLefts[w.picture]), mode, sizes));
    }
    std::vector<std::pair<std::string, std::string>> shown;
    for (const MonitorWallpaper& w : plan.monitors) {
        ScreenComposition screen;
        screen.mode = mode;
        screen.screenWidth = w.width;
        screen.screenHeight = w.height;
        screen.screenSized = true;
        screen.backgroundColour = background;
        const std::string file = w.fileName == "OrvaneWallPaper.bmp" ? primaryFile : folder + w.fileName;
        // The calendar's rectangle is the primary screen's pixels.
        Image32 bitmap = ComposeScreenWallpaper(sources.at(w.picture), screen,
                                                w.calendar ? CalendarPainterFor(display.width, display.height, today)
                                                           : CalendarPainter());
        WriteBitmap(std::move(bitmap), file, display.bitsPerPixel);
        shown.emplace_back(w.deviceId, file);
    }
    if (!sys_.desktop.ShowOnMonitors(shown)) return false;
    for (const std::string& stale : plan.staleFiles)
        sys_.files.RemoveFile(stale.find_first_of("\\/") == std::string::npos ? folder + stale : stale);
    monitorPictures_.clear();
    for (const MonitorWallpaper& w : plan.monitors) monitorPictures_[w.deviceId] = w.picture;
    topLeft = topLefts[path];
    return true;
}

void WallpaperModel::OnTimer(ModelTimer timer) {
    switch (timer) {
        case ModelTimer::Rotation:
            // The countdown starts again once the change is over.
            sys_.timers.Stop(ModelTimer::Rotation);
            if (!pictures_.empty()) RunChange(ChangeKind::Picture, [this] { ChangeToNextPicture(); });
            // As the user left it: a dialog closed during an error box may
            // have turned the rotation off.
            if (rotationArmed_ && rotationMs_ > 0) sys_.timers.Start(ModelTimer::Rotation, rotationMs_);
            break;
        case ModelTimer::LabelWatch:
            // Every failure ends this tick quietly; the next one starts afresh.
            try {
                if (settings_.TransparentIcon) {
                    if (!current_.decoded) return;  // nothing to sample, nothing else this tick
                    sys_.desktop.WatchIconLabels(ComplementColour(current_.topLeft), settings_.QuickIcon);
                } else {
                    sys_.desktop.WatchIconLabels(std::nullopt, settings_.QuickIcon);
                }
            } catch (...) {
            }
            break;
        case ModelTimer::Midnight:
            OnClockChanged();
            break;
        case ModelTimer::DisplaySettle:
            sys_.timers.Stop(ModelTimer::DisplaySettle);
            OnDisplayChanged();
            break;
    }
}

void WallpaperModel::OnClockChanged() {
    ArmMidnight();
    if (!installed_ || !settings_.Calendar) return;
    if (SameDate(shownDate_, sys_.clock.Today())) return;
    OnDisplayChanged();
}

void WallpaperModel::OnDisplayChanged() {
    if (!installed_) return;
    const std::string path = installedPath_;
    RunChange(ChangeKind::Recompose, [this, path] {
        // The picture may have gone since: the wallpaper stays as it is, and
        // the next change says why if it still cannot be read.
        try {
            if (sys_.files.IsFile(path)) Compose(path);
        } catch (const std::exception&) {
        }
    });
}

void WallpaperModel::OnDisplaySettingsChanged() {
    // Each message of a burst starts the wait again.
    sys_.timers.Start(ModelTimer::DisplaySettle, kDisplaySettleMs);
}

void WallpaperModel::ArmMidnight() {
    sys_.timers.Start(ModelTimer::Midnight, sys_.clock.MillisecondsToNextLocalMidnight() + kPastMidnightMs);
}

void WallpaperModel::SetRotation(bool on, std::uint32_t ms) {
    // A new interval or a new state restarts the countdown; the same ones
    // leave it alone.
    if (on == rotationArmed_ && ms == rotationMs_) return;
    rotationArmed_ = on;
    rotationMs_ = ms;
    if (on && ms > 0)
        sys_.timers.Start(ModelTimer::Rotation, ms);
    else
        sys_.timers.Stop(ModelTimer::Rotation);
}

void WallpaperModel::UpdateLabelWatch() {
    const bool on = settings_.TransparentIcon || settings_.QuickIcon;
    if (on == labelWatchOn_) return;
    labelWatchOn_ = on;
    if (on)
        sys_.timers.Start(ModelTimer::LabelWatch, 2000);
    else
        sys_.timers.Stop(ModelTimer::LabelWatch);
}

// ---------------------------------------------------------------- settings

void WallpaperModel::ApplySettings(const SettingsEdit& edit) {
    // The values before an unreadable field are taken, as they always were.
    settings_ = edit.settings;
    if (edit.failure) throw Error(*edit.failure);
    const ParamTransferResult& r = edit.effects;
    SetRotation(r.rotationEnabled, r.rotationEnabled ? r.rotationMs : rotationMs_);
    ForEachObserver([&r](Observer& o) { o.OnSettingsApplied(r.calendarWasOn); });
    UpdateLabelWatch();
    Save();
}

void WallpaperModel::MoveCalendar(const CalendarRect& rect) {
    const DisplayInfo display = sys_.desktop.Display();
    settings_.CalScreenW = display.width;
    settings_.CalScreenH = display.height;
    settings_.CalL = rect.left;
    settings_.CalT = rect.top;
    settings_.CalR = rect.right;
    settings_.CalB = rect.bottom;
}

void WallpaperModel::PlaceCalendarInCorner(const CalendarRect& rect) {
    MoveCalendar(rect);
    Save();
}

void WallpaperModel::SetCalendarFont(CalendarText text, const std::optional<std::string>& face) {
    if (face) {
        switch (text) {
            case CalendarText::Month: settings_.MounthFont = *face; break;
            case CalendarText::Weekday: settings_.DayFont = *face; break;
            case CalendarText::DayNumber: settings_.DayNumberFont = *face; break;
        }
    }
    Save();
}

void WallpaperModel::SetCalendarColour(CalendarColour colour, std::optional<std::uint32_t> value) {
    if (value) {
        std::uint32_t* field = nullptr;
        switch (colour) {
            case CalendarColour::Month: field = &settings_.colMounth; break;
            case CalendarColour::Weekday: field = &settings_.colDay; break;
            case CalendarColour::DayNumber: field = &settings_.colDayNumber; break;
            case CalendarColour::Today: field = &settings_.colActualDay; break;
            case CalendarColour::NormalDay: field = &settings_.colNormalDay; break;
            case CalendarColour::NonWorkDay: field = &settings_.colNonWorkDay; break;
            case CalendarColour::WeekEnd: field = &settings_.colWeekEnd; break;
        }
        if (field) *field = *value;
    }
    Save();
}

void WallpaperModel::ToggleQuickIcon() {
    settings_.QuickIcon = !settings_.QuickIcon;
    ForEachObserver([](Observer& o) { o.OnQuickIconChanged(); });
    sys_.desktop.ApplyQuickActivation(settings_.QuickIcon);
    Save();
}

void WallpaperModel::Reduce() { Save(); }

void WallpaperModel::Quit() { Save(); }

}  // namespace orvane
