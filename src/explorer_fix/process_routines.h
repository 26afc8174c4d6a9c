#pragma once
// The utility's process routines over the system's process list (platform,
// snapshot, termination) and the start of a program minimised.
#include <cstdint>
#include <string>
#include <vector>

#include "core/mendrel_rules.h"

namespace mendrel {

// The operating system's own process list.
class SystemProcessList : public orvane::ProcessList {
public:
    // 1 on the Windows 95/98/Me family, 2 on the NT family (as the version
    // query answers, which Wine's per-program Windows version changes).
    std::uint32_t PlatformId() override;
    std::uint32_t CurrentProcessId() override;
    bool Snapshot(std::vector<orvane::ProcessEntry>& out) override;
    bool Terminate(std::uint32_t id) override;
};

// Starts the command line unchanged, its main window minimised and active;
// the program is searched as CreateProcess does. Throws MendrelError.
void StartMinimized(const std::string& commandLine);

}  // namespace mendrel
