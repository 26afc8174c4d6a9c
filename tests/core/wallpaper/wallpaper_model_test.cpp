// The wallpaper model's rules, over in-memory files, desktop, clock and timers.
#include <gtest/gtest.h>

#include <array>

#include "core/picture/bmp_file.h"
#include "core/wallpaper/settings_transfer.h"
#include "core/wallpaper/wallpaper_model.h"
#include "core/fake_services.h"

namespace orvane {
namespace {

using fakes::ModelRig;

// Width and height written in a bitmap file's header.
std::pair<int, int> BitmapSize(const std::string& bytes) {
    const auto b = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const BmpInfo info = CheckBmp(b, bytes.size());
    return {info.width, info.height};
}

class WallpaperModelTest : public ::testing::Test {
protected:
    ModelRig rig;
    WallpaperModel& model = rig.model;

    void StartWith(const std::vector<std::string>& pictures, std::map<std::string, std::string> values = {}) {
        rig.ListPictures(pictures);
        for (auto& [k, v] : values) rig.store.values[k] = v;
        model.Start();
    }
    const std::string& WallpaperBytes() { return rig.files.files[rig.desktop.wallpaperPath]; }
};

TEST_F(WallpaperModelTest, StartChoosesInOrderComposesShowsAndArmsTheRotation) {
    StartWith({"C:\\a.bmp", "C:\\b.bmp"},
              {{"Random", "0"}, {"Number", "0"}, {"RunMode", "1"}, {"Interval", "90"}, {"WallPaperMode", "2"}});
    EXPECT_EQ(model.Settings().Number, 1);
    ASSERT_EQ(rig.desktop.shown.size(), 1u);
    EXPECT_EQ(rig.desktop.shown[0].first, rig.desktop.wallpaperPath);
    EXPECT_EQ(rig.desktop.shown[0].second, 2);
    EXPECT_EQ(BitmapSize(WallpaperBytes()), std::make_pair(64, 48));  // stretched to the screen
    EXPECT_TRUE(rig.timers.Running(ModelTimer::Rotation));
    EXPECT_EQ(rig.timers.running[ModelTimer::Rotation], 90000u);
    EXPECT_TRUE(rig.timers.Running(ModelTimer::Midnight));
    EXPECT_TRUE(rig.errors.texts.empty());
    // Starting saves nothing: the store was only read.
    EXPECT_TRUE(rig.store.writes.empty());
}

TEST_F(WallpaperModelTest, AnEmptyListSaysSoAndNothingIsShown) {
    rig.ListPictures({});
    EXPECT_EQ(model.Start(), WallpaperModel::StartResult::NoPictures);
    EXPECT_TRUE(rig.desktop.shown.empty());
    EXPECT_FALSE(rig.timers.Running(ModelTimer::Rotation));
}

TEST_F(WallpaperModelTest, AFailedLoadNeverSavesAndNeitherDoesASaveBeforeTheLoad) {
    rig.ListPictures({"C:\\a.bmp"});
    rig.store.values["RunAtStartup"] = "1";
    rig.store.values["CalL"] = "17";
    const std::string listBefore = rig.files.files[rig.files.defaultList];

    model.Save();  // before the start-up step: nothing was read yet
    EXPECT_TRUE(rig.store.writes.empty());
    EXPECT_TRUE(rig.desktop.startEntries.empty());

    rig.store.wrongType.insert("WallPaperMode");
    EXPECT_THROW(model.Start(), Error);
    EXPECT_FALSE(model.CanSave());
    model.AddFiles({"C:\\b.bmp"});
    model.Save();
    model.RemovePictures({0});
    EXPECT_TRUE(rig.store.writes.empty());
    EXPECT_TRUE(rig.desktop.startEntries.empty());
    EXPECT_EQ(rig.files.files[rig.files.defaultList], listBefore);
    EXPECT_EQ(rig.store.values["CalL"], "17");
}

TEST_F(WallpaperModelTest, AnUnreadableListFileStopsTheLoadAndNothingIsSavedAfter) {
    rig.store.values["FileName"] = "C:\\liste.cfg";
    rig.files.failing["C:\\liste.cfg"] = "verrouillé";  // there, but cannot be read
    try {
        model.Start();
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Impossible d'ouvrir le fichier C:\\liste.cfg");
    }
    model.Save();
    EXPECT_TRUE(rig.store.writes.empty());
    // The date watch runs all the same: "Changer !" may compose a calendar later.
    EXPECT_TRUE(rig.timers.Running(ModelTimer::Midnight));
}

TEST_F(WallpaperModelTest, AnEntryOnADriveNotThereYetKeepsItsPlaceAndItsTurnIsPassed) {
    rig.ListPictures({"C:\\a.bmp", "E:\\usb.bmp", "C:\\b.bmp"});
    rig.files.pictures.erase("E:\\usb.bmp");
    rig.files.absentVolumes.insert("E:\\");
    rig.files.pictures.erase("C:\\gone.bmp");
    rig.files.files[rig.files.defaultList] += "C:\\gone.bmp\r\n";  // its drive is there: dropped
    rig.store.values["Random"] = "0";
    rig.store.values["Number"] = "0";
    model.Start();
    EXPECT_EQ(model.Pictures(), (std::vector<std::string>{"C:\\a.bmp", "E:\\usb.bmp", "C:\\b.bmp"}));
    EXPECT_EQ(model.Settings().Number, 2);  // passed over E: without an error box
    EXPECT_TRUE(rig.errors.texts.empty());
    model.Save();
    EXPECT_EQ(rig.files.files[rig.files.defaultList], "C:\\a.bmp\r\nE:\\usb.bmp\r\nC:\\b.bmp\r\n");

    // Back again: it takes its turn.
    rig.files.absentVolumes.clear();
    rig.files.pictures["E:\\usb.bmp"] = {};
    model.ChangeNow();
    model.ChangeNow();
    EXPECT_EQ(model.Settings().Number, 1);
    EXPECT_EQ(rig.files.decodedWithin.back().first, "E:\\usb.bmp");

    // Nothing that can be read: the wallpaper stays, quietly.
    rig.files.absentVolumes = {"C:\\", "E:\\"};
    const auto shown = rig.desktop.shown.size();
    model.ChangeNow();
    EXPECT_EQ(rig.desktop.shown.size(), shown);
    EXPECT_TRUE(rig.errors.texts.empty());
}

TEST_F(WallpaperModelTest, SaveWritesTheRunEntryTheListAndTheValuesInOrder) {
    StartWith({"C:\\a.bmp"}, {{"RunAtStartup", "1"}});
    model.AddFiles({"C:\\b.bmp"});
    ASSERT_EQ(rig.desktop.startEntries, std::vector<bool>{true});
    EXPECT_EQ(rig.files.files[rig.files.defaultList], "C:\\a.bmp\r\nC:\\b.bmp\r\n");
    ASSERT_FALSE(rig.store.writes.empty());
    EXPECT_EQ(rig.store.writes.front(), "FileName");

    rig.files.unwritable.insert(rig.files.defaultList);
    try {
        model.Save();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Impossible de créer le fichier " + rig.files.defaultList);
    }
}

TEST_F(WallpaperModelTest, ListEditsTellTheObserversAndSave) {
    struct Recorder : WallpaperModel::Observer {
        std::vector<std::string> events;
        void OnPicturesAdded(std::size_t first, std::size_t count) override {
            events.push_back("+" + std::to_string(first) + "x" + std::to_string(count));
        }
        void OnPicturesRemoved(const std::vector<std::size_t>& r) override {
            std::string e = "-";
            for (auto i : r) e += std::to_string(i);
            events.push_back(e);
        }
    } recorder;
    StartWith({});
    model.AddObserver(recorder);
    rig.files.matches["D:\\p|*.bmp"] = {"D:\\p\\z.bmp"};
    rig.files.matches["D:\\p|*.jpg"] = {"D:\\p\\y.jpg"};
    rig.files.matches["D:\\p|*.pcx"] = {"D:\\p\\x.pcx"};
    const auto writesBefore = rig.store.writes.size();
    model.AddFolder("D:\\p");
    EXPECT_EQ(model.Pictures(), (std::vector<std::string>{"D:\\p\\z.bmp", "D:\\p\\y.jpg", "D:\\p\\x.pcx"}));
    const auto oneSave = rig.store.writes.size() - writesBefore;
    EXPECT_GT(oneSave, 0u);

    model.RemovePictures({2, 0, 0, 7});  // repeated and absent indexes are ignored
    EXPECT_EQ(model.Pictures(), std::vector<std::string>{"D:\\p\\y.jpg"});
    model.RemovePictures({});
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"+0x1", "+1x1", "+2x1", "-02"}));
    EXPECT_EQ(rig.store.writes.size() - writesBefore, 2 * oneSave);  // no save for nothing removed
    model.RemoveObserver(recorder);
}

