#include "e2e/driver.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

HKEY RootKey(Root root) { return root == Root::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// An open key closed on scope end (the driver stays free of the programs'
// own helpers, so it can be linked by any test).
struct Key {
    HKEY h = nullptr;
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h) ::RegCloseKey(h);
    }
};

bool OpenKey(Root root, const std::wstring& path, REGSAM access, Key& key) {
    return ::RegOpenKeyExW(RootKey(root), path.c_str(), 0, access, &key.h) == ERROR_SUCCESS;
}

bool CreateKeyHandle(Root root, const std::wstring& path, Key& key) {
    return ::RegCreateKeyExW(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &key.h, nullptr) == ERROR_SUCCESS;
}

struct WindowQuery {
    const wchar_t* caption;
    const wchar_t* className;
    DWORD pid;
    bool visibleOnly;
    HWND found;
};

bool Matches(HWND h, const wchar_t* caption, const wchar_t* className) {
    if (className && ClassName(h) != className) return false;
    if (caption) {
        wchar_t buf[512] = {};
        ::GetWindowTextW(h, buf, 512);
        if (std::wstring(buf) != caption) return false;
    }
    return true;
}

std::wstring DosPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    // Wine hands the Unix environment through unchanged; ask it for the DOS
    // form of the folder and fall back on the usual Z: mapping.
    using ToDos = WCHAR* (*)(const char*);
    if (auto fn = reinterpret_cast<ToDos>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")))) {
        std::string unix(path.begin(), path.end());
        if (WCHAR* dos = fn(unix.c_str())) {
            std::wstring out(dos);
            ::HeapFree(::GetProcessHeap(), 0, dos);
            return out;
        }
    }
    std::wstring out = L"Z:" + path;
    for (auto& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const auto end = Clock::now() + Millis(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= end) return false;
        ::Sleep(pollMs);
    }
}

// ---- programs -----------------------------------------------------------------

std::wstring BinDir() {
    std::wstring dir;
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"ORVANE_BIN_DIR", buf, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) {
        dir = DosPath(buf);
    } else {
        ::GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
        dir = buf;
        dir.erase(dir.find_last_of(L"\\/") + 1);
    }
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    return dir;
}

Process::Process(Process&& o) noexcept
    : process_(std::exchange(o.process_, nullptr)), pid_(std::exchange(o.pid_, 0)) {}

Process& Process::operator=(Process&& o) noexcept {
    if (this != &o) {
        Kill();
        if (process_) ::CloseHandle(process_);
        process_ = std::exchange(o.process_, nullptr);
        pid_ = std::exchange(o.pid_, 0);
    }
    return *this;
}

Process::~Process() {
    Kill();
    if (process_) ::CloseHandle(process_);
}

Process Process::Start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workDir) {
    std::wstring path = exe.find_first_of(L"\\:") == std::wstring::npos ? BinDir() + exe : exe;
    std::wstring cmd = L"\"" + path + L"\"";
    if (!arguments.empty()) cmd += L" " + arguments;
    std::wstring dir = workDir;
    if (dir.empty()) dir = path.substr(0, path.find_last_of(L'\\') + 1);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        throw std::runtime_error("cannot start the program (error " + std::to_string(::GetLastError()) + ")");
    ::CloseHandle(pi.hThread);
    Process p;
    p.process_ = pi.hProcess;
    p.pid_ = pi.dwProcessId;
    return p;
}

bool Process::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::Wait(DWORD timeoutMs) {
    if (!process_) return std::nullopt;
    if (::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

bool Process::WaitIdle(DWORD timeoutMs) { return process_ && ::WaitForInputIdle(process_, timeoutMs) == 0; }

void Process::Kill() {
    if (Running()) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
}

// ---- windows ------------------------------------------------------------------

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256] = {};
    ::GetClassNameW(hwnd, buf, 256);
    return buf;
}

HWND FindTopWindow(const wchar_t* caption, const wchar_t* className, DWORD pid, bool visibleOnly) {
    WindowQuery q{caption, className, pid, visibleOnly, nullptr};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* q = reinterpret_cast<WindowQuery*>(lp);
            if (q->visibleOnly && !::IsWindowVisible(h)) return TRUE;
            if (q->pid) {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(h, &owner);
                if (owner != q->pid) return TRUE;
            }
            if (!Matches(h, q->caption, q->className)) return TRUE;
            q->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND WaitForWindow(const wchar_t* caption, const wchar_t* className, DWORD timeoutMs, DWORD pid) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopWindow(caption, className, pid, true)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    return WaitFor([&] { return !::IsWindow(hwnd); }, timeoutMs);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    for (HWND h = ::GetWindow(parent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
    return out;
}

HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text, int index) {
    for (HWND h : Children(parent)) {
        if (className && ClassName(h) != className) continue;
        if (text && GetText(h) != text) continue;
        if (index-- == 0) return h;
    }
    return nullptr;
}

std::wstring GetText(HWND hwnd, DWORD timeoutMs) {
    if (!hwnd) return {};
    DWORD_PTR len = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &len)) return {};
    std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                               timeoutMs, &got))
        return {};
    buf.resize(static_cast<std::size_t>(got));
    return buf;
}

bool Click(HWND button) { return button && ::PostMessageW(button, BM_CLICK, 0, 0); }

