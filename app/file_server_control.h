// Starting, stopping and watching the FileServer program in the program folder's "service"
// folder, which serves a firmware folder to the devices by TFTP for the time of an upgrade.
//
// The FileServer says how it is doing in "FileServer.status" beside its INI file, section
// "STATUS": State = serving | failed | stopped, Problem (when failed), Port, Pid, Detail.
#pragma once

#include <string>

#include "app/file_server_status.h"
#include "app/ini_file.h"
#include "app/operate_system_info.h"

namespace pontiq {

inline constexpr const char* kFileServerName = "FileServer";
// The auxiliary process the stop rule also ends; our FileServer never runs one.
inline constexpr const char* kFileServerAuxName = "tftpd32_svc_ov";
inline constexpr const char* kFileServerIniName = "FileServer.ini";
inline constexpr const char* kFileServerSection = "SERVER";
inline constexpr const char* kFileServerDirectoryKey = "Directory";

enum class FileServerState {
    Stopped,   // not running, nothing went wrong
    Starting,  // running, not yet serving
    Serving,   // bound to its port and serving the folder
    Failed,    // could not start or could not serve; see the problem
};

struct FileServerStatus {
    FileServerState state = FileServerState::Stopped;
    FileServerProblem problem = FileServerProblem::None;
    int port = 0;        // the port it serves or tried to bind, 0 when unknown
    std::string detail;  // the FileServer's own words, for diagnostics
};

// Start, Stop and Query belong to one thread (the window's); IsRunning may be called from any.
class CFileServerControl final {
public:
    // Executable names; tests use names of their own so that no real FileServer is touched.
    struct Names {
        std::string server = kFileServerName;
        std::string aux = kFileServerAuxName;
    };

    // programDir with a trailing '/'.
    CFileServerControl(const COperateSystemInfo& system, const COperateFileIni& ini, std::string programDir);
    CFileServerControl(const COperateSystemInfo& system, const COperateFileIni& ini, std::string programDir,
                       Names names);
    CFileServerControl(const CFileServerControl&) = delete;
    CFileServerControl& operator=(const CFileServerControl&) = delete;

    // Ends every running FileServer, writes section "SERVER" key "Directory" = folder into
    // FileServer.ini, runs the FileServer with the service folder as working folder; does not
    // wait for it. False when the INI cannot be written (the server is then not started: it
    // would serve another folder) or the program cannot be run; Query() says which.
    bool Start(const std::string& folder);
    // Ends every auxiliary process, then every FileServer.
    void Stop();

    bool IsRunning() const;
    FileServerStatus Query() const;

    std::string ServiceDir() const { return programDir_ + "service/"; }
    std::string ExePath() const { return ServiceDir() + names_.server; }
    std::string IniPath() const { return ServiceDir() + kFileServerIniName; }
    std::string StatusPath() const { return ServiceDir() + kFileServerStatusName; }

private:
    const COperateSystemInfo& system_;
    const COperateFileIni& ini_;
    std::string programDir_;
    Names names_;
    bool started_ = false;
    FileServerProblem startProblem_ = FileServerProblem::None;
};

}  // namespace pontiq
