#include "app/file_server_control.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace pontiq {
namespace {

int ToInt(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || value < 0 || value > 0x7FFFFFFF) return 0;
    return static_cast<int>(value);
}

}  // namespace

CFileServerControl::CFileServerControl(const COperateSystemInfo& system, const COperateFileIni& ini,
                                       std::string programDir)
    : CFileServerControl(system, ini, std::move(programDir), Names{})
{
}

CFileServerControl::CFileServerControl(const COperateSystemInfo& system, const COperateFileIni& ini,
                                       std::string programDir, Names names)
    : system_(system), ini_(ini), programDir_(std::move(programDir)), names_(std::move(names))
{
}

bool CFileServerControl::Start(const std::string& folder)
{
    system_.EndProcesses(names_.server);
    // A word left by an earlier run must not be taken for this one's.
    unlink(StatusPath().c_str());
    started_ = false;
    startProblem_ = FileServerProblem::None;
    if (!ini_.WriteString(IniPath(), kFileServerSection, kFileServerDirectoryKey, folder)) {
        startProblem_ = FileServerProblem::ConfigWrite;
        return false;
    }
    if (!system_.RunProgram(ExePath(), ServiceDir())) {
        startProblem_ = FileServerProblem::StartFailed;
        return false;
    }
    started_ = true;
    return true;
}

void CFileServerControl::Stop()
{
    system_.EndProcesses(names_.aux);
    system_.EndProcesses(names_.server);
    started_ = false;
}

bool CFileServerControl::IsRunning() const
{
    return system_.FindProcess(names_.server);
}

FileServerStatus CFileServerControl::Query() const
{
    FileServerStatus status;
    if (startProblem_ != FileServerProblem::None) {
        status.state = FileServerState::Failed;
        status.problem = startProblem_;
        return status;
    }

    const std::vector<pid_t> running = COperateSystemInfo::ListProcesses(names_.server);
    const IniFile file = IniFile::Load(StatusPath());
    const std::string state = file.GetString(kFileServerStatusSection, "State", "");
    status.port = ToInt(file.GetString(kFileServerStatusSection, "Port", "0"));
    status.detail = file.GetString(kFileServerStatusSection, "Detail", "", kIniLongBuffer);

    if (state == "failed") {
        status.state = FileServerState::Failed;
        status.problem = FileServerProblemFromWord(file.GetString(kFileServerStatusSection, "Problem", ""));
        return status;
    }
    if (state == "serving") {
        const pid_t pid = ToInt(file.GetString(kFileServerStatusSection, "Pid", "0"));
        if (std::find(running.begin(), running.end(), pid) != running.end()) {
            status.state = FileServerState::Serving;
            return status;
        }
    }
    if (state.empty() && !running.empty()) {
        status.state = FileServerState::Starting;
        return status;
    }
    // Stopped by its own word, or gone: after our start, going silently is a failure.
    if (started_ && state != "stopped") {
        status.state = FileServerState::Failed;
        status.problem = FileServerProblem::Exited;
    }
    return status;
}

}  // namespace pontiq