TEST_F(WallpaperModelTest, ApplyKeepsTheRotationPlaceEvenWhenTheChangeFails) {
    rig.files.failing["C:\\bad.jpg"] = "Erreur JPEG #53";
    StartWith({"C:\\a.bmp", "C:\\bad.jpg"}, {{"Random", "0"}, {"Number", "-1"}});
    ASSERT_EQ(model.Settings().Number, 0);
    model.Apply(1);
    ASSERT_EQ(rig.errors.texts, std::vector<std::string>{"Erreur JPEG #53"});
    EXPECT_EQ(model.Settings().Number, 0);
    model.Apply(0);
    EXPECT_EQ(model.Settings().Number, 0);
    EXPECT_EQ(rig.desktop.shown.size(), 2u);
}

TEST_F(WallpaperModelTest, AMissingFileOrAFolderNamedLikeAPictureKeepsThePreviousPictureWithoutError) {
    rig.files.folders.insert("C:\\x.bmp");
    StartWith({"C:\\a.bmp"}, {{"Random", "0"}, {"Number", "-1"}});
    rig.files.pictures["C:\\a.bmp"].colour = 0xFF112233u;
    // A folder search adds folders whose names match, and a file may go away.
    rig.files.matches["D:\\f|*.bmp"] = {"C:\\x.bmp", "C:\\gone.bmp"};
    model.AddFolder("D:\\f");
    const auto shownBefore = rig.desktop.shown.size();
    model.ChangeNow();  // the folder
    model.ChangeNow();  // the missing file
    EXPECT_TRUE(rig.errors.texts.empty());
    EXPECT_EQ(model.Settings().Number, 2);
    // The wallpaper is composed again from the picture that was current.
    EXPECT_EQ(rig.desktop.shown.size(), shownBefore + 2);
    for (const auto& d : rig.files.decodedWithin) EXPECT_NE(d.first, "C:\\x.bmp");
}

