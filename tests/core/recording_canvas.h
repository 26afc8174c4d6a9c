#pragma once
// A Canvas that records every drawing call with the state it was made in, and
// measures text with simple predictable metrics, so that tests can check each
// coordinate, colour and text of a drawing.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "core/wallpaper/calendar.h"
#include "core/picture/canvas.h"

namespace orvane::testing {

struct Call {
    enum Kind { Text, Move, Line, Fill, Height } kind = Text;
    int x = 0, y = 0, x2 = 0, y2 = 0;  // Text/Move/Line: x, y; Fill: the rectangle; Height: x
    std::string text;
    // State at the time of the call.
    std::string face;
    int height = 0;
    bool bold = false;
    Colour fontColour = 0;
    Colour brush = 0;
    bool transparent = false;
};

class RecordingCanvas : public Canvas {
public:
    // Width of a text at a font height and style; by default half the cell
    // height per code point (cell = height, or 16 for 0, or -height).
    std::function<int(const std::string&, int height, bool bold)> widthOf = [](const std::string& t, int h, bool) {
        const long long w = static_cast<long long>(CodePoints(t)) * Cell(h) / 2;
        return static_cast<int>(w > INT_MAX ? INT_MAX : w);
    };

    static int CodePoints(const std::string& t) {
        int n = 0;
        for (unsigned char ch : t)
            if ((ch & 0xC0) != 0x80) ++n;
        return n;
    }
    static int Cell(int h) { return h > 0 ? h : h == 0 ? 16 : -h; }

    void SetFontFace(const std::string& face) override { face_ = face; }
    void SetFontHeight(int height) override {
        height_ = height;
        Record(Call::Height).x = height;
    }
    int FontHeight() const override { return height_; }
    void SetFontBold(bool bold) override { bold_ = bold; }
    void SetFontColour(Colour colour) override { colour_ = colour; }
    int TextWidth(const std::string& t) override {
        ++measures;
        return widthOf(t, height_, bold_);
    }
    int TextHeight(const std::string&) override { return Cell(height_); }
    void PutText(int x, int y, const std::string& t) override {
        Call& c = Record(Call::Text);
        c.x = x;
        c.y = y;
        c.text = t;
    }
    void MoveTo(int x, int y) override {
        Call& c = Record(Call::Move);
        c.x = x;
        c.y = y;
    }
    void LineTo(int x, int y) override {
        Call& c = Record(Call::Line);
        c.x = x;
        c.y = y;
    }
    Colour BrushColour() const override { return brush_; }
    void SetBrushColour(Colour colour) override { brush_ = colour; }
    void Fill(int l, int t, int r, int b) override {
        Call& c = Record(Call::Fill);
        c.x = l;
        c.y = t;
        c.x2 = r;
        c.y2 = b;
    }
    bool TransparentBackground() const override { return transparent_; }
    void SetTransparentBackground(bool t) override { transparent_ = t; }

    std::vector<Call> Of(Call::Kind kind) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.kind == kind) out.push_back(c);
        return out;
    }
    // Lines as (from, to) pairs: each LineTo with the MoveTo before it.
    struct Segment {
        int x1, y1, x2, y2;
    };
    std::vector<Segment> Segments() const {
        std::vector<Segment> out;
        int px = 0, py = 0;
        for (const Call& c : calls) {
            if (c.kind == Call::Move) px = c.x, py = c.y;
            if (c.kind == Call::Line) {
                out.push_back({px, py, c.x, c.y});
                px = c.x, py = c.y;
            }
        }
        return out;
    }

    std::vector<Call> calls;
    int measures = 0;
    Colour brush_ = 0x00FFFFFF;
    bool transparent_ = false;

private:
    Call& Record(Call::Kind kind) {
        Call c;
        c.kind = kind;
        c.face = face_;
        c.height = height_;
        c.bold = bold_;
        c.fontColour = colour_;
        c.brush = brush_;
        c.transparent = transparent_;
        calls.push_back(c);
        return calls.back();
    }

    std::string face_;
    int height_ = 0;
    bool bold_ = false;
    Colour colour_ = 0;
};

// French names, as a French Windows gives them.
class FrenchNames : public LocaleNames {
public:
    std::string MonthName(int month) const override {
        static const char* const kMonths[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                              "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
        return kMonths[month - 1];
    }
    std::string ShortDayName(int weekday) const override {
        static const char* const kDays[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
        return kDays[weekday];
    }
};

// The calendar settings at their defaults, with distinct faces so that each
// text can be told by its font.
inline WallpaperSettings CalendarDefaults() {
    WallpaperSettings s;
    s.Calendar = true;
    s.WallPaperMode = 2;
    s.MounthFont = "TitleFace";
    s.DayFont = "DayFace";
    s.DayNumberFont = "NumberFace";
    s.colMounth = 0x000001;
    s.colDay = 0x000002;
    s.colDayNumber = 0x000003;
    s.colActualDay = 255;
    s.colNormalDay = 65535;
    s.colNonWorkDay = 32896;
    s.colWeekEnd = 16711680;
    s.RefDay = 1;
    return s;
}

}  // namespace orvane::testing
