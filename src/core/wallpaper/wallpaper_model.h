#pragma once
// The wallpaper changer without its windows: the settings, the picture list
// and its file, the current picture, the choice of the next picture, and the
// composition and installation of the wallpaper. The windows read it and
// call it; it tells them what changed through WallpaperModel::Observer.
// Everything it needs from the system comes through wallpaper_services.h.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/wallpaper/calendar_rect.h"
#include "core/picture/image.h"
#include "core/wallpaper/settings.h"
#include "core/wallpaper/settings_transfer.h"
#include "core/wallpaper/wallpaper_composer.h"
#include "core/wallpaper/wallpaper_services.h"

namespace orvane {

// The calendar's three texts, whose fonts the user picks.
enum class CalendarText { Month, Weekday, DayNumber };
// The calendar's seven colours.
enum class CalendarColour { Month, Weekday, DayNumber, Today, NormalDay, NonWorkDay, WeekEnd };

class WallpaperModel {
public:
    struct Services {
        SettingsStore& store;
        PictureFiles& files;
        Desktop& desktop;
        Clock& clock;
        Timers& timers;
        ErrorReporter& errors;
    };

    // Told of changes; every method has an empty default.
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void OnPictureListReset() {}                          // loaded anew
        virtual void OnPicturesAdded(std::size_t first, std::size_t count) {}
        virtual void OnPicturesRemoved(const std::vector<std::size_t>& ascending) {}
        virtual void OnCurrentPictureChanged() {}
        virtual void OnSettingsLoaded() {}
        // The settings dialog's values were applied; `calendarWasOn` is the
        // calendar switch before them.
        virtual void OnSettingsApplied(bool calendarWasOn) {}
        virtual void OnQuickIconChanged() {}
        virtual void OnChangeStarted() {}
        virtual void OnChangeFinished() {}
    };

    explicit WallpaperModel(Services services);
    WallpaperModel(const WallpaperModel&) = delete;
    WallpaperModel& operator=(const WallpaperModel&) = delete;

    void AddObserver(Observer& observer);
    void RemoveObserver(Observer& observer);

    // ---- reading ----------------------------------------------------------------
    const WallpaperSettings& Settings() const { return settings_; }
    const std::vector<std::string>& Pictures() const { return pictures_; }

    // The picture loaded last (by a change, or by a look at a list entry).
    // HasPicture: something was decoded; PictureWidth/Height are its own
    // size; TopLeftPixel is its upper-left pixel as shown on screen
    // (throws Error without a picture); PicturePixels is a copy no larger
    // than the screen, for display.
    bool HasPicture() const { return current_.decoded; }
    int PictureWidth() const { return current_.width; }
    int PictureHeight() const { return current_.height; }
    std::uint32_t TopLeftPixel() const;
    const Image32& PicturePixels() const { return current_.pixels; }
    // Bumped whenever the current picture changes.
    std::uint64_t PictureVersion() const { return current_.version; }

    // ---- start and end ----------------------------------------------------------
    enum class StartResult { Changed, NoPictures };
    // The start-up step: loads the settings and the list (throws the load's
    // error, after which this run never saves), changes the wallpaper and
    // arms the rotation.
    StartResult Start();
    // Loads the settings and the list file. Throws Error on a value of the
    // wrong type or an unreadable list file; the run then never saves.
    void Load();
    // Writes the settings, the start-with-Windows entry and the list file.
    // Writes nothing before a load succeeded: a failed load left the values
    // half read, and writing them would destroy the user's.
    void Save();
    bool CanSave() const { return loaded_ && !loadFailed_; }

    // ---- picture list -----------------------------------------------------------
    // Files chosen in the open dialog: added in order, saved after each one.
    void AddFiles(const std::vector<std::string>& paths);
    // The files of a folder that the folder search offers, kind by kind, saved once.
    void AddFolder(const std::string& folder);
    // Removes the entries at these indexes and saves; nothing to remove,
    // nothing saved.
    void RemovePictures(std::vector<std::size_t> indexes);
    // Loads the entry as the current picture (a look at it in the preview).
    void LookAt(std::size_t index);

    // ---- changes ------------------------------------------------------------------
    // The next picture (at random or in order) becomes the wallpaper.
    void ChangeNow();
    // The entry becomes the wallpaper; the rotation's place stays.
    void Apply(std::size_t index);
    void OnTimer(ModelTimer timer);
    // The local date may have changed (clock set, time zone, resume, unlock):
    // with the calendar on and another day shown, the wallpaper is composed
    // again from the same picture.
    void OnClockChanged();
    // The screen size changed: the wallpaper is composed again at the new size.
    void OnDisplayChanged();
    // The system says the displays changed (size, orientation, monitors):
    // once it has settled, the wallpaper is composed again, once.
    void OnDisplaySettingsChanged();
    bool Changing() const { return changing_; }

