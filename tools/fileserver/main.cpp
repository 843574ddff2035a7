// FileServer: serves the folder named in FileServer.ini (section "SERVER", key "Directory") by
// TFTP, read-only, until SIGTERM or SIGINT. It reads the FileServer.ini beside its executable,
// or the one given with --config, and tells how it is doing in FileServer.status beside that.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/file_server_status.h"
#include "app/ini_file.h"
#include "tools/fileserver/file_server.h"

namespace {

using pontiq::FileServerProblem;

std::string ExecutableFolder()
{
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string text(path, n > 0 ? static_cast<size_t>(n) : 0);
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string("./") : text.substr(0, slash + 1);
}

// Written whole under another name and renamed, so that a reader never sees half of it.
void WriteStatus(const std::string& path, std::string_view state, FileServerProblem problem, int port,
                 const std::string& detail)
{
    std::string text = "[STATUS]\nState=" + std::string(state) + "\n";
    if (problem != FileServerProblem::None)
        text += "Problem=" + std::string(pontiq::FileServerProblemWord(problem)) + "\n";
    text += "Port=" + std::to_string(port) + "\nPid=" + std::to_string(getpid()) + "\n";
    std::string oneLine = detail;
    for (char& c : oneLine)
        if (c == '\n' || c == '\r') c = ' ';
    if (!oneLine.empty()) text += "Detail=" + oneLine + "\n";
    const std::string temp = path + ".tmp";
    if (FILE* f = std::fopen(temp.c_str(), "w")) {
        const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (std::fclose(f) == 0 && ok) std::rename(temp.c_str(), path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string iniPath = ExecutableFolder() + "FileServer.ini";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            iniPath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--config FileServer.ini]\n", argv[0]);
            return 64;
        }
    }
    const size_t slash = iniPath.rfind('/');
    const std::string statusPath =
        (slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1)) +
        pontiq::kFileServerStatusName;

    // The stop signals are read from a descriptor in the loop, not handled asynchronously.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGHUP);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    const int stopFd = signalfd(-1, &stop, SFD_CLOEXEC);

    const pontiq::fileserver::ServerConfig config = pontiq::fileserver::LoadConfig(iniPath);
    pontiq::fileserver::FileServer server(config);
    FileServerProblem problem = FileServerProblem::None;
    std::string detail;
    if (stopFd < 0 || !server.Open(problem, detail)) {
        if (stopFd < 0) {
            problem = FileServerProblem::Other;
            detail = std::string("signalfd: ") + std::strerror(errno);
        }
        WriteStatus(statusPath, "failed", problem, config.port, detail);
        std::fprintf(stderr, "FileServer: %s\n", detail.c_str());
        return 2;
    }
    WriteStatus(statusPath, "serving", FileServerProblem::None, server.Port(), config.directory);
    server.Run(stopFd);
    WriteStatus(statusPath, "stopped", FileServerProblem::None, server.Port(), "");
    return 0;
}