RECT ChildRect(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND WaitForMessageBox(DWORD pid, const wchar_t* caption, DWORD timeoutMs) {
    return WaitForWindow(caption, L"#32770", timeoutMs, pid);
}

std::wstring MessageBoxText(HWND box) {
    // The message box's text is its static control with the id 0xFFFF.
    HWND text = ::GetDlgItem(box, 0xFFFF);
    if (text) return GetText(text);
    for (HWND h : Children(box))
        if (ClassName(h) == L"Static" && !GetText(h).empty()) return GetText(h);
    return {};
}

// ---- registry -----------------------------------------------------------------

bool KeyExists(Root root, const std::wstring& key) {
    Key k;
    return OpenKey(root, key, KEY_READ, k);
}

bool CreateKey(Root root, const std::wstring& key) {
    Key k;
    return CreateKeyHandle(root, key, k);
}

bool DeleteKeyTree(Root root, const std::wstring& key) {
    const LSTATUS st = ::RegDeleteTreeW(RootKey(root), key.c_str());
    if (st == ERROR_FILE_NOT_FOUND) return true;
    if (st != ERROR_SUCCESS) return false;
    // RegDeleteTree empties the key; the key itself may remain.
    const LSTATUS st2 = ::RegDeleteKeyW(RootKey(root), key.c_str());
    return st2 == ERROR_SUCCESS || st2 == ERROR_FILE_NOT_FOUND;
}

std::optional<RegValue> ReadValue(Root root, const std::wstring& key, const std::wstring& name) {
    Key k;
    if (!OpenKey(root, key, KEY_READ, k)) return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(k.h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    RegValue v;
    v.type = type;
    v.data.resize(size);
    if (::RegQueryValueExW(k.h, name.c_str(), nullptr, &type, v.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    v.data.resize(size);
    return v;
}

std::optional<std::wstring> ReadString(Root root, const std::wstring& key, const std::wstring& name) {
    auto v = ReadValue(root, key, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
    std::wstring s(reinterpret_cast<const wchar_t*>(v->data.data()), v->data.size() / sizeof(wchar_t));
    while (!s.empty() && s.back() == L'\0') s.pop_back();
    return s;
}

std::optional<DWORD> ReadDword(Root root, const std::wstring& key, const std::wstring& name) {
    auto v = ReadValue(root, key, name);
    if (!v || v->type != REG_DWORD || v->data.size() != sizeof(DWORD)) return std::nullopt;
    DWORD d = 0;
    std::memcpy(&d, v->data.data(), sizeof d);
    return d;
}

bool WriteValue(Root root, const std::wstring& key, const std::wstring& name, const RegValue& value) {
    Key k;
    if (!CreateKeyHandle(root, key, k)) return false;
    return ::RegSetValueExW(k.h, name.c_str(), 0, value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool WriteString(Root root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    RegValue v;
    v.type = REG_SZ;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.c_str());
    v.data.assign(p, p + (text.size() + 1) * sizeof(wchar_t));
    return WriteValue(root, key, name, v);
}

bool WriteDword(Root root, const std::wstring& key, const std::wstring& name, DWORD number) {
    RegValue v;
    v.type = REG_DWORD;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&number);
    v.data.assign(p, p + sizeof number);
    return WriteValue(root, key, name, v);
}

bool DeleteValue(Root root, const std::wstring& key, const std::wstring& name) {
    Key k;
    if (!OpenKey(root, key, KEY_SET_VALUE, k)) return true;
    const LSTATUS st = ::RegDeleteValueW(k.h, name.c_str());
    return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND;
}

RegistrySnapshot::RegistrySnapshot(Root root, std::wstring key) : root_(root), key_(std::move(key)) {
    Key k;
    if (OpenKey(root_, key_, KEY_READ, k)) existed_ = Save(k.h, tree_);
}

RegistrySnapshot::~RegistrySnapshot() {
    DeleteKeyTree(root_, key_);
    if (!existed_) return;
    Key k;
    if (!CreateKeyHandle(root_, key_, k)) return;
    for (const auto& [name, value] : tree_.values)
        ::RegSetValueExW(k.h, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    for (const auto& child : tree_.children) Restore(k.h, child);
}

bool RegistrySnapshot::Save(HKEY key, Node& node) {
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = 16384, type = 0, size = 0;
        LSTATUS st = ::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, nullptr, &size);
        if (st == ERROR_NO_MORE_ITEMS) break;
        if (st != ERROR_SUCCESS) return false;
        RegValue v;
        v.type = type;
        v.data.resize(size);
        nameLen = 16384;
        st = ::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, v.data.data(), &size);
        if (st != ERROR_SUCCESS) return false;
        v.data.resize(size);
        node.values.emplace_back(std::wstring(name, nameLen), std::move(v));
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = 256;
        wchar_t sub[256];
        const LSTATUS st = ::RegEnumKeyExW(key, i, sub, &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS) break;
        if (st != ERROR_SUCCESS) return false;
        Node child;
        child.name.assign(sub, nameLen);
        Key k;
        if (::RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS && Save(k.h, child))
            node.children.push_back(std::move(child));
    }
    return true;
}

void RegistrySnapshot::Restore(HKEY parent, const Node& node) {
    Key k;
    if (::RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                          nullptr, &k.h, nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& [name, value] : node.values)
        ::RegSetValueExW(k.h, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    for (const auto& child : node.children) Restore(k.h, child);
}

}  // namespace e2e
