#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace pontiq {

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the lock
}

std::string SingleInstanceLock::RuntimeDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) return runtime;
    }
    return "/tmp";
}

std::string SingleInstanceLock::LockFileName(const std::string& directory, std::string_view name)
{
    std::string path = directory;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    // /tmp is shared by every user; the runtime directory is the user's own.
    if (directory == "/tmp" || directory == "/tmp/") path += "-" + std::to_string(::getuid());
    return path;
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& directory, std::string_view name)
{
    if (fd_ >= 0) return Result::Acquired;
    path_ = LockFileName(directory, name);
    // O_NOFOLLOW: a planted link must not make us create or lock some other file.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0) return Result::Unavailable;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Result::AlreadyRunning : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

}  // namespace pontiq
