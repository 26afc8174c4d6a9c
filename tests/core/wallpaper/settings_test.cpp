// The settings store rules, the list file and the choice of the next picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/error.h"
#include "core/wallpaper/picture_list.h"
#include "core/wallpaper/settings.h"
#include "core/whole_number.h"

namespace orvane {
namespace {

// A store in memory that records the order of writes and can refuse types.
class MemoryStore : public SettingsStore {
public:
    std::optional<std::string> Read(const std::string& name) override {
        if (wrongType.count(name)) throw Error(FormatMessage1("Type de données incorrect pour '%s'", name));
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        reads.push_back(name);
        return it->second;
    }
    void Write(const std::string& name, const std::string& value) override {
        if (name == failOn) throw Error(FormatMessage1("Echec à la définition des données pour '%s'", name));
        values[name] = value;
        writes.push_back(name);
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> reads, writes;
    std::map<std::string, bool> wrongType;
    std::string failOn;
};

// Latin-1 stands in for the ANSI code page: code points above 255 do not fit.
class Latin1Codec : public AnsiCodec {
public:
    bool Encode(std::string_view utf8, std::string& ansi) const override {
        ansi.clear();
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c < 0x80) {
                ansi += static_cast<char>(c);
            } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
                const unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
                if (cp > 0xFF) return false;
                ansi += static_cast<char>(cp);
            } else {
                return false;
            }
        }
        return true;
    }
    std::string Decode(std::string_view ansi) const override {
        std::string out;
        for (unsigned char c : ansi) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }
};

TEST(SettingsLoad, EmptyStoreGivesEveryDefaultWithScreenDependentRectangle) {
    MemoryStore store;
    WallpaperSettings s;
    LoadSettingsValues(store, s, "C:\\Prog\\piclist.cfg", 1024, 768);
    EXPECT_EQ(s.FileName, "C:\\Prog\\piclist.cfg");
    EXPECT_TRUE(s.RunAtStartup);
    EXPECT_EQ(s.RunMode, 0);
    EXPECT_EQ(s.Interval, 0);  // not read: RunMode is 0
    EXPECT_TRUE(s.Random);
    EXPECT_EQ(s.Number, 0);  // not read: Random is on
    EXPECT_EQ(s.WallPaperMode, 2);
    EXPECT_TRUE(s.Calendar);
    EXPECT_EQ(s.CalL, 768);
    EXPECT_EQ(s.CalT, 576);
    EXPECT_EQ(s.CalR, 1024);
    EXPECT_EQ(s.CalB, 768);
    EXPECT_EQ(s.MounthFont, "Arial");
    EXPECT_EQ(s.DayNumberFont, "Arial");
    EXPECT_EQ(s.colActualDay, 255u);
    EXPECT_EQ(s.colNormalDay, 65535u);
    EXPECT_EQ(s.colNonWorkDay, 32896u);
    EXPECT_EQ(s.colWeekEnd, 16711680u);
    EXPECT_TRUE(s.TransparentIcon);
    EXPECT_TRUE(s.QuickIcon);
    EXPECT_EQ(s.RefDay, 1);
}

TEST(SettingsLoad, IntervalAndNumberAreReadOnlyInTheirModes) {
    MemoryStore store;
    store.values = {{"RunMode", "1"}, {"Interval", "abc"}, {"Random", "0"}};
    WallpaperSettings s;
    LoadSettingsValues(store, s, "x", 800, 600);
    EXPECT_EQ(s.Interval, 30000);  // unparsable: the default
    EXPECT_EQ(s.Number, -1);       // missing, sequential: the default

    MemoryStore other;
    other.values = {{"RunMode", "2"}, {"Interval", "60"}, {"Random", "7"}, {"Number", "4"}};
    WallpaperSettings t;
    LoadSettingsValues(other, t, "x", 800, 600);
    EXPECT_EQ(t.Interval, 0);
    EXPECT_TRUE(t.Random);  // any non-zero integer is true
    EXPECT_EQ(t.Number, 0);
    EXPECT_EQ(std::count(other.reads.begin(), other.reads.end(), "Interval"), 0);
    EXPECT_EQ(std::count(other.reads.begin(), other.reads.end(), "Number"), 0);
}