TEST_F(WallpaperModelTest, TheRotationTickChangesAndRearmsAsTheUserLastChose) {
    rig.files.failing["C:\\bad.jpg"] = "Erreur JPEG #53";
    StartWith({"C:\\bad.jpg"}, {{"RunMode", "1"}, {"Interval", "60"}, {"Number", "-1"}});
    rig.errors.texts.clear();
    model.OnTimer(ModelTimer::Rotation);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_TRUE(rig.timers.Running(ModelTimer::Rotation));  // a failed change still re-arms

    // "A chaque démarrage" chosen in the settings dialog while the error box is open.
    ParamControlState controls;
    FillParamControls(model.Settings(), controls);
    controls.RadioButton3 = true;
    controls.RadioButton4 = false;
    rig.errors.whileShown = [&] { model.ApplySettings(BuildSettingsEdit(controls, model.Settings())); };
    model.OnTimer(ModelTimer::Rotation);
    EXPECT_EQ(model.Settings().RunMode, 0);
    EXPECT_FALSE(rig.timers.Running(ModelTimer::Rotation));
}

TEST_F(WallpaperModelTest, AChangeAskedForDuringAnErrorBoxRunsAfterItNotInsideIt) {
    rig.files.failing["C:\\bad.jpg"] = "Erreur JPEG #53";
    StartWith({"C:\\bad.jpg", "C:\\b.bmp", "C:\\c.bmp"}, {{"Random", "0"}, {"Number", "2"}});
    // Start chose 0 (bad): its box is shown. Now "Changer !" from the tray
    // while a second box is open.
    rig.errors.texts.clear();
    std::vector<bool> changingWhenAsked;
    rig.errors.whileShown = [&] {
        changingWhenAsked.push_back(model.Changing());
        model.ChangeNow();
        EXPECT_EQ(model.Settings().Number, 0);  // not run yet
    };
    model.Apply(0);
    EXPECT_EQ(changingWhenAsked, std::vector<bool>{true});
    EXPECT_EQ(model.Settings().Number, 1);  // the deferred change ran afterwards, from the kept place
    EXPECT_EQ(rig.desktop.shown.back().first, rig.desktop.wallpaperPath);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
}

