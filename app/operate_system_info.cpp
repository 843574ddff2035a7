#include "app/operate_system_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace pontiq {
namespace {

using Clock = std::chrono::steady_clock;

// The kernel keeps 15 characters of a process name in comm.
constexpr size_t kCommLength = 15;

bool ReadSmallFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Zombies and dead tasks have exited already: they are not running programs.
bool IsLive(pid_t pid)
{
    std::string stat;
    if (!ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", stat)) return false;
    // comm may hold ')' itself: the state follows the last one.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

bool MatchesName(pid_t pid, const std::string& exeName)
{
    const std::string base = "/proc/" + std::to_string(pid);
    char link[PATH_MAX];
    const ssize_t n = readlink((base + "/exe").c_str(), link, sizeof(link) - 1);
    if (n > 0) {
        std::string path(link, static_cast<size_t>(n));
        // A replaced or removed executable still names the running program.
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.size() > kDeleted.size() && path.ends_with(kDeleted))
            path.resize(path.size() - kDeleted.size());
        const size_t slash = path.rfind('/');
        return path.substr(slash == std::string::npos ? 0 : slash + 1) == exeName;
    }
    // Kernel threads have no executable; others' processes may hide it from us: fall back to comm.
    if (errno != EACCES) return false;
    std::string comm;
    if (!ReadSmallFile(base + "/comm", comm)) return false;
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r')) comm.pop_back();
    return comm == exeName.substr(0, kCommLength);
}

int PidfdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// One process being ended. A pidfd pins the process we checked, so a recycled pid number is
// never signalled; without pidfd support the plain pid is used.
struct Target {
    pid_t pid = 0;
    int pidfd = -1;
    bool gone = false;
};

bool Signal(const Target& t, int sig)
{
#ifdef SYS_pidfd_send_signal
    if (t.pidfd >= 0) return syscall(SYS_pidfd_send_signal, t.pidfd, sig, nullptr, 0) == 0;
#endif
    return kill(t.pid, sig) == 0;
}

bool HasExited(const Target& t)
{
    if (t.pidfd >= 0) {
        pollfd p{t.pidfd, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }
    return kill(t.pid, 0) != 0 || !IsLive(t.pid);
}

// Waits until every target has exited or the time is up; marks those that exited.
void WaitForExit(std::vector<Target>& targets, std::chrono::milliseconds limit)
{
    const auto end = Clock::now() + limit;
    for (;;) {
        bool all = true;
        for (Target& t : targets) {
            if (!t.gone && HasExited(t)) t.gone = true;
            all = all && t.gone;
        }
        if (all || Clock::now() >= end) return;
        std::vector<pollfd> fds;
        for (const Target& t : targets)
            if (!t.gone && t.pidfd >= 0) fds.push_back({t.pidfd, POLLIN, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        int64_t wait = left.count() + 1;
        // A process without a pidfd is looked at again every 10 ms.
        for (const Target& t : targets)
            if (!t.gone && t.pidfd < 0) wait = std::min<int64_t>(wait, 10);
        if (fds.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        } else {
            poll(fds.data(), fds.size(), static_cast<int>(wait));
        }
    }
}

// Lets the started program keep CAP_NET_BIND_SERVICE (it binds the TFTP port) when this process
// has it as a file capability; root keeps it across exec anyway. Best effort, in the child.
void PassOnBindCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0) return;
    constexpr unsigned kBit = 1u << CAP_NET_BIND_SERVICE;
    if (!(data[0].permitted & kBit)) return;
    data[0].inheritable |= kBit;
    if (syscall(SYS_capset, &header, data) != 0) return;
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_BIND_SERVICE, 0, 0);
}

[[noreturn]] void ChildFail(int reportFd)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t n = write(reportFd, &error, sizeof(error));
    _exit(127);
}

}  // namespace

std::vector<pid_t> COperateSystemInfo::ListProcesses(const std::string& exeName)
{
    std::vector<pid_t> pids;
    if (exeName.empty() || exeName.find('/') != std::string::npos) return pids;
    DIR* proc = opendir("/proc");
    if (!proc) return pids;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        if (MatchesName(static_cast<pid_t>(pid), exeName) && IsLive(static_cast<pid_t>(pid)))
            pids.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return pids;
}

bool COperateSystemInfo::FindProcess(const std::string& exeName) const
{
    return !ListProcesses(exeName).empty();
}

int COperateSystemInfo::EndProcesses(const std::string& exeName) const
{
    int ended = 0;
    const pid_t self = getpid();
    for (int round = 0; round < timings_.maxRounds; ++round) {
        std::vector<Target> targets;
        for (pid_t pid : ListProcesses(exeName)) {
            if (pid == self) continue;
            Target t{pid, PidfdOpen(pid)};
            if (t.pidfd < 0 && errno == ESRCH) continue;  // gone in the meantime
            // The pid may have been reused between the listing and the pidfd: look again.
            if (!MatchesName(pid, exeName)) {
                if (t.pidfd >= 0) close(t.pidfd);
                continue;
            }
            targets.push_back(t);
        }
        if (targets.empty()) break;

        for (Target& t : targets)
            if (!Signal(t, SIGTERM) && errno == ESRCH) t.gone = true;
        WaitForExit(targets, timings_.termGrace);
        for (Target& t : targets)
            if (!t.gone) Signal(t, SIGKILL);
        WaitForExit(targets, timings_.killGrace);

        for (Target& t : targets) {
            if (t.gone) ++ended;
            if (t.pidfd >= 0) close(t.pidfd);
        }
    }
    return ended;
}

bool COperateSystemInfo::RunProgram(const std::string& path, const std::string& workDir) const
{
    if (path.empty()) return false;
    // Everything the children need is made before fork: only async-signal-safe calls after it.
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;

    const pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        // The middle child starts a session and leaves at once, so the program is nobody's
        // child here and never becomes our zombie.
        close(report[0]);
        if (setsid() < 0) ChildFail(report[1]);
        const pid_t program = fork();
        if (program < 0) ChildFail(report[1]);
        if (program > 0) _exit(0);

        if (!workDir.empty() && chdir(workDir.c_str()) != 0) ChildFail(report[1]);
        const int null = open("/dev/null", O_RDWR);
        if (null < 0) ChildFail(report[1]);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        // Every other descriptor but the report pipe (close-on-exec) goes.
        const int keep = report[1];
        if (keep > 3) syscall(SYS_close_range, 3u, static_cast<unsigned>(keep - 1), 0u);
        if (keep >= 3)
            syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0u, 0u);
        else
            syscall(SYS_close_range, 3u, ~0u, 0u);

        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaultAction, nullptr);
        PassOnBindCapability();
        execv(path.c_str(), argv);
        ChildFail(report[1]);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on a successful exec; an error number arrives otherwise.
    int childError = 0;
    ssize_t n;
    do {
        n = read(report[0], &childError, sizeof(childError));
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace pontiq
