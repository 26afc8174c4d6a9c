#pragma once
// Small end-to-end driver: starts the real programs, finds their windows and
// controls, presses buttons, reads texts and sets up or checks the registry.
// Everything that waits takes a time-out, so a program that hangs fails the
// test instead of hanging it. All texts are UTF-16 (what the W APIs see).
//
// Typical use:
//   e2e::Process app = e2e::Process::Start(L"Mendrel.exe");
//   HWND w = e2e::WaitForWindow(L"Mendrel Explorer", nullptr, 10000, app.Id());
//   HWND ok = e2e::FindChild(w, L"Button", L"Optimiser");
//   e2e::Click(ok);
//   EXPECT_EQ(e2e::GetText(e2e::FindChild(w, L"Static", nullptr, 2)), L"...");
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Millis = std::chrono::milliseconds;
inline constexpr DWORD kDefaultTimeoutMs = 10000;

// ---- waiting ----------------------------------------------------------------

// Polls `condition` every `pollMs` until it is true (returns true) or the
// time-out passes (returns false). The condition is checked at least once.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs, DWORD pollMs = 25);

// ---- programs -----------------------------------------------------------------

// The folder of the programs under test: env ORVANE_BIN_DIR (a Unix path is
// turned into its DOS form, as Wine passes the environment through), else the
// folder of the running test executable. Ends with a backslash.
std::wstring BinDir();

// A started program. The destructor kills it if it is still running, so a
// failed assertion never leaves a program behind.
class Process {
public:
    Process() = default;
    Process(Process&& o) noexcept;
    Process& operator=(Process&& o) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // Starts `exe` (a bare name is looked up in BinDir(); a path containing a
    // backslash or colon is used as it is) with `arguments` appended to the
    // quoted program path. `workDir` empty: the program's own folder.
    // Throws std::runtime_error when the program cannot be started.
    static Process Start(const std::wstring& exe, const std::wstring& arguments = {},
                         const std::wstring& workDir = {});

    DWORD Id() const { return pid_; }
    HANDLE Handle() const { return process_; }
    bool Running() const;

    // Waits for the end; the exit code, or nothing after the time-out.
    std::optional<DWORD> Wait(DWORD timeoutMs = kDefaultTimeoutMs);
    // Waits until the program waits for input (its window is up), or time-out.
    bool WaitIdle(DWORD timeoutMs = kDefaultTimeoutMs);
    // Terminates it if running and waits for the end (bounded).
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// ---- windows ------------------------------------------------------------------

// The first visible top-level window with that caption and class (nullptr:
// any) and, when pid is not 0, owned by that process; nullptr after time-out.
HWND WaitForWindow(const wchar_t* caption, const wchar_t* className = nullptr, DWORD timeoutMs = kDefaultTimeoutMs,
                   DWORD pid = 0);

// Same test, once, without waiting; also sees hidden windows when asked.
HWND FindTopWindow(const wchar_t* caption, const wchar_t* className = nullptr, DWORD pid = 0,
                   bool visibleOnly = true);

// Waits until `hwnd` is gone (destroyed) or the time-out passes.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeoutMs);

// The index-th (0-based) direct child of `parent` in z-order whose class is
// `className` (nullptr: any) and whose text is `text` (nullptr: any).
HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text, int index = 0);

// Every direct child, in z-order (creation order for plain child windows).
std::vector<HWND> Children(HWND parent);

std::wstring ClassName(HWND hwnd);

// Window text read with WM_GETTEXT (works across processes); empty when the
// window does not answer within the time-out.
std::wstring GetText(HWND hwnd, DWORD timeoutMs = 5000);

// Presses a button with BM_CLICK. Posted, not sent: a handler that opens a
// message box or ends the program must not block the test. Returns false
// when the message could not be posted.
bool Click(HWND button);

// Client rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child);

// ---- message boxes ----------------------------------------------------------

// A visible standard message box ("#32770") owned by process `pid` (0: any)
// whose caption is `caption` (nullptr: any), or nullptr after the time-out.
HWND WaitForMessageBox(DWORD pid, const wchar_t* caption = nullptr, DWORD timeoutMs = kDefaultTimeoutMs);
// The message text of a message box (its static text control).
std::wstring MessageBoxText(HWND box);

// ---- registry -----------------------------------------------------------------

enum class Root { CurrentUser, LocalMachine };

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

bool KeyExists(Root root, const std::wstring& key);
// Creates the key and every missing parent.
bool CreateKey(Root root, const std::wstring& key);
// Deletes the key with everything below it; true also when it did not exist.
bool DeleteKeyTree(Root root, const std::wstring& key);

std::optional<RegValue> ReadValue(Root root, const std::wstring& key, const std::wstring& name);
// A REG_SZ / REG_EXPAND_SZ value's text; nothing for other types or absence.
std::optional<std::wstring> ReadString(Root root, const std::wstring& key, const std::wstring& name);
// A REG_DWORD value; nothing for other types or absence.
std::optional<DWORD> ReadDword(Root root, const std::wstring& key, const std::wstring& name);

// Writers create the key when it is missing.
bool WriteString(Root root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
bool WriteDword(Root root, const std::wstring& key, const std::wstring& name, DWORD number);
bool WriteValue(Root root, const std::wstring& key, const std::wstring& name, const RegValue& value);
// True also when the value did not exist.
bool DeleteValue(Root root, const std::wstring& key, const std::wstring& name);

// Saves a key (with its whole tree) on construction and puts it back as it
// was on destruction, so a test leaves the registry as it found it.
class RegistrySnapshot {
public:
    RegistrySnapshot(Root root, std::wstring key);
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;
    ~RegistrySnapshot();

private:
    struct Node {
        std::wstring name;
        std::vector<std::pair<std::wstring, RegValue>> values;
        std::vector<Node> children;
    };
    static bool Save(HKEY key, Node& node);
    static void Restore(HKEY parent, const Node& node);

    Root root_;
    std::wstring key_;
    bool existed_ = false;
    Node tree_;
};

}  // namespace e2e
