// The metafile checks against the platform's players, under Wine. Records
// of every kind, taken from sound metafiles, are distorted (each field set
// to extreme counts, coordinates, radii and indexes; each record given every
// other type) and checked as the program checks them; every metafile the
// checks accept is played in a child process (tests/tools/metafile_player),
// which a fault or a hang ends alone. The test names the metafile that did.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "core/picture/byte_reader.h"
#include "core/picture/metafile_check.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"
#include "win32/test_support.h"
#include "../../fuzz/metafile_seeds.h"

namespace {

using metafile_seeds::Bytes;

struct ViewTraits {
    static void* Invalid() { return nullptr; }
    static void Close(void* v) { ::UnmapViewOfFile(v); }
};
using View = win::UniqueHandle<void*, ViewTraits>;

struct Playable {
    std::string what;  // how it was made, for the report
    std::uint32_t kind;  // 0 enhanced, 1 Windows
    int width, height;
    Bytes bytes;
};

// What the program would hand the player, at a size small enough to play
// thousands: nothing when the checks refuse it.
bool Accept(const std::string& what, bool emf, const Bytes& b, std::vector<Playable>& out) {
    const orvane::ByteReader reader(b.data(), b.size());
    try {
        orvane::MetafileSize size;
        std::size_t offset = 0, length = b.size();
        if (emf) {
            const orvane::EmfInfo info = orvane::CheckEmf(reader, "x.emf");
            orvane::CheckMetafileSize(info.natural, "x.emf");
            size = info.natural, length = info.bytes;
        } else {
            const orvane::WmfInfo info = orvane::CheckWmf(reader, "x.wmf", 96);
            size = info.natural, offset = info.offset, length = info.bytes;
        }
        out.push_back({what, emf ? 0u : 1u, static_cast<int>(std::min<std::int64_t>(size.width, 256)),
                       static_cast<int>(std::min<std::int64_t>(size.height, 256)),
                       Bytes(b.begin() + offset, b.begin() + offset + length)});
        return true;
    } catch (const orvane::Error&) {
        return false;
    }
}

// The records of a metafile (offset and length), the header's aside.
std::vector<std::pair<std::size_t, std::size_t>> Records(const Bytes& b, bool emf) {
    std::vector<std::pair<std::size_t, std::size_t>> records;
    const orvane::ByteReader r(b.data(), b.size());
    for (std::size_t at = emf ? r.U32(4) : 18; r.Has(at, 6);) {
        const std::size_t size = emf ? r.U32(at + 4) : std::size_t{r.U32(at)} * 2;
        if ((emf ? r.U32(at) == 14 : r.U16(at + 4) == 0) || size == 0) break;
        records.emplace_back(at, size);
        at += size;
    }
    return records;
}

// Every record of the sound metafiles on its own (behind the header, before
// the end record), distorted field by field and retyped, and the small
// seeds' headers distorted; plus the seeds as they are.
std::vector<Playable> Distorted(std::size_t& checked) {
    const Bytes every = metafile_seeds::EveryEmfRecord(), gradient = metafile_seeds::GradientFillEmf(1);
    const Bytes everyWmf = metafile_seeds::EveryWmfRecord().Finish();
    std::vector<Playable> out;
    std::set<std::string> seen;
    auto offer = [&](const std::string& what, bool emf, const Bytes& b) {
        if (!seen.insert(std::string(b.begin(), b.end())).second) return;
        ++checked;
        Accept(what, emf, b, out);
    };
    offer("records.emf", true, every), offer("gradient.emf", true, gradient), offer("records.wmf", false, everyWmf);
    offer("placeable.wmf", false, metafile_seeds::EveryWmfRecord().Placeable());

    const std::vector<std::uint32_t> extremes32{0, 0xFFFFFFFFu, 0x80000000u, 1u << 22, 0x8000},
        extremes16{0, 0xFFFF, 0x7FFF, 0x8000};
    std::set<std::uint32_t> functions, emfTypes;
    for (const auto& [at, size] : Records(everyWmf, false)) functions.insert(everyWmf[at + 4] | (everyWmf[at + 5] << 8));
    for (std::uint32_t t = 1; t <= 122; ++t) emfTypes.insert(t);

    for (const bool emf : {true, false}) {
        const Bytes& seed = emf ? every : everyWmf;
        const std::size_t headerBytes = emf ? 88 : 18, step = emf ? 4 : 2;
        for (const auto& [at, size] : Records(seed, emf)) {
            // The record alone between the seed's header and end record
            // (WMF: after a window extent, which sizes the picture).
            Bytes one(seed.begin(), seed.begin() + headerBytes);
            if (!emf) one.insert(one.end(), {5, 0, 0, 0, 0x0C, 0x02, 30, 0, 40, 0});
            const std::size_t first = one.size();
            one.insert(one.end(), seed.begin() + at, seed.begin() + at + size);
            const std::size_t last = one.size();
            one.insert(one.end(), seed.end() - (emf ? 20 : 6), seed.end());
            metafile_seeds::Put(one, emf ? 48 : 6, static_cast<std::uint32_t>(emf ? one.size() : one.size() / 2), 4);
            const std::string name = (emf ? "EMF record at " : "WMF record at ") + std::to_string(at);
            for (std::size_t p = first + (emf ? 8 : 6); p + step <= last; p += step) {
                for (std::uint32_t v : emf ? extremes32 : extremes16) {
                    Bytes b = one;
                    metafile_seeds::Put(b, p, v, static_cast<int>(step));
                    offer(name + ", byte " + std::to_string(p - first) + " = " + std::to_string(v), emf, b);
                }
            }
            for (std::uint32_t t : emf ? emfTypes : functions) {
                Bytes b = one;
                metafile_seeds::Put(b, emf ? first : first + 4, t, emf ? 4 : 2);
                offer(name + " as type " + std::to_string(t), emf, b);
            }
        }
    }
    // The header of a small one; a drawing through a mapping, whole.
    const Bytes mapped = metafile_seeds::MappedDrawing();
    for (const auto& [name, seed, from] : {std::tuple{"gradient.emf", gradient, 8}, {"mapped.emf", mapped, 88}})
        for (std::size_t p = from; p + 4 <= (from == 8 ? 88 : seed.size()); p += 4)
            for (std::uint32_t v : extremes32) {
                Bytes b = seed;
                metafile_seeds::Put(b, p, v, 4);
                offer(std::string(name) + ", byte " + std::to_string(p) + " = " + std::to_string(v), true, b);
            }
    return out;
}

std::wstring TestBinFolder() {
    wchar_t path[MAX_PATH + 1]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// What the platform's own recorder writes for a drawing of every kind, the
// checks accept.
TEST(MetafilePlayer, ChecksAcceptWhatThePlatformRecords) {
    auto draw = [](HDC dc) {
        ::SaveDC(dc);
        ::SetMapMode(dc, MM_ANISOTROPIC);
        ::SetWindowExtEx(dc, 400, 300, nullptr);
        ::SetViewportExtEx(dc, 400, 300, nullptr);
        win::GdiObject pen(::CreatePen(PS_DASH, 1, RGB(0, 0, 255))), brush(::CreateHatchBrush(HS_CROSS, RGB(255, 0, 0)));
        win::GdiObject font(::CreateFontW(-24, 0, 450, 450, FW_BOLD, TRUE, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
        ::SelectObject(dc, pen.get()), ::SelectObject(dc, brush.get()), ::SelectObject(dc, font.get());
        ::Ellipse(dc, 10, 10, 200, 150), ::RoundRect(dc, 20, 20, 220, 120, 30, 30);
        ::Pie(dc, 0, 0, 100, 100, 100, 50, 50, 0), ::AngleArc(dc, 150, 150, 40, 30.0f, 300.0f);
        const POINT points[] = {{0, 0}, {50, 80}, {120, 10}, {200, 90}};
        ::PolyBezier(dc, points, 4), ::Polygon(dc, points, 4);
        ::BeginPath(dc), ::MoveToEx(dc, 5, 5, nullptr), ::LineTo(dc, 300, 200), ::CloseFigure(dc), ::EndPath(dc);
        ::StrokeAndFillPath(dc);
        const int dx[] = {12, 12, 12, 12, 12};
        const RECT clip{0, 180, 300, 230};
        ::ExtTextOutW(dc, 30, 200, ETO_CLIPPED, &clip, L"Texte", 5, dx), ::TextOutA(dc, 30, 250, "abc", 3);
        const BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 16}};  // Wine records the bits that size says
        const std::uint32_t pixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        ::StretchDIBits(dc, 300, 10, 60, 60, 0, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
        ::SetDIBitsToDevice(dc, 300, 100, 2, 2, 0, 0, 0, 2, pixels, &info, DIB_RGB_COLORS);
        win::GdiObject region(::CreateEllipticRgn(0, 0, 80, 60));
        ::FillRgn(dc, static_cast<HRGN>(region.get()), static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
        ::SelectClipRgn(dc, static_cast<HRGN>(region.get())), ::IntersectClipRect(dc, 0, 0, 50, 50);
        ::PatBlt(dc, 0, 0, 40, 40, PATINVERT);
        ::RestoreDC(dc, -1);
    };
    const RECT frame{0, 0, 4000, 3000};
    HDC emfDc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    ASSERT_NE(emfDc, nullptr);
    ::SetGraphicsMode(emfDc, GM_ADVANCED);
    const XFORM turn{0.8f, 0.6f, -0.6f, 0.8f, 10, 10};
    ::SetWorldTransform(emfDc, &turn);
    draw(emfDc);
    TRIVERTEX vertices[2] = {{0, 0, 0xFF00, 0, 0, 0}, {100, 100, 0, 0, 0xFF00, 0}};
    GRADIENT_RECT rect{0, 1};
    ::GdiGradientFill(emfDc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_H);
    win::EnhMetaFile emf(::CloseEnhMetaFile(emfDc));
    Bytes emfBytes(::GetEnhMetaFileBits(emf.get(), 0, nullptr));
    ::GetEnhMetaFileBits(emf.get(), static_cast<UINT>(emfBytes.size()), emfBytes.data());
    std::vector<Playable> accepted;
    EXPECT_TRUE(Accept("recorded.emf", true, emfBytes, accepted));

    HDC wmfDc = ::CreateMetaFileW(nullptr);
    ASSERT_NE(wmfDc, nullptr);
    draw(wmfDc);
    const HMETAFILE wmf = ::CloseMetaFile(wmfDc);
    Bytes wmfBytes(::GetMetaFileBitsEx(wmf, 0, nullptr));
    ::GetMetaFileBitsEx(wmf, static_cast<UINT>(wmfBytes.size()), wmfBytes.data());
    ::DeleteMetaFile(wmf);
    EXPECT_TRUE(Accept("recorded.wmf", false, wmfBytes, accepted));
}

TEST(MetafilePlayer, PlaysEveryMetafileTheChecksAcceptWithoutAFaultOrAHang) {
    const auto started = std::chrono::steady_clock::now();
    std::size_t checked = 0;
    const std::vector<Playable> playable = Distorted(checked);
    ASSERT_GT(playable.size(), 1000u) << "of " << checked;

    const std::wstring folder = testing_support::MakeTempFolder(L"orvane-metafile-player");
    const std::wstring batchPath = folder + L"\\batch.bin";
    {
        Bytes batch;
        for (const Playable& p : playable) {
            metafile_seeds::Add(batch, {p.kind, static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height),
                                        static_cast<std::uint32_t>(p.bytes.size())}, 4);
            batch.insert(batch.end(), p.bytes.begin(), p.bytes.end());
        }
        ASSERT_TRUE(win::ReplaceFileAtomically(batchPath, std::string(batch.begin(), batch.end())));
    }
    const std::wstring mappingName = L"Local\\OrvaneMetafilePlayer" + std::to_wstring(::GetCurrentProcessId());
    win::Handle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, mappingName.c_str()));
    ASSERT_TRUE(mapping);
    const View view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(LONG)));
    ASSERT_TRUE(view);
    const auto* progress = static_cast<const volatile LONG*>(view.get());

    // The child's environment: this one's, with Wine's messages about what
    // its player leaves undone silenced (thousands of them slow it down).
    wchar_t ownDebug[256]{};
    const bool hadDebug = ::GetEnvironmentVariableW(L"WINEDEBUG", ownDebug, 256) != 0;
    ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all");

    // A child plays from `next` on; a fault ends it, a metafile that plays
    // for seconds is ended; the next child starts after the culprit.
    using namespace std::chrono_literals;
    const auto deadline = started + 50s;
    std::vector<std::string> culprits;
    long next = 0;
    const long count = static_cast<long>(playable.size());
    while (next < count && culprits.size() < 20 && std::chrono::steady_clock::now() < deadline) {
        std::wstring cmd = L"\"" + TestBinFolder() + L"metafile_player.exe\" \"" + batchPath + L"\" " + mappingName +
                           L" " + std::to_wstring(next);
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        win::Handle process(pi.hProcess), thread(pi.hThread);
        long last = -1;
        auto lastMove = std::chrono::steady_clock::now();
        DWORD exitCode = STILL_ACTIVE;
        bool hung = false;
        while (::WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT) {
            if (*progress != last) last = *progress, lastMove = std::chrono::steady_clock::now();
            if (std::chrono::steady_clock::now() - lastMove > 5s || std::chrono::steady_clock::now() > deadline) {
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), 5000);
                hung = true;
                break;
            }
        }
        ::GetExitCodeProcess(process.get(), &exitCode);
        const long at = *progress;
        if (!hung && exitCode == 0 && at == count) break;
        if (at < next || at >= count) {
            culprits.push_back("the player program itself, exit code " + std::to_string(exitCode));
            break;
        }
        char code[16];
        std::snprintf(code, sizeof code, "%08lX", exitCode);
        culprits.push_back(playable[at].what + (hung ? ": still playing after 5 s" : std::string(": ended with ") + code));
        next = at + 1;
    }
    ::SetEnvironmentVariableW(L"WINEDEBUG", hadDebug ? ownDebug : nullptr);
    ::DeleteFileW(batchPath.c_str());
    ::RemoveDirectoryW(folder.c_str());

    std::string report;
    for (const std::string& c : culprits) report += "\n  " + c;
    EXPECT_TRUE(culprits.empty()) << playable.size() << " of " << checked << " played; the player failed on:" << report;
    EXPECT_LT(std::chrono::steady_clock::now(), deadline) << "only " << *progress << " of " << count << " played in time";
}

}  // namespace