    // ---- settings ------------------------------------------------------------------
    // The settings dialog's "ok": the edit it built from its controls (see
    // BuildSettingsEdit). The values it took are applied, then its error, if
    // any, is thrown; saved when it has none.
    void ApplySettings(const SettingsEdit& edit);
    // The user dragged or resized the calendar: kept, saved with the next save.
    void MoveCalendar(const CalendarRect& rect);
    // A corner command of the calendar's menu: kept and saved.
    void PlaceCalendarInCorner(const CalendarRect& rect);
    // The font or colour dialog was closed: the value when accepted, nothing
    // when cancelled. Saved either way.
    void SetCalendarFont(CalendarText text, const std::optional<std::string>& face);
    void SetCalendarColour(CalendarColour colour, std::optional<std::uint32_t> value);
    // "Activation Rapide" of the tray menu: one-click desktop icons turned
    // over, applied to the desktop at once, and saved.
    void ToggleQuickIcon();
    // The main window was put back in the notification area: saved.
    void Reduce();
    // The program ends at the user's request: saved. A failed save throws;
    // the caller reports it and ends anyway.
    void Quit();
    // The stored calendar rectangle on a screen of this size: scaled from
    // the size it was set for, so that it keeps its place in proportion.
    CalendarRect CalendarRectOnScreen(int width, int height) const;
    // The local date the calendar shows now (the preview draws it too).
    Date CalendarDate() { return sys_.clock.Today(); }
    const LocaleNames& CalendarNames() { return sys_.desktop.Names(); }

    // For tests and the program's own fixed paths.
    WallpaperSettings& MutableSettingsForTests() { return settings_; }
    bool RotationArmed() const { return rotationArmed_; }
    std::uint32_t RotationInterval() const { return rotationMs_; }
    Date ShownDate() const { return shownDate_; }

private:
    struct CurrentPicture {
        bool exists = false;   // a load was asked for (even of a missing file)
        bool decoded = false;  // and something was decoded
        std::string path;
        int width = 0, height = 0;
        std::uint32_t topLeft = 0;
        Image32 pixels;
        std::uint64_t version = 1;
    };

    bool LoadCurrentPicture(const std::string& path);
    // The rotation's step: the chooser's next entry becomes the wallpaper.
    void ChangeToNextPicture();
    bool VolumeAvailable(const std::string& path, std::map<std::string, bool>& known);
    // `others`: the pictures of the monitors other than the primary, in the
    // system's order (none: they keep theirs).
    void InstallPicture(std::size_t index, const std::vector<std::string>& others = {});
    void Compose(const std::string& path, const std::vector<std::string>& others = {});
    bool ComposeForMonitors(const std::vector<Monitor>& monitors, const std::string& path,
                            const std::vector<std::string>& others, const DisplayInfo& display, Date today,
                            std::uint32_t& topLeft);
    std::vector<std::string> SamePictureOnEveryMonitor(const std::string& path);
    // The picture for the composer, from the kept copy when it serves;
    // `topLeft` receives its upper-left pixel once decoded.
    PictureSource SourceFor(const std::string& path, std::uint32_t& topLeft);
    CalendarPainter CalendarPainterFor(int screenWidth, int screenHeight, Date today);
    void WriteBitmap(Image32 bitmap, const std::string& file, int bitsPerPixel);
    bool CurrentPixelsAreWhole() const;
    enum class ChangeKind { Picture, Recompose };
    void RunChange(ChangeKind kind, const std::function<void()>& change);
    void SetRotation(bool on, std::uint32_t ms);
    void ArmMidnight();
    void UpdateLabelWatch();
    void ForEachObserver(const std::function<void(Observer&)>& f);
    void AddPicture(const std::string& path);

    Services sys_;
    WallpaperSettings settings_;
    std::vector<std::string> pictures_;
    CurrentPicture current_;
    std::vector<Observer*> observers_;

    bool loaded_ = false;
    bool loadFailed_ = false;
    bool changing_ = false;
    std::function<void()> pendingChange_;  // asked for while a change ran
    ChangeKind pendingKind_ = ChangeKind::Picture;
    bool rotationArmed_ = false;
    std::uint32_t rotationMs_ = 0;
    bool labelWatchOn_ = false;
    // The picture the wallpaper was last composed from, and the date on it.
    std::string installedPath_;
    bool installed_ = false;
    Date shownDate_{0, 0, 0};
    // What each monitor shows (device id -> picture), with a wallpaper per monitor.
    std::map<std::string, std::string> monitorPictures_;
};

}  // namespace orvane
