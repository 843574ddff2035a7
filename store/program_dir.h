// Where the program keeps its files: the directory of the running executable.
#pragma once

#include <string>

namespace pontiq {

// Directory of /proc/self/exe with a trailing '/'; empty when it cannot be read.
std::string ProgramDir();

}  // namespace pontiq
