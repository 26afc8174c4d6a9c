#pragma once
// The files, drives and program starts of "Corriger" on Windows.
#include <windows.h>

#include "core/mendrel/mendrel_actions.h"

namespace mendrel {

class WindowsRepairEnvironment : public orvane::RepairEnvironment {
public:
    // The hidden lists of the window that show the visited folder and its
    // files (either may be null).
    WindowsRepairEnvironment(HWND dirList = nullptr, HWND fileList = nullptr)
        : dirList_(dirList), fileList_(fileList) {}

    std::vector<std::string> ListFiles(const std::string& folder) override;
    std::string ReadFileText(const std::string& path) override;
    std::string LogicalDriveStrings() override;
    bool IsFixedDrive(const std::string& root) override;
    std::optional<std::string> SearchTree(const std::string& root, const std::string& fileName) override;
    void StartMinimized(const std::string& commandLine) override;
    void AnnounceTaskbarCreated() override;

    // Files larger than this are refused instead of read whole.
    static constexpr unsigned long long kMaxFileBytes = 64ull << 20;

private:
    HWND dirList_;
    HWND fileList_;
};

}  // namespace mendrel
