#pragma once
// The process routines of the utility over the system's process list:
// platform, running test, ending, and the start of a program minimised.
#include <cstdint>
#include <string>
#include <vector>

#include "core/mendrel_rules.h"

namespace mendrel {

// The operating system's own process list.
class SystemProcessList : public orvane::ProcessList {
public:
    std::uint32_t PlatformId() override;
    std::uint32_t CurrentProcessId() override;
    bool Snapshot(std::vector<orvane::ProcessEntry>& out) override;
    bool Terminate(std::uint32_t id) override;
};

// 1 on the Windows 95/98/Me family, 2 on the NT family.
std::uint32_t PlatformId();
// The routines of the module over the system's list; they never throw.
bool IsProgramRunning(const std::string& text);
bool EndProgram(const std::string& text);

// Starts the command line unchanged, its main window minimised and active;
// the program is searched as CreateProcess does. Throws MendrelError.
void StartMinimized(const std::string& commandLine);

}  // namespace mendrel
