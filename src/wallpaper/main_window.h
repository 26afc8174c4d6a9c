#pragma once
// The main window `frmMain`: owns every piece of shared state of the
// wallpaper changer (settings, picture list, timers, the Active Desktop
// interface) and the operations the other windows call.
#include <windows.h>
// wininet.h first: shlobj.h declares the Active Desktop types only after it.
#include <wininet.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "win32/flat_button.h"
#include "win32/handles.h"
#include "win32/timer.h"
#include "win32/window.h"

struct IActiveDesktop;

namespace orvane {

class TPreview;
class TParamfrm;
class TForm2;
class TTrayIcon;

// Timer identifiers of the main window.
enum : UINT_PTR { kTimer2 = 2, kTimer3 = 3, kTimerTrans = 4 };

class TfrmMain : public win::Window {
public:
    TfrmMain();
    ~TfrmMain() override;

    // Creates the window (hidden) and runs FormCreate.
    void CreateWindowAndControls(bool hasCommandLineArgument);

    // ---- shared state --------------------------------------------------------
    orvane::WallpaperSettings WallpaperSettings;
    std::vector<std::wstring> PictureList;  // full paths, parallel to ListBox1
    bool PreviewShown = false;
    bool NoActiveDesktop = false;
    win::ComPtr<IActiveDesktop> ActiveDesktop;
    COMPONENTSOPT ComponentsOpt{};
    WALLPAPEROPT WallpaperOpt{};

    win::Timer Timer2{kTimer2, 300, true};
    win::Timer Timer3{kTimer3, 0, false};
    win::Timer TimerTrans{kTimerTrans, 2000, false};

    // The other windows, created after this one (Preview, Paramfrm, Form2)
    // and owned here so that they live exactly as long as the main window.
    std::unique_ptr<TPreview> Preview;
    std::unique_ptr<TParamfrm> Paramfrm;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TTrayIcon> TrayIcon1;
    HMENU PopupMenu1 = nullptr;  // the tray menu (owned by TrayIcon1's file)

    // ---- controls ------------------------------------------------------------
    // The two silver panels (button band, list area) are painted by the window.
    HWND Label1 = nullptr, ListBox1 = nullptr;
    win::FlatButton ApplyBtn, ParamBtn, HelpBtn, CloseBtn, AddFileBtn, AddDirBtn, DelSelBtn, PreviewBtn;

    // ---- settings store ------------------------------------------------------
    void LoadSettings();
    void SaveSettings();
    // Paths used by the store; tests point them elsewhere.
    std::wstring ProgramPath() const;
    std::wstring DefaultListFileName() const;

    // ---- picture list --------------------------------------------------------
    void AddPicture(const std::wstring& fullPath);  // to both lists, no save
    void AddFiles(const std::vector<std::wstring>& files);  // dialog result: one save per file
    void AddDirectory(const std::wstring& folder);          // browser result: one save
    int SelectedCount() const;
    int CurrentItem() const;  // the list's focused item (caret)

    // ---- rotation and installation --------------------------------------------
    void ChooseNextPicture();
    void InstallCurrentPicture();
    bool ActiveDesktopEnabled();
    void SetRegistryWallpaper(const std::wstring& path, int mode, int originX, int originY);
    // Wallpaper bitmap path: Windows directory, else the local application
    // data folder when the Windows directory cannot be written.
    std::wstring WallpaperFilePath() const;
    // Runs one change and its follow-up even when the change fails; the error
    // is shown once and rethrown nowhere.
    void ChangeWallpaperNow();

    // ---- handlers --------------------------------------------------------------
    void FormCreate();
    void Timer2Timer();
    void Timer3Timer();
    void ApplyBtnClick();
    void ParamBtnClick();
    void HelpBtnClick();
    void CloseBtnClick();
    void AddFileBtnClick();
    void AddDirBtnClick();
    void DelSelBtnClick();
    void ListBox1Click();
    void PreviewBtnClick();
    void FormClose();
    // Tray menu and desktop icons.
    void TrayIcon1DblClick();
    void Restaurer1Click();
    void Changer1Click();
    void Quitter1Click();
    void ActivationRapide1Click();
    void Normale1Click();
    void Liste1Click();
    void TimerTransTimer();

    void ShowMainWindow();
    bool HasCommandLineArgument() const { return hasArgument_; }

    // Where this program's message boxes get their owner.
    HWND MessageOwner() const;

    // The open-file dialog's multi-selection buffer as full paths, in order.
    static std::vector<std::wstring> SplitOpenFileResult(const wchar_t* buffer);
    static DWORD WallpaperStyleFor(std::int32_t mode);
    // Tests write the wallpaper somewhere of their own.
    void SetWallpaperPathForTests(std::wstring path) { wallpaperPathOverride_ = std::move(path); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    void OnCommand(WPARAM wp, LPARAM lp);
    void OnTimer(UINT_PTR id);
    void PaintPanels();
    void DrawListItem(const DRAWITEMSTRUCT* di);
    void GuardedChange(const std::function<void()>& change);

    bool hasArgument_ = false;
    std::wstring wallpaperPathOverride_;
    HFONT font_ = nullptr;
    HBRUSH panelBrush_ = nullptr;
};

// The one main window of the process (set while it exists).
TfrmMain* frmMain();

}  // namespace orvane