TEST_F(WallpaperModelTest, ARecomposeAskedForDuringAnErrorBoxNeverReplacesAWaitingChangeOfPicture) {
    rig.files.failing["C:\\bad.jpg"] = "Erreur JPEG #53";
    StartWith({"C:\\a.bmp", "C:\\bad.jpg", "C:\\c.bmp"}, {{"Random", "0"}, {"Number", "-1"}, {"Calendar", "1"}});
    rig.errors.whileShown = [&] {
        rig.errors.whileShown = nullptr;
        model.Apply(2);               // the user's choice
        model.OnDisplayChanged();     // then the system's news
        rig.clock.today = Date{2026, 12, 10};
        model.OnClockChanged();
    };
    model.Apply(1);
    ASSERT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_EQ(rig.files.decodedWithin.back().first, "C:\\c.bmp");
    EXPECT_EQ(model.ShownDate().day, 10);
}

TEST_F(WallpaperModelTest, ANewDayRecomposesTheSamePictureWithoutMovingAnything) {
    StartWith({"C:\\a.bmp", "C:\\b.bmp"},
              {{"Calendar", "1"}, {"Random", "0"}, {"Number", "0"}, {"RunMode", "1"}, {"Interval", "3600"}});
    ASSERT_EQ(model.Settings().Number, 1);
    const auto writes = rig.store.writes.size();
    const auto shown = rig.desktop.shown.size();
    const int timerStarts = rig.timers.starts;
    const std::string before = WallpaperBytes();

    model.OnClockChanged();  // same day: nothing
    EXPECT_EQ(rig.desktop.shown.size(), shown);

    rig.clock.today = Date{2026, 12, 10};
    model.OnTimer(ModelTimer::Midnight);
    ASSERT_EQ(rig.desktop.shown.size(), shown + 1);
    EXPECT_EQ(model.ShownDate().day, 10);
    EXPECT_EQ(model.Settings().Number, 1);
    // From the copy kept of the same picture: nothing decoded again.
    EXPECT_EQ(rig.files.decodedWithin.size(), 1u);
    EXPECT_TRUE(rig.files.decoded.empty());
    EXPECT_EQ(rig.store.writes.size(), writes);
    EXPECT_EQ(rig.timers.running[ModelTimer::Rotation], 3600000u);
    // Only the midnight timer was armed again.
    EXPECT_EQ(rig.timers.starts, timerStarts + 2);
    EXPECT_EQ(WallpaperBytes().size(), before.size());

    // Calendar off: a new day changes nothing.
    model.MutableSettingsForTests().Calendar = false;
    rig.clock.today = Date{2026, 12, 11};
    model.OnClockChanged();
    EXPECT_EQ(rig.desktop.shown.size(), shown + 1);
}

TEST_F(WallpaperModelTest, APictureGoneOrDamagedByTheNextDayLeavesTheWallpaperQuietly) {
    // Centred, and larger than the screen: the copy kept for the preview
    // cannot make the wallpaper, the file has to be read again.
    rig.files.pictures["C:\\a.bmp"] = {100, 100, 0xFF336699u};
    StartWith({"C:\\a.bmp"}, {{"Calendar", "1"}, {"WallPaperMode", "1"}});
    ASSERT_EQ(rig.desktop.shown.size(), 1u);
    rig.files.pictures.erase("C:\\a.bmp");
    rig.clock.today = Date{2027, 1, 1};
    model.OnClockChanged();
    rig.files.failing["C:\\a.bmp"] = "Erreur JPEG #53";  // back, but damaged
    model.OnClockChanged();
    EXPECT_EQ(rig.desktop.shown.size(), 1u);
    EXPECT_TRUE(rig.errors.texts.empty());
    EXPECT_EQ(model.ShownDate().year, 2026);
}