TEST(SettingsLoad, StoredTextIsParsedStrictlyAndHandEditedValuesAreTamed) {
    EXPECT_EQ(ParseWholeNumber("-1"), -1);
    EXPECT_EQ(ParseWholeNumber("+42"), 42);
    EXPECT_EQ(ParseWholeNumber("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "-", "12x", " 1", "1 ", "2147483648", "0x10", "1.5", "$10"})
        EXPECT_FALSE(ParseWholeNumber(bad, NumberSyntax::Decimal).has_value()) << bad;

    MemoryStore store;
    store.values = {{"RefDay", "0"}, {"colDay", "-1"}, {"MounthFont", ""}, {"CalL", "99999999999"}};
    WallpaperSettings s;
    LoadSettingsValues(store, s, "x", 1024, 768);
    EXPECT_EQ(s.RefDay, 1);
    EXPECT_EQ(s.colDay, 0x00FFFFFFu);
    EXPECT_EQ(s.MounthFont, "");  // an existing empty string stays empty
    EXPECT_EQ(s.CalL, 768);
}

TEST(SettingsLoad, AValueOfAnotherTypeStopsTheLoad) {
    MemoryStore store;
    store.wrongType["WallPaperMode"] = true;
    WallpaperSettings s;
    try {
        LoadSettingsValues(store, s, "x", 1024, 768);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Type de données incorrect pour 'WallPaperMode'");
    }
    EXPECT_FALSE(s.Calendar);  // read after the failing value: untouched
}

TEST(SettingsSave, WritesEveryValueInOrderAndStopsAtAFailedWrite) {
    MemoryStore store;
    WallpaperSettings s;
    LoadSettingsValues(store, s, "C:\\p.cfg", 1024, 768);
    SaveFileNameValue(store, s);
    SaveRemainingValues(store, s);
    const std::vector<std::string> order = {
        "FileName", "RunAtStartup", "RunMode", "Interval", "Random", "Number", "WallPaperMode", "Calendar",
        "CalL", "CalT", "CalR", "CalB", "MounthFont", "DayFont", "Day#", "colMounth", "colDay", "colDayNumber",
        "colActualDay", "colNormalDay", "colNonWorkDay", "colWeekEnd", "TransparentIcon", "QuickIcon", "RefDay",
        "CalScreenW", "CalScreenH", "OneWallpaperPerScreen"};
    EXPECT_EQ(store.writes, order);
    EXPECT_EQ(store.values["CalScreenW"], "1024");  // a store without it: set for the screen at load
    EXPECT_EQ(store.values["Number"], "0");
    EXPECT_EQ(store.values["colWeekEnd"], "16711680");
    EXPECT_EQ(store.values["RunAtStartup"], "1");

    s.Number = -1;
    MemoryStore failing;
    failing.failOn = "CalT";
    EXPECT_THROW(SaveRemainingValues(failing, s), Error);
    EXPECT_EQ(failing.writes.back(), "CalL");
    EXPECT_EQ(failing.values["Number"], "-1");
}

TEST(ListFile, AnyLineEndReadsAndEveryLineIsWrittenWithCrLf) {
    Latin1Codec codec;
    EXPECT_EQ(ParseListFile("a\r\nb\nc\rd", codec), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(EncodeListFile({"C:\\a.bmp", "D:\\b.jpg"}, codec), "C:\\a.bmp\r\nD:\\b.jpg\r\n");
    EXPECT_EQ(EncodeListFile({}, codec), "");
}

TEST(ListFile, AnsiWhenEveryPathFitsUtf8WithBomOtherwiseAndBothReadBack) {
    Latin1Codec codec;
    const std::vector<std::string> accented = {"C:\\Images\\vall\xC3\xA9" "e.bmp"};
    EXPECT_EQ(EncodeListFile(accented, codec), "C:\\Images\\vall\xE9" "e.bmp\r\n");
    EXPECT_EQ(ParseListFile(EncodeListFile(accented, codec), codec), accented);

    const std::vector<std::string> beyond = {"C:\\a.bmp", "C:\\\xE6\x9D\xB1\xE4\xBA\xAC.jpg"};  // 東京
    const std::string bytes = EncodeListFile(beyond, codec);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ParseListFile(bytes, codec), beyond);
}

TEST(ListFile, FileNamePartAndMissingEntries) {
    EXPECT_EQ(FileNamePart("C:\\Images\\a.bmp"), "a.bmp");
    EXPECT_EQ(FileNamePart("C:a.bmp"), "a.bmp");
    EXPECT_EQ(FileNamePart("C:\\\\b.jpg"), "b.jpg");
    EXPECT_EQ(FileNamePart("nom.jpg"), "nom.jpg");
    std::vector<std::string> list = {"a", "", "gone", "b", "gone"};
    RemoveMissing(list, [](const std::string& p) { return p != "gone"; });
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
}

TEST(NextPicture, SequentialWrapsAndRandomFollowsTheGenerator) {
    EXPECT_EQ(NextSequentialIndex(-1, 3), 0);
    EXPECT_EQ(NextSequentialIndex(1, 3), 2);
    EXPECT_EQ(NextSequentialIndex(2, 3), 0);
    EXPECT_EQ(NextSequentialIndex(9, 3), 0);  // left beyond the end by removals
    EXPECT_EQ(NextSequentialIndex(INT32_MAX, 3), 0);
    EXPECT_EQ(NextSequentialIndex(-7, 3), 0);

    // seed 0 -> 1 -> index (1 * count) >> 32 = 0
    EXPECT_EQ(NextRandomIndex(0, 10), 0);
    // seed 1000 -> 1000 * 134775813 + 1 = 134775813001 mod 2^32 = 1631826825
    EXPECT_EQ(NextRandomIndex(1000, 10), static_cast<int>((1631826825ull * 10) >> 32));
    EXPECT_EQ(NextRandomIndex(1000, 10), 3);
    for (std::uint32_t ms : {0u, 1u, 43200000u, 86399999u}) {
        EXPECT_EQ(NextRandomIndex(ms, 1), 0);
        const int i = NextRandomIndex(ms, 7);
        EXPECT_GE(i, 0);
        EXPECT_LT(i, 7);
    }
}

}  // namespace
}  // namespace orvane
