#include "store/program_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pontiq {

std::string ProgramDir()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return {};
    std::string dir(path, static_cast<size_t>(n));
    const size_t slash = dir.rfind('/');
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

namespace {

// `dir` (no trailing '/') exists or is made as a private folder of `uid`.
bool PrivateFolder(const std::string& dir, uid_t uid)
{
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st = {};
    if (lstat(dir.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

}  // namespace

std::string ScratchDir(const std::string& programDir, const char* runtimeDir, uid_t uid)
{
    if (!programDir.empty() && access(programDir.c_str(), W_OK | X_OK) == 0) return programDir;
    std::string base;
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        base = std::string(runtimeDir);
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        const std::string dir = base + "/pontiq";
        if (PrivateFolder(dir, uid)) return dir + "/";
    }
    const std::string dir = "/tmp/pontiq-" + std::to_string(uid);
    return PrivateFolder(dir, uid) ? dir + "/" : std::string();
}

std::string ScratchDir()
{
    return ScratchDir(ProgramDir(), std::getenv("XDG_RUNTIME_DIR"), geteuid());
}

}  // namespace pontiq