TEST_F(WallpaperModelTest, TheKeptCopyIsNoLargerThanTheScreenAndTheWallpaperComesFromTheRightSource) {
    rig.files.pictures["C:\\grande.jpg"] = {6000, 30, 0xFF102030u};
    StartWith({"C:\\grande.jpg"}, {{"WallPaperMode", "2"}});
    EXPECT_EQ(model.PictureWidth(), 6000);
    EXPECT_EQ(model.PictureHeight(), 30);
    EXPECT_EQ(model.PicturePixels().width, 64);  // the screen's width, the picture's own height
    EXPECT_EQ(model.PicturePixels().height, 30);
    EXPECT_EQ(model.TopLeftPixel(), 0xFF102030u);
    EXPECT_TRUE(rig.files.decoded.empty());  // never decoded whole for a stretched wallpaper
    EXPECT_EQ(BitmapSize(WallpaperBytes()), std::make_pair(64, 48));

    // Centred: the wallpaper needs the picture at its own size, read again.
    model.MutableSettingsForTests().WallPaperMode = 1;
    model.Apply(0);
    EXPECT_EQ(rig.files.decoded, std::vector<std::string>{"C:\\grande.jpg"});
    EXPECT_EQ(BitmapSize(WallpaperBytes()), std::make_pair(6000, 30));
}

TEST_F(WallpaperModelTest, ANewScreenSizeRecomposesOnceSettledAndTheCalendarKeepsItsPlaceInProportion) {
    // Set for 64 x 48: the bottom-right quarter.
    StartWith({"C:\\a.bmp"}, {{"WallPaperMode", "2"}, {"CalL", "48"}, {"CalT", "36"}, {"CalR", "64"}, {"CalB", "48"}});
    rig.desktop.display = DisplayInfo{80, 20, 32};
    model.OnDisplaySettingsChanged();
    model.OnDisplaySettingsChanged();  // a burst: one composition, once settled
    const auto shown = rig.desktop.shown.size();
    model.OnTimer(ModelTimer::DisplaySettle);
    EXPECT_EQ(rig.desktop.shown.size(), shown + 1);
    EXPECT_FALSE(rig.timers.Running(ModelTimer::DisplaySettle));
    EXPECT_EQ(BitmapSize(WallpaperBytes()), std::make_pair(80, 20));
    const CalendarRect r = model.CalendarRectOnScreen(80, 20);
    EXPECT_EQ((std::array<int, 4>{r.left, r.top, r.right, r.bottom}), (std::array<int, 4>{60, 15, 80, 20}));
    EXPECT_TRUE(rig.errors.texts.empty());
    // The stored values stay as the user set them, with the size they were set for.
    model.Save();
    EXPECT_EQ(rig.store.values["CalL"], "48");
    EXPECT_EQ(rig.store.values["CalScreenW"], "64");
}

