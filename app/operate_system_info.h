// Process operations: start a program detached, find and end processes by executable name.
// Linux: processes are read from /proc; names are compared exactly (case-sensitive), without a
// folder, as the executable's file name.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace pontiq {

// Holds no state but its timings: every operation may be called from any thread.
class COperateSystemInfo final {
public:
    // How long EndProcesses waits; the defaults suit a program that exits promptly on SIGTERM.
    struct EndTimings {
        std::chrono::milliseconds termGrace{1000};  // after SIGTERM, before SIGKILL
        std::chrono::milliseconds killGrace{500};   // after SIGKILL, before giving up on a process
        int maxRounds = 3;                          // find-and-end passes
    };

    COperateSystemInfo() = default;
    explicit COperateSystemInfo(EndTimings timings) : timings_(timings) {}
    COperateSystemInfo(const COperateSystemInfo&) = delete;
    COperateSystemInfo& operator=(const COperateSystemInfo&) = delete;

    // Starts path detached: a session of its own, no parameters, working folder workDir, standard
    // streams on /dev/null, no descriptor of ours inherited. Never waits for the program; true
    // once it has been executed (false when it cannot be: missing, not executable, bad folder).
    // A CAP_NET_BIND_SERVICE this process holds is passed on to the program (ambient).
    bool RunProgram(const std::string& path, const std::string& workDir) const;

    // True when a live process (not a zombie) runs an executable of exactly this file name.
    bool FindProcess(const std::string& exeName) const;

    // Ends every process of this executable name: SIGTERM, then SIGKILL for those that stay,
    // repeated until none is found or maxRounds passes are spent. Never ends the calling process.
    // Returns the number of processes that went away.
    int EndProcesses(const std::string& exeName) const;

    // The live processes of this executable name, in /proc order.
    static std::vector<pid_t> ListProcesses(const std::string& exeName);

private:
    EndTimings timings_{};
};

}  // namespace pontiq
