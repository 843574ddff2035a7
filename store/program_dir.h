// Where the program keeps its files: the directory of the running executable.
#pragma once

#include <sys/types.h>

#include <string>

namespace pontiq {

// Directory of /proc/self/exe with a trailing '/'; empty when it cannot be read.
std::string ProgramDir();

// Directory for the scratch database data.mdb, with a trailing '/': the program directory when
// this user may write there; otherwise (an installed, read-only program folder) a private
// per-user folder, "pontiq/" in $XDG_RUNTIME_DIR, else "/tmp/pontiq-<uid>/", created with mode
// 0700. A folder that exists but is not ours alone (another owner, a symlink, group or other
// access) is never used. Empty when no usable folder exists.
std::string ScratchDir();
// The same choice with its inputs given (tests).
std::string ScratchDir(const std::string& programDir, const char* runtimeDir, uid_t uid);

}  // namespace pontiq