TEST_F(WallpaperModelTest, SeveralMonitorsEachGetABitmapOfTheirSizeTheCalendarOnlyOnThePrimary) {
    rig.desktop.monitors = {{"\\\\?\\mon2", -32, 0, 0, 64, false}, {"\\\\?\\mon1", 0, 0, 64, 48, true}};
    StartWith({"C:\\a.bmp", "C:\\b.bmp", "C:\\c.bmp"},
              {{"Random", "0"}, {"Number", "-1"}, {"Calendar", "1"}, {"OneWallpaperPerScreen", "1"}, {"WallPaperMode", "10"}});
    ASSERT_EQ(rig.desktop.shownOnMonitors.size(), 1u);
    const auto& first = rig.desktop.shownOnMonitors[0];
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1], std::make_pair(std::string("\\\\?\\mon1"), rig.desktop.wallpaperPath));
    EXPECT_EQ(first[0].second, "C:\\Windows\\OrvaneWallPaper-2a.bmp");
    EXPECT_EQ(BitmapSize(rig.files.files[first[0].second]), std::make_pair(32, 64));
    EXPECT_EQ(BitmapSize(WallpaperBytes()), std::make_pair(64, 48));
    EXPECT_TRUE(rig.desktop.shown.empty());  // not the single wallpaper
    // The primary the next picture, the other the one after: Number on it.
    EXPECT_EQ(model.Settings().Number, 1);
    EXPECT_EQ(rig.desktop.draws, 1);  // one calendar, on the primary's bitmap

    // "Appliquer" changes the primary only; the other monitor's file alternates.
    model.Apply(2);
    const auto& second = rig.desktop.shownOnMonitors.back();
    EXPECT_EQ(second[0].second, "C:\\Windows\\OrvaneWallPaper-2b.bmp");
    EXPECT_FALSE(rig.files.files.count("C:\\Windows\\OrvaneWallPaper-2a.bmp"));
    EXPECT_EQ(model.Settings().Number, 1);
}

TEST_F(WallpaperModelTest, TheLabelWatchRunsWhileLabelsOrQuickIconsAreOn) {
    StartWith({"C:\\a.bmp"}, {{"TransparentIcon", "1"}, {"QuickIcon", "0"}});
    ASSERT_TRUE(rig.timers.Running(ModelTimer::LabelWatch));
    ASSERT_EQ(rig.desktop.recoloured.size(), 1u);  // after the change
    model.OnTimer(ModelTimer::LabelWatch);
    ASSERT_EQ(rig.desktop.watched.size(), 1u);
    EXPECT_EQ(rig.desktop.watched[0].first, ComplementColour(0xFF336699u));
    EXPECT_FALSE(rig.desktop.watched[0].second);

    ParamControlState controls;
    FillParamControls(model.Settings(), controls);
    controls.cbTranspIcon = false;
    model.ApplySettings(BuildSettingsEdit(controls, model.Settings()));
    EXPECT_FALSE(rig.timers.Running(ModelTimer::LabelWatch));
}

TEST_F(WallpaperModelTest, AnUnreadableDialogFieldKeepsTheValuesBeforeItAndSavesNothing) {
    StartWith({"C:\\a.bmp"}, {{"RunAtStartup", "0"}});
    const auto writes = rig.store.writes.size();
    ParamControlState controls;
    FillParamControls(model.Settings(), controls);
    controls.CheckBox1 = true;
    controls.RadioButton3 = false;
    controls.RadioButton4 = true;
    controls.Edit1 = "deux";
    EXPECT_THROW(model.ApplySettings(BuildSettingsEdit(controls, model.Settings())), Error);
    EXPECT_TRUE(model.Settings().RunAtStartup);
    EXPECT_EQ(rig.store.writes.size(), writes);
}

TEST_F(WallpaperModelTest, TheSameIntervalConfirmedAgainLeavesTheCountdownAloneAndANewOneRestartsIt) {
    StartWith({"C:\\a.bmp"}, {{"RunMode", "1"}, {"Interval", "30000"}});
    ASSERT_EQ(rig.timers.running[ModelTimer::Rotation], 30000000u);
    const int starts = rig.timers.starts;
    ParamControlState controls;
    FillParamControls(model.Settings(), controls);  // 8 h 20 mn: the same 30000 s
    model.ApplySettings(BuildSettingsEdit(controls, model.Settings()));
    EXPECT_EQ(rig.timers.starts, starts);
    EXPECT_EQ(rig.timers.running[ModelTimer::Rotation], 30000000u);
    controls.Edit1 = "1";
    controls.Edit2 = "30";
    model.ApplySettings(BuildSettingsEdit(controls, model.Settings()));
    EXPECT_EQ(rig.timers.starts, starts + 1);
    EXPECT_EQ(rig.timers.running[ModelTimer::Rotation], 5400000u);
}

}  // namespace
}  // namespace orvane
