#include "ui/maintenance/file_server_process.h"

#include "app/application_app.h"
#include "store/program_dir.h"

namespace pontiq {

CFileServerProcess::CFileServerProcess(const COperateSystemInfo& system, const COperateFileIni& ini,
                                       std::string programDir)
    : control_(system, ini, std::move(programDir))
{
}

CFileServerProcess::CFileServerProcess(const COperateSystemInfo& system, const COperateFileIni& ini,
                                       std::string programDir, CFileServerControl::Names names)
    : control_(system, ini, std::move(programDir), std::move(names))
{
}

bool CFileServerProcess::Start(const std::string& folder)
{
    std::lock_guard lock(mutex_);
    return control_.Start(folder);
}

void CFileServerProcess::Stop()
{
    std::lock_guard lock(mutex_);
    control_.Stop();
}

bool CFileServerProcess::IsRunning()
{
    return control_.IsRunning();
}

FileServerHealth CFileServerProcess::Health()
{
    std::lock_guard lock(mutex_);
    return HealthOf(control_.Query());
}

FileServerHealth CFileServerProcess::HealthOf(const FileServerStatus& status)
{
    return FileServerHealthOf(status);
}

std::unique_ptr<FileServerControl> MakeProgramFileServer()
{
    if (CApplicationApp* app = CApplicationApp::InstancePointer(); app && !app->programDir().empty()) {
        return std::make_unique<CFileServerProcess>(app->systemInfo(), app->iniFile(), app->programDir());
    }
    static const COperateSystemInfo system;
    static const COperateFileIni ini;
    return std::make_unique<CFileServerProcess>(system, ini, ProgramDir());
}

}  // namespace pontiq
