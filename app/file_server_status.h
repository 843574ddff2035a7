// The words of "FileServer.status", which the FileServer writes and the utility reads.
#pragma once

#include <string_view>

namespace pontiq {

inline constexpr const char* kFileServerStatusName = "FileServer.status";
inline constexpr const char* kFileServerStatusSection = "STATUS";

enum class FileServerProblem {
    None,
    ConfigWrite,     // FileServer.ini could not be written
    StartFailed,     // the program could not be run (missing, not executable)
    PortPermission,  // binding the port needs root or cap_net_bind_service
    PortInUse,       // another program holds the port
    Folder,          // the firmware folder is missing or unreadable
    Exited,          // the program ended without saying why
    Other,
};

struct FileServerProblemWordEntry {
    FileServerProblem problem;
    const char* word;
};

inline constexpr FileServerProblemWordEntry kFileServerProblemWords[] = {
    {FileServerProblem::None, ""},
    {FileServerProblem::ConfigWrite, "config-write"},
    {FileServerProblem::StartFailed, "start-failed"},
    {FileServerProblem::PortPermission, "port-permission"},
    {FileServerProblem::PortInUse, "port-in-use"},
    {FileServerProblem::Folder, "folder"},
    {FileServerProblem::Exited, "exited"},
    {FileServerProblem::Other, "other"},
};

inline const char* FileServerProblemWord(FileServerProblem problem)
{
    for (const auto& p : kFileServerProblemWords)
        if (p.problem == problem) return p.word;
    return "other";
}

// Unknown or missing words read as Other.
inline FileServerProblem FileServerProblemFromWord(std::string_view word)
{
    if (word.empty()) return FileServerProblem::Other;
    for (const auto& p : kFileServerProblemWords)
        if (word == p.word) return p.problem;
    return FileServerProblem::Other;
}

}  // namespace pontiq
