// The program folder's FileServer as the upgrade dialog controls it: CFileServerControl behind
// the dialog's FileServerControl seam, its calls serialised so the dialog's worker may ask too.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "app/file_server_control.h"
#include "ui/maintenance/upgrade_rules.h"

namespace pontiq {

class CFileServerProcess final : public FileServerControl {
public:
    // programDir with a trailing '/'.
    CFileServerProcess(const COperateSystemInfo& system, const COperateFileIni& ini, std::string programDir);
    // With executable names of its own (tests), so that no other FileServer is ended.
    CFileServerProcess(const COperateSystemInfo& system, const COperateFileIni& ini, std::string programDir,
                       CFileServerControl::Names names);

    bool Start(const std::string& folder) override;
    void Stop() override;
    bool IsRunning() override;
    FileServerHealth Health() override;

    // What the dialog is told of a status the FileServer reported.
    static FileServerHealth HealthOf(const FileServerStatus& status);

private:
    std::mutex mutex_;
    CFileServerControl control_;
};

// The application's program folder and process operations; outside the program (tests) the
// executable's folder and operations of its own.
std::unique_ptr<FileServerControl> MakeProgramFileServer();

}  // namespace pontiq
