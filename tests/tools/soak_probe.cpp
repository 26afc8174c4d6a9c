// Soak probe for OrvaneWallPaper.exe, run by hand (scripts/soak.sh): weeks of
// wallpaper changes squeezed into minutes. It starts the real program with a
// change every second, the calendar on and the preview opened and closed now
// and then, watches every change through the wallpaper file, and samples the
// program from outside after each one: memory, GDI objects, windows. It ends
// with a summary of goals and a non-zero exit when one is missed.
//
// Everything is measured from outside the program on purpose: the program is
// the one users run, with no diagnostic hook.
//
// What is counted, exactly:
//   GDI   entries of the target's GDI handle table (PEB->GdiSharedHandleTable,
//         read with ReadProcessMemory) whose type byte is non-zero and which
//         are not stock objects. Wine keeps that table per process (the owner
//         pid field stays 0), so every live entry is the target's own object.
//         Used because GetGuiResources is a stub in Wine 8 (0, with
//         ERROR_CALL_NOT_IMPLEMENTED); where it answers, its figure is shown.
//   USER  the target's windows: top-level windows (hidden ones too), all
//         their descendants, and message-only windows with theirs. Wine's
//         default IME window of each GUI thread is one of them. Menus,
//         cursors, icons and hooks are not counted.
//   WS    GetProcessMemoryInfo's WorkingSetSize (under Wine, the VmRSS that
//         wineserver reads for the process). Its PrivateUsage is always 0
//         for another process in Wine 8, hence:
//   commit  private committed bytes, summed over VirtualQueryEx regions
//         (MEM_COMMIT and MEM_PRIVATE): what a heap leak makes grow, resident
//         or not. Slow under Wine, so measured on the printed rows only.
//   RSS, anon  VmRSS and RssAnon of the Linux process running the target,
//         read from /proc/<pid>/status through Wine's Z: drive.
// Changes are the wallpaper file's writes (%WINDIR%\OrvaneWallPaper.bmp,
// replaced whole each time), timed by the file's write time; error boxes are
// visible "#32770" windows of the target, answered so that the run goes on.
//
// --check-counters validates those methods on a child process of this tool
// that creates and frees known numbers of objects, windows and memory.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- small helpers -------------------------------------------------------------

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(::towlower(c));
    return s;
}

double Mb(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

double FileTimeSeconds(const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string data;
    char buf[8192];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) data.append(buf, got);
    ::CloseHandle(f);
    return data;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(f);
    return ok && put == bytes.size();
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50) {
    const auto t0 = Clock::now();
    for (;;) {
        if (condition()) return true;
        if (SecondsSince(t0) * 1000 >= timeoutMs) return false;
        ::Sleep(pollMs);
    }
}

std::wstring ClassOf(HWND h) {
    wchar_t name[256]{};
    ::GetClassNameW(h, name, 256);
    return name;
}

std::wstring TextOf(HWND h) {
    wchar_t text[1024]{};
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &r);
    return text;
}

DWORD OwnerPid(HWND h) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    return pid;
}

// ---- GDI objects: the target's handle table ---------------------------------------

// One entry of the table as Wine lays it out (24 bytes on 64-bit): the kernel
// object's address, an owner word, the extended type (0x80 marks a stock
// object), a generation count, the base type (0 once the handle is freed) and
// a user pointer. Found by watching the table while creating and deleting
// objects, and checked by --check-counters.
constexpr std::size_t kGdiEntrySize = 24;
constexpr std::size_t kGdiEntries = 0x10000;
constexpr std::size_t kGdiExtTypeOffset = 12;
constexpr std::size_t kGdiTypeOffset = 14;
constexpr std::size_t kPebGdiTableOffset = 0xF8;  // PEB.GdiSharedHandleTable on x64

struct GdiCount {
    bool ok = false;
    int objects = 0;  // not stock
    int stock = 0;
    std::map<int, int> byType;  // extended type without the stock bit -> count
};

std::string GdiTypeName(int ext) {
    switch (ext) {
        case 0x01: return "dc";
        case 0x41: return "memdc";
        case 0x21: return "emfdc";
        case 0x66: return "metadc";
        case 0x04: return "region";
        case 0x05: return "surface";
        case 0x09: return "bitmap";
        case 0x08: return "palette";
        case 0x0a: return "font";
        case 0x10: return "brush";
        case 0x30: return "pen";
        case 0x50: return "extpen";
        case 0x26: return "metafile";
        case 0x46: return "emf";
        default: {
            char b[16];
            std::snprintf(b, sizeof b, "type%02x", ext);
            return b;
        }
    }
}

class GdiTable {
public:
    explicit GdiTable(HANDLE process) : process_(process) {}

    GdiCount Count() {
        GdiCount c;
        if (!Locate()) return c;
        buffer_.resize(kGdiEntries * kGdiEntrySize);
        SIZE_T got = 0;
        if (!::ReadProcessMemory(process_, table_, buffer_.data(), buffer_.size(), &got)) {
            // A shorter table: read what is there, a page at a time.
            got = 0;
            for (std::size_t at = 0; at < buffer_.size(); at += 4096) {
                SIZE_T part = 0;
                if (!::ReadProcessMemory(process_, static_cast<const char*>(table_) + at, buffer_.data() + at, 4096,
                                         &part))
                    break;
                got += part;
            }
            if (got == 0) return c;
        }
        const std::size_t entries = got / kGdiEntrySize;
        for (std::size_t i = 0; i < entries; ++i) {
            const unsigned char* e = buffer_.data() + i * kGdiEntrySize;
            if (e[kGdiTypeOffset] == 0) continue;
            const int ext = e[kGdiExtTypeOffset];
            if (ext & 0x80) {
                ++c.stock;
                continue;
            }
            ++c.objects;
            ++c.byType[ext & 0x7f];
        }
        c.ok = true;
        return c;
    }

private:
    bool Locate() {
        if (table_) return true;
        PROCESS_BASIC_INFORMATION info{};
        ULONG len = 0;
        if (::NtQueryInformationProcess(process_, ProcessBasicInformation, &info, sizeof info, &len) != 0) return false;
        if (!info.PebBaseAddress) return false;
        void* table = nullptr;
        SIZE_T got = 0;
        if (!::ReadProcessMemory(process_, reinterpret_cast<const char*>(info.PebBaseAddress) + kPebGdiTableOffset,
                                 &table, sizeof table, &got) ||
            got != sizeof table || !table)
            return false;
        table_ = table;
        return true;
    }

    HANDLE process_;
    void* table_ = nullptr;
    std::vector<unsigned char> buffer_;
};

// ---- USER objects: the target's windows ----------------------------------------------

struct WindowCount {
    int topLevel = 0;
    int children = 0;
    int messageOnly = 0;
    std::map<std::wstring, int> byClass;
    int Total() const { return topLevel + children + messageOnly; }
};

