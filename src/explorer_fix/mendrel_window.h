#pragma once
// The utility's one window: three texts, four buttons and two hidden lists.
// Each button's work runs to its end in its click handler; errors are not
// caught there: they reach the program's error handler, ReportAndEnd,
// which shows the number and description and ends the program.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/mendrel/mendrel_actions.h"
#include "explorer_fix/registry_access.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace mendrel {

// The class name is how the installer and the tests find a running copy.
inline constexpr wchar_t kWindowClass[] = L"MendrelAppli";
inline constexpr wchar_t kWindowTitle[] = L"Mendrel Explorer";
inline constexpr wchar_t kErrorTitle[] = L"Mendrel";
inline constexpr wchar_t kHelpPage[] = L"C:\\Program Files\\Mendrel Explorer\\A Propos.htm";

// The controls' dialog identifiers; the numbers are fixed, since other
// programs find the controls by them.
enum ControlId : int {
    kHelpButton = 101,  // "Aide"; clear of IDOK and IDCANCEL, which Enter and Escape send
    kDefaultsButton,    // "Par défaut"
    kRepairButton,      // "Corriger"
    kOptimiseButton,    // "Optimiser"
    kStartupFileList,   // hidden: the files of the Startup folder being repaired
    kStartupFolderList, // hidden: that folder
    kStatusLine,
    kRepairText,        // what "Corriger" is for
    kPreventionText,    // what "Optimiser" is for
};

// Twips of the layout at 15 twips per pixel.
constexpr int Px(int twips) { return twips / 15; }
inline constexpr int kClientWidth = Px(4290);
inline constexpr int kClientHeight = Px(4905);

class MendrelWindow : public win::Window {
public:
    // Where the start-up takes the machine's total physical memory; tests give
    // their own. Where "Aide" opens its page; tests record it.
    using MemorySource = std::function<std::uint64_t()>;
    // Whether the program runs elevated, which decides the shield on the
    // switches; tests give their own.
    using ElevationSource = std::function<bool()>;
    using Opener = std::function<void(HWND owner, const std::wstring& path)>;

    explicit MendrelWindow(win::UiContext& ui);
    ~MendrelWindow() override;

    // Creates the window hidden with its controls and shows the options'
    // state and the memory restriction in it; the caller then shows it.
    // Errors of that start-up are thrown to the caller.
    void Load();
    void Show();

    HWND Control(ControlId id) const { return ::GetDlgItem(hwnd(), id); }
    std::wstring StatusText() const;

    void SetMemorySource(MemorySource source) { memory_ = std::move(source); }
    void SetElevationSource(ElevationSource source) { elevated_ = std::move(source); }
    void SetOpener(Opener opener) { opener_ = std::move(opener); }
    // Called once the window is gone (the program then ends); by default it
    // posts the quit message with the exit code.
    void SetOnClosed(std::function<void()> onClosed) { onClosed_ = std::move(onClosed); }

    // The code the program ends with: 0, or 1 once an error ended it.
    int ExitCode() const { return exitCode_; }

    // The registry access object, made on first use and kept for the run.
    RegistryAccess& Registry();

    // The utility's error handler: shows the error box (number and
    // description) and ends the program.
    static void ReportAndEnd(win::UiContext& ui, HWND owner, const std::exception& e);
    // Shows the error box and ends the program with exit code 1.
    void EndAfterError(const std::wstring& boxText);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    void CreateControls();
    void SetStatus(const std::string& text);

    void ShowStartupState();
    void ShowElevationShields();
    void OnClosed();
    void OnOptimiseClicked();
    void OnRepairClicked();
    void OnDefaultsClicked();
    void OnHelpClicked();

    std::unique_ptr<RegistryAccess> registry_;
    win::GdiObject font_;
    win::Icon icon_;
    win::Icon smallIcon_;
    MemorySource memory_;
    ElevationSource elevated_;
    Opener opener_;
    std::function<void()> onClosed_;
    int exitCode_ = 0;
};

// The machine's total physical memory in bytes.
std::uint64_t TotalPhysicalMemory();

// Whether the process's token is elevated; false when it cannot be asked
// (before Vista there is no elevation, and the shield means nothing there).
bool ProcessIsElevated();

}  // namespace mendrel
