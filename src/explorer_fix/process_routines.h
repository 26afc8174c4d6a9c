#pragma once
// The utility's process routines over the system's process list (platform,
// snapshot, termination and the wait for the ended copies to exit) and the
// start of a program minimised.
#include <cstdint>
#include <string>
#include <vector>

#include "core/mendrel/mendrel_rules.h"
#include "win32/handles.h"

namespace mendrel {

// The operating system's own process list. It keeps a handle to every process
// it terminates until WaitForEnded, so the wait is on that very process even
// if its identifier is handed to a new one meanwhile.
class SystemProcessList : public orvane::ProcessList {
public:
    // 1 on the Windows 95/98/Me family, 2 on the NT family (as the version
    // query answers, which Wine's per-program Windows version changes).
    std::uint32_t PlatformId() override;
    std::uint32_t CurrentProcessId() override;
    bool Snapshot(std::vector<orvane::ProcessEntry>& out) override;
    bool Terminate(std::uint32_t id) override;
    bool WaitForEnded(std::uint32_t timeoutMs) override;

private:
    std::vector<win::Handle> ended_;
};

// Starts the command line unchanged, its main window minimised and active;
// the program is searched as CreateProcess does. Throws MendrelError.
void StartMinimized(const std::string& commandLine);

}  // namespace mendrel