void CountDescendants(HWND parent, WindowCount& c) {
    struct Ctx {
        WindowCount* c;
    } ctx{&c};
    // EnumChildWindows already walks every level below the parent.
    ::EnumChildWindows(
        parent,
        [](HWND h, LPARAM lp) -> BOOL {
            auto* x = reinterpret_cast<Ctx*>(lp);
            ++x->c->children;
            ++x->c->byClass[ClassOf(h)];
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
}

WindowCount CountWindows(DWORD pid) {
    WindowCount c;
    struct Ctx {
        DWORD pid;
        std::vector<HWND> mine;
    } ctx{pid, {}};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* x = reinterpret_cast<Ctx*>(lp);
            if (OwnerPid(h) == x->pid) x->mine.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    for (HWND h : ctx.mine) {
        ++c.topLevel;
        ++c.byClass[ClassOf(h)];
        CountDescendants(h, c);
    }
    for (HWND h = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = ::FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
        if (OwnerPid(h) != pid) continue;
        ++c.messageOnly;
        ++c.byClass[L"(message) " + ClassOf(h)];
        CountDescendants(h, c);
    }
    return c;
}

// " name a->b" pieces, appended one by one (GCC 12 warns wrongly about
// chains of operator+ on temporaries at -O3).
void AppendChange(std::string& out, const std::string& name, int from, int to) {
    out.append(" ").append(name).append(" ").append(std::to_string(from)).append("->").append(std::to_string(to));
}

std::string GdiDiff(const GdiCount& a, const GdiCount& b) {
    std::map<int, std::pair<int, int>> both;
    for (const auto& [t, n] : a.byType) both[t].first = n;
    for (const auto& [t, n] : b.byType) both[t].second = n;
    std::string out;
    for (const auto& [t, ab] : both)
        if (ab.first != ab.second)
            AppendChange(out, GdiTypeName(t), ab.first, ab.second);
    return out.empty() ? " none" : out;
}

std::string WindowDiff(const WindowCount& a, const WindowCount& b) {
    std::map<std::wstring, std::pair<int, int>> both;
    for (const auto& [c, n] : a.byClass) both[c].first = n;
    for (const auto& [c, n] : b.byClass) both[c].second = n;
    std::string out;
    for (const auto& [c, ab] : both)
        if (ab.first != ab.second)
            AppendChange(out, Utf8(c), ab.first, ab.second);
    return out.empty() ? " none" : out;
}

// ---- memory ----------------------------------------------------------------------------

struct Memory {
    bool ok = false;
    std::uint64_t workingSet = 0;
    std::uint64_t privateUsage = 0;      // GetProcessMemoryInfo's; 0 under Wine 8 for another process
    std::optional<std::uint64_t> commit;  // only on the samples that scan the address space
    std::optional<std::uint64_t> linuxRss, linuxAnon;
};

// Private committed bytes: the Windows meaning of "private bytes", summed
// region by region. Slow under Wine (each query is a round trip into the
// target), so done only on the samples that are compared or printed.
std::uint64_t PrivateCommit(HANDLE process) {
    std::uint64_t total = 0;
    const char* at = nullptr;
    MEMORY_BASIC_INFORMATION mbi{};
    int guard = 0;
    while (::VirtualQueryEx(process, at, &mbi, sizeof mbi) == sizeof mbi && guard++ < 200000) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
        const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// The Linux process behind a Windows one, through Wine's Z: drive: Wine shows
// the program's Windows path (then its arguments) as the command line, and
// WINEPREFIX in its environment tells this session's processes from those of
// other prefixes on the same machine.
std::optional<int> FindLinuxPid(const std::wstring& exePath, const std::string& mustContain,
                                const std::string& prefix) {
    WIN32_FIND_DATAW fd{};
    HANDLE find = ::FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<int> found;
    const std::wstring wanted = Lower(exePath);
    do {
        if (fd.cFileName[0] < L'0' || fd.cFileName[0] > L'9') continue;
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + fd.cFileName;
        std::string cmd = ReadWholeFile(dir + L"\\cmdline");
        std::string flat;
        for (char c : cmd)
            if (c != '"') flat += c == '\0' ? ' ' : c;
        const std::wstring wflat = Lower(std::wstring(flat.begin(), flat.end()));
        if (wflat.compare(0, wanted.size(), wanted) != 0) continue;
        if (!mustContain.empty() && flat.find(mustContain) == std::string::npos) continue;
        if (!prefix.empty()) {
            const std::string env = ReadWholeFile(dir + L"\\environ");
            if (env.find("WINEPREFIX=" + prefix + std::string(1, '\0')) == std::string::npos) continue;
        }
        found = _wtoi(fd.cFileName);
        break;
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return found;
}

std::optional<std::uint64_t> StatusField(const std::string& status, const char* field) {
    const auto at = status.find(field);
    if (at == std::string::npos) return std::nullopt;
    return std::strtoull(status.c_str() + at + std::strlen(field), nullptr, 10) * 1024ull;
}

Memory SampleMemory(HANDLE process, std::optional<int> linuxPid, bool withCommit) {
    Memory m;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        m.ok = true;
        m.workingSet = pmc.WorkingSetSize;
        m.privateUsage = pmc.PrivateUsage;
    }
    if (withCommit) m.commit = PrivateCommit(process);
    if (linuxPid) {
        const std::string status = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(*linuxPid) + L"\\status");
        m.linuxRss = StatusField(status, "VmRSS:");
        m.linuxAnon = StatusField(status, "RssAnon:");
    }
    return m;
}

// ---- GetGuiResources: implemented or a stub? ---------------------------------------

struct GuiResources {
    DWORD gdi = 0, user = 0, error = 0;
    bool Answers() const { return gdi != 0 || user != 0; }
};

GuiResources AskGuiResources(HANDLE process) {
    GuiResources r;
    ::SetLastError(0);
    r.gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    r.user = ::GetGuiResources(process, GR_USEROBJECTS);
    r.error = ::GetLastError();
    return r;
}

// This process has a window and objects of its own: a GetGuiResources that
// still answers 0 for both counts does not count anything.
bool GuiResourcesImplemented() {
    HWND w = ::CreateWindowExW(0, L"STATIC", L"probe", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HBRUSH b = ::CreateSolidBrush(RGB(1, 2, 3));
    const GuiResources r = AskGuiResources(::GetCurrentProcess());
    ::DeleteObject(b);
    ::DestroyWindow(w);
    return r.Answers();
}

// How long hiding a visible top-level window blocks the thread that hides it.
// Wine's X11 driver waits for a window manager to withdraw the window, up to
// about 2 s when there is none (a bare Xvfb): the program's thread is then
// blocked in the preview's ShowWindow(SW_HIDE) and its rotation tick waits.
double HideWaitSeconds() {
    // Shown and activated like the preview (run before the program starts,
    // so that it takes no focus from it).
    HWND w = ::CreateWindowExW(0, L"STATIC", L"soak", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
    if (!w) return 0;
    ::ShowWindow(w, SW_SHOW);
    ::UpdateWindow(w);
    for (int i = 0; i < 25; ++i) {
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
        ::Sleep(20);
    }
    const auto t0 = Clock::now();
    ::ShowWindow(w, SW_HIDE);
    const double waited = SecondsSince(t0);
    ::DestroyWindow(w);
    return waited;
}

// ---- a full sample -----------------------------------------------------------------------

struct Sample {
    int change = 0;
    double elapsed = 0;  // when the wallpaper file was written, seconds since the start
    int slot = -1;       // the picture shown, as an index in the list
    bool preview = false;
    bool late = false;  // the next change came while sampling
    Memory mem;
    GdiCount gdi;
    WindowCount user;
    GuiResources gui;
    double cpu = 0;  // the program's user and kernel time so far, seconds (GetProcessTimes)
    std::optional<double> linuxCpu;  // the same from Linux (/proc/<pid>/stat)
    int boxes = 0;
    int missed = 0;
};

// utime and stime, the 14th and 15th fields, in ticks of 1/100 s (Linux's
// USER_HZ); the command name before them may hold spaces, hence the last ')'.
std::optional<double> LinuxCpuSeconds(int pid) {
    const std::string stat = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
    const auto paren = stat.rfind(')');
    if (paren == std::string::npos) return std::nullopt;
    const char* p = stat.c_str() + paren + 1;
    unsigned long long fields[13] = {};
    char state = 0;
    if (std::sscanf(p, " %c %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu", &state, &fields[0],
                    &fields[1], &fields[2], &fields[3], &fields[4], &fields[5], &fields[6], &fields[7], &fields[8],
                    &fields[9], &fields[10], &fields[11]) != 13)
        return std::nullopt;
    return static_cast<double>(fields[10] + fields[11]) / 100.0;
}

double CpuSeconds(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

class Target {
public:
    Target(HANDLE process, DWORD pid, std::optional<int> linuxPid)
        : process_(process), pid_(pid), linuxPid_(linuxPid), gdi_(process) {}

    // The quick counts first, the slow commit scan last, so that the counts
    // are read at the same moment of every cycle.
    Sample Take(bool withCommit) {
        Sample s;
        s.gdi = gdi_.Count();
        s.user = CountWindows(pid_);
        s.mem = SampleMemory(process_, linuxPid_, false);
        s.gui = AskGuiResources(process_);
        s.cpu = CpuSeconds(process_);
        if (linuxPid_) s.linuxCpu = LinuxCpuSeconds(*linuxPid_);
        if (withCommit) s.mem.commit = PrivateCommit(process_);
        return s;
    }


private:
    HANDLE process_;
    DWORD pid_;
    std::optional<int> linuxPid_;
    GdiTable gdi_;
};

std::wstring SelfPath() {
    wchar_t self[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

std::string WinePrefix() {
    char prefix[1024]{};
    ::GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    return prefix;
}

// ---- --check-counters: the methods against known numbers ------------------------------

// The child's steps; the parent measures after each one.
enum Step { kBaseline, kGdiMade, kGdiFreed, kWindowsMade, kWindowsFreed, kMemoryMade, kMemoryFreed, kStepCount };

constexpr int kBrushes = 100, kMemDcs = 20, kBitmaps = 30, kFonts = 10, kRegions = 5;
constexpr int kGdiMadeCount = kBrushes + kMemDcs + kBitmaps + kFonts + kRegions;
constexpr int kTopWindows = 3, kChildrenEach = 2, kMessageWindows = 2;
constexpr int kWindowsMadeCount = kTopWindows * (1 + kChildrenEach) + kMessageWindows;
constexpr std::size_t kMemoryBytes = 64u << 20;

std::wstring EventName(DWORD parentPid, const wchar_t* what) {
    return L"Local\\orvane-soak-" + std::to_wstring(parentPid) + L"-" + what;
}

int CounterChild(DWORD parentPid) {
    HANDLE done = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(parentPid, L"done").c_str());
    HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, EventName(parentPid, L"go").c_str());
    if (!done || !go) return 3;
    auto next = [&] {
        ::SetEvent(done);
        return ::WaitForSingleObject(go, 60000) == WAIT_OBJECT_0;
    };
    // GDI keeps a few objects of its own once first used (the display DC and
    // default bitmaps): one of each kind made and freed before the baseline.
    {
        HDC dc = ::CreateCompatibleDC(nullptr);
        HGDIOBJ objects[] = {::CreateSolidBrush(0), ::CreateBitmap(8, 8, 1, 32, nullptr),
                             ::CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"),
                             ::CreateRectRgn(0, 0, 1, 1)};
        for (HGDIOBJ o : objects) ::DeleteObject(o);
        ::DeleteDC(dc);
    }
    if (!next()) return 4;  // baseline

    std::vector<HGDIOBJ> objects;
    std::vector<HDC> dcs;
    for (int i = 0; i < kBrushes; ++i) objects.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    for (int i = 0; i < kMemDcs; ++i) dcs.push_back(::CreateCompatibleDC(nullptr));
    for (int i = 0; i < kBitmaps; ++i) objects.push_back(::CreateBitmap(8, 8, 1, 32, nullptr));
    for (int i = 0; i < kFonts; ++i)
        objects.push_back(::CreateFontW(12 + i, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    for (int i = 0; i < kRegions; ++i) objects.push_back(::CreateRectRgn(0, 0, 10 + i, 10));
    if (!next()) return 4;
    for (HGDIOBJ o : objects) ::DeleteObject(o);
    for (HDC dc : dcs) ::DeleteDC(dc);
    if (!next()) return 4;

    std::vector<HWND> windows;
    for (int i = 0; i < kTopWindows; ++i) {
        HWND top = ::CreateWindowExW(0, L"STATIC", L"top", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                     nullptr);
        for (int k = 0; k < kChildrenEach; ++k)
            ::CreateWindowExW(0, L"STATIC", L"child", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
        windows.push_back(top);
    }
    for (int i = 0; i < kMessageWindows; ++i)
        windows.push_back(
            ::CreateWindowExW(0, L"STATIC", L"message", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!next()) return 4;
    for (HWND w : windows) ::DestroyWindow(w);
    if (!next()) return 4;

    void* block = ::VirtualAlloc(nullptr, kMemoryBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block) std::memset(block, 0x5a, kMemoryBytes);
    if (!next()) return 4;
    if (block) ::VirtualFree(block, 0, MEM_RELEASE);
    if (!next()) return 4;
    return 0;
}

int CheckCounters() {
    const bool gui = GuiResourcesImplemented();
    std::printf("GetGuiResources: %s\n",
                gui ? "answers" : "answers 0 for a process with a window and objects: a stub here");
    const DWORD me = ::GetCurrentProcessId();
    HANDLE done = ::CreateEventW(nullptr, FALSE, FALSE, EventName(me, L"done").c_str());
    HANDLE go = ::CreateEventW(nullptr, FALSE, FALSE, EventName(me, L"go").c_str());
    const std::wstring self = SelfPath();
    const std::string childArg = "--counter-child " + std::to_string(me);
    std::wstring cmd = L"\"" + self + L"\" " + std::wstring(childArg.begin(), childArg.end());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start the child (error %lu)\n", ::GetLastError());
        return 2;
    }
    std::optional<int> linuxPid;
    WaitUntil([&] { return (linuxPid = FindLinuxPid(self, childArg, WinePrefix())).has_value(); }, 5000, 100);
    Target target(pi.hProcess, pi.dwProcessId, linuxPid);
    std::vector<Sample> s;
    bool ok = true;
    for (int step = 0; step < kStepCount; ++step) {
        if (::WaitForSingleObject(done, 60000) != WAIT_OBJECT_0) {
            std::printf("the child did not reach step %d\n", step);
            ok = false;
            break;
        }
        const auto t0 = Clock::now();
        s.push_back(target.Take(true));
        s.back().elapsed = SecondsSince(t0);
        ::SetEvent(go);
    }
    ::WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    if (!ok || s.size() != kStepCount) return 1;

    auto expect = [&](const char* what, long long got, long long want, long long tolerance) {
        const bool pass = std::llabs(got - want) <= tolerance;
        ok = ok && pass;
        std::printf("  %-50s %6lld (expected %lld%s)  %s\n", what, got, want,
                    tolerance ? (" +-" + std::to_string(tolerance)).c_str() : "", pass ? "ok" : "WRONG");
    };
    auto of = [](const Sample& x, int type) {
        const auto it = x.gdi.byType.find(type);
        return it == x.gdi.byType.end() ? 0 : it->second;
    };
    auto mbDiff = [](std::uint64_t a, std::uint64_t b) {
        return static_cast<long long>(std::llround(Mb(b) - Mb(a)));
    };
    const Sample& b = s[kBaseline];
    std::printf("Child's baseline: GDI %d (+%d stock), USER %d, WS %.1f MB, PrivateUsage %.1f MB, commit %.1f MB",
                b.gdi.objects, b.gdi.stock, b.user.Total(), Mb(b.mem.workingSet), Mb(b.mem.privateUsage),
                Mb(b.mem.commit.value_or(0)));
    if (b.mem.linuxRss) std::printf(", Linux RSS %.1f MB, anon %.1f MB", Mb(*b.mem.linuxRss), Mb(*b.mem.linuxAnon));
    std::printf("\nOne sample with the commit scan took %.0f ms\n", b.elapsed * 1000);
    if (!b.gdi.ok) {
        std::printf("  the GDI handle table could not be read\n");
        ok = false;
    }
    expect("GDI after creating objects, difference", s[kGdiMade].gdi.objects - b.gdi.objects, kGdiMadeCount, 0);
    expect("  brushes", of(s[kGdiMade], 0x10) - of(b, 0x10), kBrushes, 0);
    expect("  memory DCs", of(s[kGdiMade], 0x41) - of(b, 0x41), kMemDcs, 0);
    expect("  bitmaps", of(s[kGdiMade], 0x09) - of(b, 0x09), kBitmaps, 0);
    expect("  fonts", of(s[kGdiMade], 0x0a) - of(b, 0x0a), kFonts, 0);
    expect("  regions", of(s[kGdiMade], 0x04) - of(b, 0x04), kRegions, 0);
    expect("GDI after deleting them, difference", s[kGdiFreed].gdi.objects - b.gdi.objects, 0, 0);
    // Wine gives each thread with a top-level window a default IME window.
    auto noIme = [](const WindowCount& w) {
        const auto it = w.byClass.find(L"IME");
        return w.Total() - (it == w.byClass.end() ? 0 : it->second);
    };
    expect("USER after creating windows, difference (IME aside)", noIme(s[kWindowsMade].user) - noIme(b.user),
           kWindowsMadeCount, 0);
    expect("  message-only", s[kWindowsMade].user.messageOnly - b.user.messageOnly, kMessageWindows, 0);
    std::printf("  window classes, baseline -> made:%s\n", WindowDiff(b.user, s[kWindowsMade].user).c_str());
    expect("USER after destroying them, difference", s[kWindowsFreed].user.Total() - b.user.Total(), 0, 0);
    const long long want = static_cast<long long>(kMemoryBytes >> 20);
    expect("working set after touching 64 MB, MB", mbDiff(b.mem.workingSet, s[kMemoryMade].mem.workingSet), want, 8);
    expect("working set after freeing them, MB", mbDiff(b.mem.workingSet, s[kMemoryFreed].mem.workingSet), 0, 8);
    expect("private commit after touching 64 MB, MB",
           mbDiff(b.mem.commit.value_or(0), s[kMemoryMade].mem.commit.value_or(0)), want, 2);
    expect("private commit after freeing them, MB",
           mbDiff(b.mem.commit.value_or(0), s[kMemoryFreed].mem.commit.value_or(0)), 0, 2);
    if (b.mem.linuxAnon && s[kMemoryMade].mem.linuxAnon) {
        expect("Linux RSS after touching 64 MB, MB", mbDiff(*b.mem.linuxRss, *s[kMemoryMade].mem.linuxRss), want, 8);
        expect("Linux anon after touching 64 MB, MB", mbDiff(*b.mem.linuxAnon, *s[kMemoryMade].mem.linuxAnon), want,
               8);
    } else {
        std::printf("  the child's Linux process was not found under Z:\\proc\n");
        ok = false;
    }
    const long long priv = mbDiff(b.mem.privateUsage, s[kMemoryMade].mem.privateUsage);
    std::printf("  PrivateUsage after touching 64 MB: %+lld MB (%s)\n", priv,
                s[kMemoryMade].mem.privateUsage == 0 ? "always 0 for another process here: not used"
                                                     : "GetProcessMemoryInfo fills it");
    const GuiResources g = s[kGdiMade].gui;
    std::printf("  GetGuiResources on the child with %d objects made: GDI %lu, USER %lu (last error %lu)\n",
                kGdiMadeCount, g.gdi, g.user, g.error);
    if (code != 0) std::printf("child exit code %lu\n", code);
    std::printf("%s\n", ok && code == 0 ? "counters: all checks passed" : "counters: CHECK FAILED");
    return ok && code == 0 ? 0 : 1;
}

// ---- the soak ---------------------------------------------------------------------------------

struct Options {
    std::wstring exe;
    std::wstring pictures;
    int changes = 1000;
    int every = 50;
    int warmup = 100;
    int previewEvery = 50;
    double maxGap = 2.5;
    double memToleranceMb = 2.0;
    int sampleDelayMs = 400;
    int startTimeoutS = 60;
    int stallTimeoutS = 60;
    std::wstring csv;
};

constexpr wchar_t kConfigKey[] = L"Software\\Orvane\\Config";
constexpr wchar_t kSettingsKey[] = L"Software\\Orvane";
constexpr WPARAM kTrayQuitCommand = 0x106;

bool WriteSetting(const wchar_t* name, const wchar_t* value) {
    HKEY k = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kConfigKey, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
    const bool ok =
        ::RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
    ::RegCloseKey(k);
    return ok;
}

std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring NameOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring WallpaperFile() {
    wchar_t dir[MAX_PATH]{};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\OrvaneWallPaper.bmp";
}

// The pictures of a folder, sorted by name; the program shows them in that
// order (Random off), so change k shows picture (k - 1) mod n.
std::vector<std::wstring> PicturesIn(const std::wstring& folder) {
    std::vector<std::wstring> found;
    std::wstring dir = folder;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    WIN32_FIND_DATAW fd{};
    HANDLE f = ::FindFirstFileW((dir + L"*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return found;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring name = Lower(fd.cFileName);
        const auto dot = name.rfind(L'.');
        if (dot == std::wstring::npos) continue;
        const std::wstring ext = name.substr(dot);
        if (ext == L".jpg" || ext == L".jpeg" || ext == L".bmp") found.push_back(dir + fd.cFileName);
    } while (::FindNextFileW(f, &fd));
    ::FindClose(f);
    std::sort(found.begin(), found.end());
    return found;
}

// The list file is in the ANSI code page, CR LF after every line.
bool WriteList(const std::wstring& listPath, const std::vector<std::wstring>& pictures) {
    std::string bytes;
    for (const auto& p : pictures) {
        const int n = ::WideCharToMultiByte(CP_ACP, 0, p.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string a(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, p.c_str(), -1, a.data(), n, nullptr, nullptr);
        bytes += a + "\r\n";
    }
    return WriteWholeFile(listPath, bytes);
}

double NowSeconds() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return FileTimeSeconds(now);
}

// Watches the wallpaper file on a thread of its own, so that a slow sample
// never hides a change: every new write (the program replaces the file as a
// whole) is one change, timed by the file's own write time.
class WallpaperWatcher {
public:
    explicit WallpaperWatcher(std::wstring path) : path_(std::move(path)) {}
    ~WallpaperWatcher() { Stop(); }

    void Start(double origin) {
        origin_ = origin;
        thread_ = std::thread([this] { Loop(); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    int Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(times_.size());
    }
    // Seconds since the origin at which change k (1-based) was written, and
    // at which this watcher saw it.
    double WrittenAt(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_[static_cast<std::size_t>(k - 1)].first;
    }
    double SeenAt(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_[static_cast<std::size_t>(k - 1)].second;
    }

private:
    void Loop() {
        FILETIME last{};
        bool had = false;
        while (!stop_) {
            WIN32_FILE_ATTRIBUTE_DATA a{};
            if (::GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &a)) {
                if (!had || ::CompareFileTime(&a.ftLastWriteTime, &last) != 0) {
                    had = true;
                    last = a.ftLastWriteTime;
                    std::lock_guard<std::mutex> lock(mutex_);
                    times_.emplace_back(FileTimeSeconds(a.ftLastWriteTime) - origin_, NowSeconds() - origin_);
                }
            }
            ::Sleep(20);
        }
    }

    std::wstring path_;
    double origin_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::pair<double, double>> times_;
};

HWND FindTop(DWORD pid, const wchar_t* className, bool visibleOnly) {
    struct Ctx {
        DWORD pid;
        const wchar_t* cls;
        bool visible;
        HWND found;
    } ctx{pid, className, visibleOnly, nullptr};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* x = reinterpret_cast<Ctx*>(lp);
            if (OwnerPid(h) != x->pid) return TRUE;
            if (x->visible && !::IsWindowVisible(h)) return TRUE;
            if (ClassOf(h) != x->cls) return TRUE;
            x->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    if (!ctx.found && !visibleOnly) {
        for (HWND h = ::FindWindowExW(HWND_MESSAGE, nullptr, className, nullptr); h;
             h = ::FindWindowExW(HWND_MESSAGE, h, className, nullptr))
            if (OwnerPid(h) == pid) return h;
    }
    return ctx.found;
}

std::vector<HWND> VisibleBoxes(DWORD pid) {
    struct Ctx {
        DWORD pid;
        std::vector<HWND> boxes;
    } ctx{pid, {}};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* x = reinterpret_cast<Ctx*>(lp);
            if (OwnerPid(h) == x->pid && ::IsWindowVisible(h) && ClassOf(h) == L"#32770") x->boxes.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.boxes;
}

std::wstring BoxText(HWND box) {
    std::wstring text;
    if (HWND t = ::GetDlgItem(box, 0xFFFF)) text = TextOf(t);
    if (text.empty())
        for (HWND h = ::GetWindow(box, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            if (ClassOf(h) == L"Static" && !(text = TextOf(h)).empty()) break;
    return TextOf(box) + L": " + text;
}

class Soak {
public:
    explicit Soak(Options o) : o_(std::move(o)) {}
    ~Soak() {
        watcher_.Stop();
        if (csv_) std::fclose(csv_);
    }

    int Run();

private:
    bool Prepare();
    bool StartProgram();
    int Slot(int change) const { return (change - 1) % static_cast<int>(pictures_.size()); }
    bool PlannedPreview(int change) const {
        return o_.previewEvery > 0 && ((change - 1) / o_.previewEvery) % 2 == 1;
    }
    int PlannedWarmup() const;
    bool HideWaitExplains(int change, double gap) const;
    bool PreviewOpen() const { return FindTop(pi_.dwProcessId, L"TPreview", true) != nullptr; }
    void PrintHeader() const;
    void PrintRow(const Sample& s, const char* mark) const;
    void WriteCsv(const Sample& s, double gap);
    void TogglePreview(int change);
    void WatchBoxes(int change);
    void Stop();
    int Summarise();

    Options o_;
    std::vector<std::wstring> pictures_;
    std::wstring wallpaper_ = WallpaperFile();
    mutable WallpaperWatcher watcher_{WallpaperFile()};
    PROCESS_INFORMATION pi_{};
    std::unique_ptr<Target> target_;
    bool linux_ = false;
    HWND main_ = nullptr;
    HWND previewButton_ = nullptr;
    std::vector<Sample> samples_;  // one per change sampled
    std::vector<double> gaps_;     // seconds before change k at index k - 1; 0 for the first
    std::vector<std::pair<int, double>> missed_;
    std::vector<std::pair<int, double>> hideWaitLate_;  // late only by the display's hide wait
    double hideWait_ = 0;
    std::vector<std::pair<int, std::wstring>> boxes_;
    std::vector<HWND> seenBoxes_;
    std::vector<std::string> notes_;
    int warmup_ = 0;  // the change whose sample is compared with the last one
    struct Toggle {
        int change;   // the change after which the button was pressed
        bool opens;
        double at;    // seconds since the start
    };
    std::vector<Toggle> toggles_;
    int previewToggles_ = 0;
    int previewToggleFailures_ = 0;
    int skippedSamples_ = 0;
    int lateSamples_ = 0;
    std::string loadAtStart_;
    bool gui_ = false;
    bool stalled_ = false;
    bool ended_ = false;
    FILE* csv_ = nullptr;
    double origin_ = 0;
};

// The warm-up sample is compared with the last one: the first after the
// warm-up, and after the preview was opened and closed once (what the program
// makes on first use is not a leak), that shows the same picture with the
// preview in the same state, so that the decoded picture the program keeps and
// the preview's buffers are alike on both sides.
int Soak::PlannedWarmup() const {
    int from = o_.warmup;
    if (o_.previewEvery > 0 && 2 * o_.previewEvery + 1 < o_.changes) from = std::max(from, 2 * o_.previewEvery + 1);
    for (int k = from; k < o_.changes; ++k)
        if (Slot(k) == Slot(o_.changes) && PlannedPreview(k) == PlannedPreview(o_.changes)) return k;
    for (int k = o_.warmup; k < o_.changes; ++k)
        if (Slot(k) == Slot(o_.changes) && PlannedPreview(k) == PlannedPreview(o_.changes)) return k;
    return o_.warmup;
}

// A late change is put down to the display rather than the program when this
// display makes hiding a window wait (see HideWaitSeconds), the preview was
// closed between that change and the one before, and the change is late by
// no more than that wait.
bool Soak::HideWaitExplains(int change, double gap) const {
    if (hideWait_ < 0.5 || change < 2) return false;
    const double from = watcher_.WrittenAt(change - 1), to = watcher_.WrittenAt(change);
    for (const Toggle& t : toggles_)
        if (!t.opens && t.at > from && t.at < to) return gap <= o_.maxGap + hideWait_;
    return false;
}

bool Soak::Prepare() {
    if (o_.changes < 2) o_.changes = 2;
    if (o_.warmup >= o_.changes) o_.warmup = o_.changes / 2;
    if (o_.warmup < 1) o_.warmup = 1;
    if (o_.every <= 0) o_.every = 50;
    if (::GetFileAttributesW(o_.exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("no program at %s\n", Utf8(o_.exe).c_str());
        return false;
    }
    const std::wstring list = FolderOf(o_.exe) + L"piclist.cfg";
    if (!o_.pictures.empty()) {
        pictures_ = PicturesIn(o_.pictures);
        if (pictures_.empty()) {
            std::printf("no BMP or JPEG picture in %s\n", Utf8(o_.pictures).c_str());
            return false;
        }
        if (!WriteList(list, pictures_)) {
            std::printf("cannot write %s\n", Utf8(list).c_str());
            return false;
        }
    } else {
        const std::string bytes = ReadWholeFile(list);
        std::size_t start = 0;
        while (start < bytes.size()) {
            auto end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) {
                const int n = ::MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
                std::wstring w(static_cast<std::size_t>(n), L'\0');
                ::MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
                pictures_.push_back(w);
            }
            start = end + 1;
        }
        if (pictures_.empty()) {
            std::printf("%s lists no picture: give --pictures\n", Utf8(list).c_str());
            return false;
        }
    }
    warmup_ = PlannedWarmup();
    // Fresh settings, so that nothing left by an earlier run (a stored
    // picture number, a calendar moved by hand) changes what is measured.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    bool ok = true;
    for (const auto& [name, value] :
         {std::pair{L"RunMode", L"1"}, std::pair{L"Interval", L"1"}, std::pair{L"Random", L"0"},
          std::pair{L"Number", L"-1"}, std::pair{L"Calendar", L"1"}, std::pair{L"WallPaperMode", L"2"},
          std::pair{L"RunAtStartup", L"0"}})
        ok = WriteSetting(name, value) && ok;
    if (!ok) {
        std::printf("cannot write the settings under HKCU\\%s\n", Utf8(kConfigKey).c_str());
        return false;
    }
    ::DeleteFileW(wallpaper_.c_str());
    if (::GetFileAttributesW(wallpaper_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::printf("cannot delete the old wallpaper file %s\n", Utf8(wallpaper_).c_str());
        return false;
    }
    if (!o_.csv.empty()) {
        csv_ = _wfopen(o_.csv.c_str(), L"w");
        if (csv_)
            std::fprintf(csv_,
                         "change,written_s,gap_s,picture,preview,ws_mb,commit_mb,linux_rss_mb,linux_anon_mb,gdi,user,"
                         "boxes,missed,late,cpu_s,linux_cpu_s\n");
        else
            notes_.push_back("the CSV file could not be created");
    }
    return true;
}

bool Soak::StartProgram() {
    // Any argument shows the main window once the program has started, which
    // the preview's button needs.
    std::wstring cmd = L"\"" + o_.exe + L"\" /show";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    origin_ = NowSeconds();
    watcher_.Start(origin_);
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, FolderOf(o_.exe).c_str(), &si,
                          &pi_)) {
        std::printf("cannot start %s (error %lu)\n", Utf8(o_.exe).c_str(), ::GetLastError());
        return false;
    }
    std::optional<int> linuxPid;
    WaitUntil([&] { return (linuxPid = FindLinuxPid(o_.exe, "", WinePrefix())).has_value(); }, 5000, 100);
    linux_ = linuxPid.has_value();
    target_ = std::make_unique<Target>(pi_.hProcess, pi_.dwProcessId, linuxPid);
    if (linuxPid)
        std::printf("Program: Windows pid %lu, Linux pid %d\n", pi_.dwProcessId, *linuxPid);
    else
        notes_.push_back("the program's Linux process was not found under Z:\\proc: no Linux columns");
    return true;
}

void Soak::PrintHeader() const {
    std::printf("\n%7s %8s %-16s %4s %7s %9s %7s %7s %5s %5s %5s %6s\n", "change", "elapsed", "picture", "prev",
                "WS MB", "commit MB", "RSS MB", "anon MB", "GDI", "USER", "boxes", "missed");
}

std::string Fixed(const std::optional<std::uint64_t>& bytes) {
    if (!bytes) return "-";
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", Mb(*bytes));
    return b;
}

void Soak::PrintRow(const Sample& s, const char* mark) const {
    std::string pic = Utf8(NameOf(pictures_[static_cast<std::size_t>(s.slot)]));
    if (pic.size() > 16) pic = pic.substr(0, 16);
    const std::string gdi = s.gdi.ok ? std::to_string(s.gdi.objects) : "n/a";
    std::printf("%7d %7.1fs %-16s %4s %7.1f %9s %7s %7s %5s %5d %5d %6d %s%s\n", s.change, s.elapsed, pic.c_str(),
                s.preview ? "open" : "-", Mb(s.mem.workingSet), Fixed(s.mem.commit).c_str(),
                Fixed(s.mem.linuxRss).c_str(), Fixed(s.mem.linuxAnon).c_str(), gdi.c_str(), s.user.Total(), s.boxes,
                s.missed, mark, s.late ? " (late)" : "");
    std::fflush(stdout);
}

void Soak::WriteCsv(const Sample& s, double gap) {
    if (!csv_) return;
    auto mb = [](const std::optional<std::uint64_t>& v) { return v ? Mb(*v) : -1.0; };
    std::fprintf(csv_, "%d,%.3f,%.3f,%s,%d,%.2f,%.2f,%.2f,%.2f,%d,%d,%d,%d,%d,%.3f,%.2f\n", s.change, s.elapsed, gap,
                 Utf8(NameOf(pictures_[static_cast<std::size_t>(s.slot)])).c_str(), s.preview ? 1 : 0,
                 Mb(s.mem.workingSet), mb(s.mem.commit), mb(s.mem.linuxRss), mb(s.mem.linuxAnon),
                 s.gdi.ok ? s.gdi.objects : -1, s.user.Total(), s.boxes, s.missed, s.late ? 1 : 0, s.cpu,
                 s.linuxCpu.value_or(-1.0));
    std::fflush(csv_);
}

void Soak::TogglePreview(int change) {
    if (!main_ || !::IsWindow(main_)) main_ = FindTop(pi_.dwProcessId, L"TfrmMain", false);
    if (main_ && (!previewButton_ || !::IsWindow(previewButton_))) {
        // Its caption follows the preview's state; the window stays the same.
        for (HWND h = ::GetWindow(main_, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
            if (ClassOf(h) != L"Button") continue;
            const std::wstring text = TextOf(h);
            if (text == L"Afficher l'image" || text == L"Afficher" || text == L"Masquer") {
                previewButton_ = h;
                break;
            }
        }
    }
    ++previewToggles_;
    if (!previewButton_) {
        if (++previewToggleFailures_ == 1) notes_.push_back("the preview's button was not found on the main window");
        return;
    }
    const bool before = PreviewOpen();
    toggles_.push_back(Toggle{change, !before, NowSeconds() - origin_});
    ::PostMessageW(previewButton_, BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return PreviewOpen() != before; }, 5000)) {
        ++previewToggleFailures_;
        char note[160];
        std::snprintf(note, sizeof note, "after change %d the preview's button left the preview %s", change,
                      before ? "open" : "closed");
        notes_.push_back(note);
    }
}

void Soak::WatchBoxes(int change) {
    for (HWND box : VisibleBoxes(pi_.dwProcessId)) {
        if (std::find(seenBoxes_.begin(), seenBoxes_.end(), box) != seenBoxes_.end()) continue;
        seenBoxes_.push_back(box);
        const std::wstring text = BoxText(box);
        boxes_.emplace_back(change, text);
        std::printf("  error box after change %d: %s\n", change, Utf8(text).c_str());
        std::fflush(stdout);
        // Answered, so that the run goes on and shows whether the program recovers.
        if (HWND button = ::FindWindowExW(box, nullptr, L"Button", nullptr))
            ::PostMessageW(button, BM_CLICK, 0, 0);
        else
            ::PostMessageW(box, WM_CLOSE, 0, 0);
    }
}

void Soak::Stop() {
    watcher_.Stop();
    if (!pi_.hProcess) return;
    if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0) {
        ended_ = true;
        DWORD code = 0;
        ::GetExitCodeProcess(pi_.hProcess, &code);
        char note[96];
        std::snprintf(note, sizeof note, "the program ended by itself, exit code %lu (0x%lx)", code, code);
        notes_.push_back(note);
        return;
    }
    HWND tray = FindTop(pi_.dwProcessId, L"OrvaneTrayIconWindow", false);
    if (tray) ::PostMessageW(tray, WM_COMMAND, kTrayQuitCommand, 0);
    if (::WaitForSingleObject(pi_.hProcess, 20000) != WAIT_OBJECT_0) {
        notes_.push_back("the program did not end through Quitter within 20 s: terminated");
        ::TerminateProcess(pi_.hProcess, 1);
        ::WaitForSingleObject(pi_.hProcess, 10000);
    }
}

// The machine's load, from Linux through Wine's Z: drive: late changes on a
// busy machine say little about the program.
std::string LoadAverage() {
    std::string load = ReadWholeFile(L"Z:\\proc\\loadavg");
    const auto cut = load.find(' ', load.find(' ', load.find(' ') + 1) + 1);
    if (cut != std::string::npos) load.resize(cut);
    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    return load.empty() ? "unknown" : load + " (1, 5, 15 min) on " + std::to_string(si.dwNumberOfProcessors) + " cores";
}

int Soak::Run() {
    if (!Prepare()) return 2;
    gui_ = GuiResourcesImplemented();
    hideWait_ = HideWaitSeconds();
    std::printf("Soak of %s: %d changes, one a second, calendar on, stretched, pictures in list order:\n",
                Utf8(o_.exe).c_str(), o_.changes);
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        WIN32_FILE_ATTRIBUTE_DATA a{};
        ::GetFileAttributesExW(pictures_[i].c_str(), GetFileExInfoStandard, &a);
        std::printf("  %zu. %s (%.0f KB)\n", i + 1, Utf8(pictures_[i]).c_str(),
                    static_cast<double>((static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow) / 1024);
    }
    std::printf("Preview toggled every %d changes; a row every %d changes; change %d compared with change %d.\n",
                o_.previewEvery, o_.every, warmup_, o_.changes);
    std::printf("GDI: live non-stock entries of the program's GDI handle table; GetGuiResources %s.\n",
                gui_ ? "answers too (shown in the summary)" : "is a stub here (answers 0)");
    std::printf("USER: the program's windows (top-level with hidden ones, descendants, message-only).\n");
    std::printf("WS: GetProcessMemoryInfo; commit: private committed (VirtualQueryEx, on rows only);\n");
    std::printf("RSS and anon: VmRSS and RssAnon of the Linux process.\n");
    std::printf("Hiding a window blocks its thread %.0f ms on this display%s.\n", hideWait_ * 1000,
                hideWait_ >= 0.5 ? " (no window manager): a change late by no more than that after the preview "
                                   "closed is listed apart from the missed ones"
                                 : "");
    loadAtStart_ = LoadAverage();
    if (!StartProgram()) return 2;

    PrintHeader();
    int handled = 0;
    auto lastBoxCheck = Clock::now();
    auto lastProgress = Clock::now();
    while (handled < o_.changes) {
        if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0) break;
        const int seen = std::min(watcher_.Count(), o_.changes);
        if (seen > handled) {
            lastProgress = Clock::now();
            for (int k = handled + 1; k <= seen; ++k) {
                const double gap = k == 1 ? 0.0 : watcher_.WrittenAt(k) - watcher_.WrittenAt(k - 1);
                gaps_.push_back(gap);
                if (k > 1 && gap > o_.maxGap) {
                    if (HideWaitExplains(k, gap)) {
                        hideWaitLate_.emplace_back(k, gap);
                        std::printf("  change %d came %.2f s after the one before, the preview closed between them\n",
                                    k, gap);
                    } else {
                        missed_.emplace_back(k, gap);
                        std::printf("  change %d came %.2f s after the one before\n", k, gap);
                    }
                }
            }
            const int previous = handled;
            handled = seen;
            // Sampled at the same moment of every cycle: once the change is
            // over and before the next one starts.
            const double wait = o_.sampleDelayMs / 1000.0 - (NowSeconds() - origin_ - watcher_.SeenAt(seen));
            if (wait > 0) ::Sleep(static_cast<DWORD>(wait * 1000));
            bool row = false;
            for (int k = previous + 1; k <= seen; ++k)
                row = row || k == 1 || k % o_.every == 0 || k == o_.changes || k == warmup_;
            if (watcher_.Count() > seen && !row) {
                ++skippedSamples_;  // too late for this cycle: the next one is sampled instead
            } else {
                Sample s = target_->Take(false);
                s.late = watcher_.Count() > seen;
                if (row) s.mem.commit = PrivateCommit(pi_.hProcess);
                if (s.late) ++lateSamples_;
                s.change = seen;
                s.elapsed = watcher_.WrittenAt(seen);
                s.slot = Slot(seen);
                s.preview = PreviewOpen();
                WatchBoxes(seen);
                s.boxes = static_cast<int>(boxes_.size());
                s.missed = static_cast<int>(missed_.size());
                samples_.push_back(s);
                WriteCsv(s, gaps_.back());
                if (row) PrintRow(s, seen == warmup_ ? " (warm-up)" : "");
            }
            for (int k = previous + 1; k <= seen; ++k)
                if (o_.previewEvery > 0 && k % o_.previewEvery == 0 && k < o_.changes) TogglePreview(k);
            continue;
        }
        if (std::chrono::duration<double>(Clock::now() - lastBoxCheck).count() > 0.25) {
            WatchBoxes(handled);
            lastBoxCheck = Clock::now();
        }
        const double quiet = std::chrono::duration<double>(Clock::now() - lastProgress).count();
        if ((handled == 0 && quiet > o_.startTimeoutS) || (handled > 0 && quiet > o_.stallTimeoutS)) {
            stalled_ = true;
            std::printf("  no change for %.0f s after change %d: stopping\n", quiet, handled);
            break;
        }
        ::Sleep(20);
    }
    Stop();
    return Summarise();
}

int Soak::Summarise() {
    std::printf("\n== Summary\n");
    const int done = static_cast<int>(gaps_.size());
    std::printf("changes seen: %d of %d in %.1f s%s%s\n", done, o_.changes, done ? watcher_.WrittenAt(done) : 0.0,
                ended_ ? " (the program ENDED by itself)" : "", stalled_ ? " (STALLED)" : "");
    if (done > 1) {
        std::vector<double> g(gaps_.begin() + 1, gaps_.end());
        std::sort(g.begin(), g.end());
        double sum = 0;
        for (double x : g) sum += x;
        std::printf("time between changes: mean %.2f s, median %.2f s, 99th percentile %.2f s, max %.2f s\n",
                    sum / static_cast<double>(g.size()), g[g.size() / 2],
                    g[std::min(g.size() - 1, static_cast<std::size_t>(static_cast<double>(g.size()) * 0.99))],
                    g.back());
        std::printf("by the picture each change showed (time since the change before):\n");
        for (std::size_t p = 0; p < pictures_.size(); ++p) {
            double total = 0, worst = 0;
            int n = 0;
            for (int k = 2; k <= done; ++k)
                if (static_cast<std::size_t>(Slot(k)) == p) {
                    total += gaps_[static_cast<std::size_t>(k - 1)];
                    worst = std::max(worst, gaps_[static_cast<std::size_t>(k - 1)]);
                    ++n;
                }
            if (n)
                std::printf("  %-28s mean %.2f s, max %.2f s over %d changes\n", Utf8(NameOf(pictures_[p])).c_str(),
                            total / n, worst, n);
        }
    }
    std::printf("samples: %zu (%d cycles skipped because the sampler was behind, %d samples taken late)\n",
                samples_.size(), skippedSamples_, lateSamples_);
    if (samples_.size() > 1) {
        const Sample& a = samples_.front();
        const Sample& b = samples_.back();
        const int n = std::max(1, b.change - a.change);
        std::printf("the program's CPU time from change %d to %d: %.1f s by GetProcessTimes (%.0f ms a change)",
                    a.change, b.change, b.cpu - a.cpu, 1000 * (b.cpu - a.cpu) / n);
        if (a.linuxCpu && b.linuxCpu)
            std::printf(", %.1f s by Linux (%.0f ms a change)", *b.linuxCpu - *a.linuxCpu,
                        1000 * (*b.linuxCpu - *a.linuxCpu) / n);
        std::printf("\n");
    }
    std::printf("preview toggles: %d, %d without effect\n", previewToggles_, previewToggleFailures_);
    // How long the program took to make its next change after the button was
    // pressed, for openings and closings apart.
    for (const bool opens : {true, false}) {
        double total = 0, worst = 0;
        int n = 0;
        for (const Toggle& t : toggles_) {
            if (t.opens != opens || t.change + 1 > done) continue;
            const double d = watcher_.WrittenAt(t.change + 1) - t.at;
            total += d;
            worst = std::max(worst, d);
            ++n;
        }
        if (n)
            std::printf("  after the preview %s: the next change came %.2f s later on average (max %.2f s, %d times)\n",
                        opens ? "opened" : "closed", total / n, worst, n);
    }
    std::printf("load average: %s at the start, %s at the end\n", loadAtStart_.c_str(), LoadAverage().c_str());
    for (const auto& n : notes_) std::printf("note: %s\n", n.c_str());

    bool pass = true;
    auto goal = [&](bool met, const std::string& what) {
        pass = pass && met;
        std::printf("  [%s] %s\n", met ? "ok" : "MISSED", what.c_str());
    };
    std::printf("\nGoals:\n");
    char line[512];
    std::snprintf(line, sizeof line, "all %d changes seen, the program still running at the end", o_.changes);
    goal(done == o_.changes && !ended_ && !stalled_, line);

    const Sample* warm = nullptr;
    for (const Sample& s : samples_)
        if (s.change == warmup_) warm = &s;
    const Sample* last = samples_.empty() ? nullptr : &samples_.back();
    if (!warm || !last || last->change != o_.changes || warm == last) {
        goal(false, "no warm-up sample and last sample to compare");
    } else {
        std::printf("  compared: change %d (after the warm-up) with change %d (last), both showing %s", warm->change,
                    last->change, Utf8(NameOf(pictures_[static_cast<std::size_t>(last->slot)])).c_str());
        std::printf(", preview %s -> %s\n", warm->preview ? "open" : "closed", last->preview ? "open" : "closed");
        auto memGoal = [&](const char* name, std::uint64_t a, std::uint64_t b) {
            const double d = Mb(b) - Mb(a);
            std::snprintf(line, sizeof line, "%-24s %8.1f -> %8.1f MB (%+.1f MB, limit +%.1f)", name, Mb(a), Mb(b), d,
                          o_.memToleranceMb);
            goal(d <= o_.memToleranceMb, line);
        };
        if (warm->mem.ok && last->mem.ok)
            memGoal("working set", warm->mem.workingSet, last->mem.workingSet);
        else
            goal(false, "GetProcessMemoryInfo failed on the program");
        if (warm->mem.privateUsage && last->mem.privateUsage)
            memGoal("PrivateUsage", warm->mem.privateUsage, last->mem.privateUsage);
        if (warm->mem.commit && last->mem.commit)
            memGoal("private commit", *warm->mem.commit, *last->mem.commit);
        else
            goal(false, "private commit not measured on both samples");
        if (warm->mem.linuxRss && last->mem.linuxRss) {
            memGoal("Linux RSS", *warm->mem.linuxRss, *last->mem.linuxRss);
            memGoal("Linux anonymous RSS", *warm->mem.linuxAnon, *last->mem.linuxAnon);
        }
        if (warm->gdi.ok && last->gdi.ok) {
            int lo = last->gdi.objects, hi = last->gdi.objects;
            for (const Sample& s : samples_)
                if (s.change >= warm->change && s.gdi.ok) {
                    lo = std::min(lo, s.gdi.objects);
                    hi = std::max(hi, s.gdi.objects);
                }
            std::snprintf(line, sizeof line, "GDI objects              %8d -> %8d (range %d..%d from the warm-up on)",
                          warm->gdi.objects, last->gdi.objects, lo, hi);
            goal(last->gdi.objects <= warm->gdi.objects, line);
            if (last->gdi.objects != warm->gdi.objects)
                std::printf("    by type:%s\n", GdiDiff(warm->gdi, last->gdi).c_str());
        } else {
            goal(false, "the GDI handle table could not be read");
        }
        int lo = last->user.Total(), hi = last->user.Total();
        for (const Sample& s : samples_)
            if (s.change >= warm->change) {
                lo = std::min(lo, s.user.Total());
                hi = std::max(hi, s.user.Total());
            }
        std::snprintf(line, sizeof line, "USER objects (windows)   %8d -> %8d (range %d..%d from the warm-up on)",
                      warm->user.Total(), last->user.Total(), lo, hi);
        goal(last->user.Total() <= warm->user.Total(), line);
        if (last->user.Total() != warm->user.Total())
            std::printf("    by class:%s\n", WindowDiff(warm->user, last->user).c_str());
        std::string types;
        for (const auto& [t, n] : last->gdi.byType)
            types.append(" ").append(GdiTypeName(t)).append(" ").append(std::to_string(n));
        std::printf("  at the last sample, GDI objects by type:%s\n", types.c_str());
        std::string classes;
        for (const auto& [c, n] : last->user.byClass) {
            classes.append(" ").append(Utf8(c));
            if (n > 1) classes.append(" x").append(std::to_string(n));
            classes.append(",");
        }
        if (!classes.empty()) classes.pop_back();
        std::printf("  at the last sample, windows by class:%s\n", classes.c_str());
        if (gui_)
            std::printf("  GetGuiResources at the last sample: GDI %lu, USER %lu\n", last->gui.gdi, last->gui.user);
    }
    std::snprintf(line, sizeof line, "no error box (%zu seen)", boxes_.size());
    goal(boxes_.empty(), line);
    for (const auto& [k, text] : boxes_) std::printf("    after change %d: %s\n", k, Utf8(text).c_str());
    std::snprintf(line, sizeof line, "no missed change (more than %.1f s between two): %zu", o_.maxGap,
                  missed_.size());
    goal(missed_.empty(), line);
    if (!hideWaitLate_.empty()) {
        std::printf("    and %zu change(s) late because the preview was closed just before, which blocks the\n"
                    "    program's thread %.1f s on this display (not counted):",
                    hideWaitLate_.size(), hideWait_);
        for (const auto& [k, gap] : hideWaitLate_) std::printf(" %d (%.2f s)", k, gap);
        std::printf("\n");
    }
    int shown = 0;
    for (const auto& [k, gap] : missed_) {
        if (shown++ == 20) {
            std::printf("    ...\n");
            break;
        }
        std::printf("    change %d came %.2f s after the one before (picture %s)\n", k, gap,
                    Utf8(NameOf(pictures_[static_cast<std::size_t>(Slot(k))])).c_str());
    }
    std::printf("\n%s\n", pass ? "SOAK PASSED" : "SOAK FAILED");
    return pass ? 0 : 1;
}

void Usage() {
    std::printf(
        "soak_probe --exe C:\\path\\OrvaneWallPaper.exe [--pictures FOLDER] [--changes N] [--every N]\n"
        "           [--warmup N] [--preview-every N] [--max-gap S] [--mem-tolerance MB]\n"
        "           [--sample-delay MS] [--csv FILE]\n"
        "soak_probe --check-counters\n"
        "The settings under HKCU\\Software\\Orvane are replaced; piclist.cfg beside the program\n"
        "is rewritten from FOLDER (its .jpg and .bmp files, by name) when --pictures is given.\n"
        "Exit code: 0 every goal met, 1 a goal missed, 2 the run could not start.\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        auto value = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (a == L"--counter-child") return CounterChild(static_cast<DWORD>(_wtoi(value().c_str())));
        if (a == L"--check-counters") return CheckCounters();
        if (a == L"--exe")
            o.exe = value();
        else if (a == L"--pictures")
            o.pictures = value();
        else if (a == L"--changes")
            o.changes = _wtoi(value().c_str());
        else if (a == L"--every")
            o.every = _wtoi(value().c_str());
        else if (a == L"--warmup")
            o.warmup = _wtoi(value().c_str());
        else if (a == L"--preview-every")
            o.previewEvery = _wtoi(value().c_str());
        else if (a == L"--max-gap")
            o.maxGap = _wtof(value().c_str());
        else if (a == L"--mem-tolerance")
            o.memToleranceMb = _wtof(value().c_str());
        else if (a == L"--sample-delay")
            o.sampleDelayMs = _wtoi(value().c_str());
        else if (a == L"--csv")
            o.csv = value();
        else {
            Usage();
            return 2;
        }
    }
    if (o.exe.empty()) {
        Usage();
        return 2;
    }
    return Soak(o).Run();
}
