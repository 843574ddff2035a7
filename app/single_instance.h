// The single-instance lock the window program holds for its life; pontiq-cli takes the same
// lock, so the two never run at once on one machine (they would share the device ports).
#pragma once

#include <string>
#include <string_view>

namespace pontiq {

// Name of the single-instance lock: one running copy per user.
inline constexpr const char* kSingleInstanceName = "Ovela_Pontiq";

// The single-instance lock: a lock file held with flock for the life of the object (the kernel
// drops it when the process ends, however it ends). The descriptor is not inherited by programs
// the utility starts, so a child cannot keep the lock after the utility has gone.
class SingleInstanceLock final {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Result { Acquired, AlreadyRunning, Unavailable };
    // Unavailable: the lock file cannot be opened (the program then runs without the lock).
    Result Acquire(const std::string& directory, std::string_view name = kSingleInstanceName);
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // $XDG_RUNTIME_DIR when it names a directory, else /tmp (then the name gets the user id).
    static std::string RuntimeDirectory();
    static std::string LockFileName(const std::string& directory, std::string_view name);

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace pontiq
