#pragma once
// The utility's one window: three texts, four buttons and two hidden lists.
// Each button's work runs to its end in its click handler; errors are not
// caught there: they reach the error handler set by InstallErrorHandler,
// which shows the number and description and ends the program.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/mendrel_actions.h"
#include "explorer_fix/registry_access.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace mendrel {

inline constexpr wchar_t kAppliClass[] = L"MendrelAppli";
inline constexpr wchar_t kAppliTitle[] = L"Mendrel Explorer";
inline constexpr wchar_t kErrorTitle[] = L"Mendrel";
inline constexpr wchar_t kHelpPage[] = L"C:\\Program Files\\Mendrel Explorer\\A Propos.htm";

// Control numbers (also the dialog ids of the controls).
enum ControlId : int {
    kCommand4 = 101,  // clear of IDOK and IDCANCEL, which Enter and Escape send
    kCommand3,
    kCommand2,
    kCommand1,
    kFile1,
    kDir1,
    kLabel3,
    kLabel2,
    kLabel1,
};

// Twips of the form at 15 twips per pixel.
constexpr int Px(int twips) { return twips / 15; }
inline constexpr int kClientWidth = Px(4290);
inline constexpr int kClientHeight = Px(4905);

class Appli : public win::Window {
public:
    // Where Form_Load takes the machine's total physical memory; tests give
    // their own. Where "Aide" opens its page; tests record it.
    using MemorySource = std::function<std::uint64_t()>;
    using Opener = std::function<void(HWND owner, const std::wstring& path)>;

    Appli();
    ~Appli() override;

    // Creates the window hidden with its controls and runs Form_Load; the
    // caller then shows it. Errors of Form_Load are thrown to the caller.
    void Load();
    void Show();

    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    // The target path that a shortcut file names (first local path in it).
    std::string PathFile(const std::string& path);

    HWND Control(ControlId id) const { return ::GetDlgItem(hwnd(), id); }
    std::wstring StatusText() const;

    void SetMemorySource(MemorySource source) { memory_ = std::move(source); }
    void SetOpener(Opener opener) { opener_ = std::move(opener); }
    // Called once the window is gone (the program then ends); by default it
    // posts the quit message.
    void SetOnUnload(std::function<void()> onUnload) { onUnload_ = std::move(onUnload); }

    // The registry access object, made on first use and kept for the run.
    RegistryAccess& Registry();

    // Shows the error box (number and description) and ends the program.
    static void InstallErrorHandler();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    void CreateControls();
    void SetStatus(const std::string& text);

    std::unique_ptr<RegistryAccess> registry_;
    win::GdiObject font_;
    win::Icon icon_;
    win::Icon smallIcon_;
    MemorySource memory_;
    Opener opener_;
    std::function<void()> onUnload_;
};

// The machine's total physical memory in bytes.
std::uint64_t TotalPhysicalMemory();

// The exit code the program ends with (1 after an error).
int& ExitCode();

}  // namespace mendrel
