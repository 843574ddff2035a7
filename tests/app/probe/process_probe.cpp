// A throwaway program for the process-operation tests. Started without parameters, it writes
// "probe-report" into its working folder (working folder, pid, session, parent, open
// descriptors, standard input) and then waits to be ended. Files in the working folder change
// its ways: "probe-ignore-term" makes it ignore SIGTERM, "probe-exit" makes it leave at once.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    if (access("probe-exit", F_OK) == 0) return 3;
    if (access("probe-ignore-term", F_OK) == 0) signal(SIGTERM, SIG_IGN);

    std::string report;
    char cwd[PATH_MAX] = {};
    if (getcwd(cwd, sizeof(cwd))) report += std::string("cwd=") + cwd + "\n";
    report += "pid=" + std::to_string(getpid()) + "\n";
    report += "sid=" + std::to_string(getsid(0)) + "\n";
    report += "ppid=" + std::to_string(getppid()) + "\n";
    report += "fds=";
    if (DIR* dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.' || std::atoi(e->d_name) == own) continue;
            report += std::string(e->d_name) + ",";
        }
        closedir(dir);
    }
    report += "\n";
    char target[PATH_MAX] = {};
    if (readlink("/proc/self/fd/0", target, sizeof(target) - 1) > 0)
        report += std::string("stdin=") + target + "\n";

    // Written under another name and renamed, so that a reader never sees half of it.
    if (FILE* f = std::fopen("probe-report.tmp", "w")) {
        std::fputs(report.c_str(), f);
        std::fclose(f);
        std::rename("probe-report.tmp", "probe-report");
    }
    for (;;) pause();
}
