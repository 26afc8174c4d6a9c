#pragma once
// A fresh copy of OrvaneWallPaper.exe in its own folder (its list file lives
// beside it), a clean settings key and no start-with-Windows value, for each
// end-to-end test of the wallpaper changer.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace e2e {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Orvane";
inline constexpr wchar_t kConfigKey[] = L"Software\\Orvane\\Config";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Orvane Wallpaper Changer";
inline constexpr wchar_t kAppTitle[] = L"Orvane Wallpaper Changer";
inline constexpr wchar_t kMainCaption[] = L"Orvane-Wallpaper Changer 1.3";

// Writes a 24-bit bottom-up bitmap file of one colour (0xRRGGBB), with an
// optional different top-left pixel.
bool WriteSolidBmp(const std::wstring& path, int width, int height, DWORD rgb, DWORD topLeftRgb = 0xFFFFFFFF);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// The composed wallpaper, in the Windows folder.
std::wstring ComposedWallpaperPath();
// A bitmap file's width and height; nothing while it holds no whole header.
std::optional<SIZE> BitmapSize(const std::wstring& path);

class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the copy; waits until it is idle.
    Process& Start(const std::wstring& arguments = {});
    // Waits for the program's message box with the application title and
    // returns its text after pressing its OK button.
    std::wstring AcceptMessageBox(DWORD timeoutMs = kDefaultTimeoutMs);
    HWND WaitMainWindow(DWORD timeoutMs = kDefaultTimeoutMs);
    HWND Button(HWND main, const wchar_t* caption);
    HWND ListBox(HWND main);
    int ListCount(HWND main);
    std::vector<std::wstring> ListItems(HWND main);
    // Sends "Réduire" and waits until the settings reach the registry.
    void Reduce(HWND main);
    std::wstring Setting(const wchar_t* name);
    std::wstring ListFile() const { return folder_ + L"piclist.cfg"; }
    // The list file holding `pictures` (full paths), in the ANSI code page.
    void WriteList(const std::vector<std::wstring>& pictures);
    // Pictures shown as they are, in `mode`, in list order, with neither the
    // calendar nor the desktop-label watch.
    void PlainSettings(const wchar_t* mode);
    // Ends the program by closing its main window (which saves).
    void CloseAndWait(HWND main);

    std::wstring folder_;   // ends with a backslash
    std::wstring exe_;
    std::wstring pictures_; // a folder for generated pictures, ends with a backslash
    Process app_;
};

}  // namespace e2e
