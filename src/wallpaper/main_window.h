#pragma once
// The main window: the picture list and its buttons. A view of the wallpaper
// model: the list box mirrors the model's list, and every button calls the
// model. It also owns the notification-area icon and answers its menu, and
// hears the system's news (clock, display, resume, unlock) for the model.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/wallpaper/wallpaper_model.h"
#include "win32/dpi.h"
#include "win32/flat_button.h"
#include "win32/handles.h"
#include "win32/timer.h"
#include "win32/window.h"

namespace orvane {

class AboutBox;
class PreviewWindow;
class SettingsDialog;
class TrayIcon;

// The list box's control identifier (tests click in it).
inline constexpr int kPictureListId = 100;

class MainWindow : public win::Window, private WallpaperModel::Observer {
public:
    struct Companions {
        PreviewWindow& preview;
        SettingsDialog& settings;
        AboutBox& about;
    };

    MainWindow(win::UiContext& ui, WallpaperModel& model, Companions companions);
    ~MainWindow() override;

    // Creates the window hidden, with its controls. With `showAfterStart`
    // (a command-line argument) the window shows once the start-up step ran.
    void Create(bool showAfterStart);
    // Hides the window and shows the notification-area icon.
    void StartInTray();

    void ShowMainWindow();
    // Where the program's message boxes get their owner.
    HWND MessageOwner() const;
    TrayIcon* Tray() const { return tray_.get(); }

    // ---- what the user does (also called by tests) --------------------------------
    void OnStartupTick();
    void OnApplyClicked();
    void OnSettingsClicked();
    void OnHelpClicked();
    void OnReduceClicked();
    void OnAddFileClicked();
    void OnAddFolderClicked();
    void OnRemoveSelectedClicked();
    void OnPreviewClicked();
    void OnListSelectionChanged();
    void OnTrayDoubleClick();
    void OnTrayCommand(int command);

    // ---- controls, for tests ---------------------------------------------------------
    HWND PictureListBox() const { return listBox_; }
    win::FlatButton& ApplyButton() { return applyButton_; }
    win::FlatButton& PreviewButton() { return previewButton_; }
    bool PreviewShown() const { return previewShown_; }
    win::Timer& StartupTimer() { return startupTimer_; }

    // The open-file dialog's multi-selection buffer as full paths, in order.
    static std::vector<std::wstring> SplitOpenFileResult(const wchar_t* buffer);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // WallpaperModel::Observer
    void OnPictureListReset() override;
    void OnPicturesAdded(std::size_t first, std::size_t count) override;
    void OnPicturesRemoved(const std::vector<std::size_t>& ascending) override;
    void OnSettingsLoaded() override;
    void OnSettingsApplied(bool calendarWasOn) override;
    void OnQuickIconChanged() override;
    void OnChangeStarted() override;
    void OnChangeFinished() override;

    void CreateControls();
    void AddListEntry(const std::string& path);
    int SelectedCount() const;
    int CaretIndex() const;
    void PaintPanels();
    void DrawListItem(const DRAWITEMSTRUCT* item);
    void OnPreviewClosed();
    void OnDpiChanged(int dpi, const RECT* suggested);
    void OnPowerBroadcast(WPARAM event);
    void OnSessionChange(WPARAM event);
    void QuitProgram();

    WallpaperModel& model_;
    Companions companions_;
    std::unique_ptr<TrayIcon> tray_;
    bool showAfterStart_ = false;
    bool previewShown_ = false;
    bool sessionNotifications_ = false;
    win::Timer startupTimer_;
    win::DpiLayout layout_;
    win::GdiObject font_;
    win::GdiObject panelBrush_;
    HWND label_ = nullptr;
    HWND listBox_ = nullptr;
    win::FlatButton applyButton_, settingsButton_, helpButton_, reduceButton_;
    win::FlatButton addFileButton_, addFolderButton_, removeButton_, previewButton_;
};

}  // namespace orvane
