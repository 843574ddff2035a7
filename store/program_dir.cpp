#include "store/program_dir.h"

#include <unistd.h>

#include <climits>

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

}  // namespace pontiq
