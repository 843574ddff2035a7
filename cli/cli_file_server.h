// The FileServer as pontiq-cli runs it for an upgrade: the program folder's service/FileServer, or
// (for tests) an executable named by PONTIQ_CLI_FILESERVER, a copy under a name of its own so that
// no other FileServer is ended.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/file_server_control.h"
#include "ui/maintenance/upgrade_rules.h"

namespace pontiq::cli {

inline constexpr const char* kFileServerOverrideVariable = "PONTIQ_CLI_FILESERVER";

struct FileServerLocation {
    std::string programDir;  // with a trailing '/'; the server is programDir + "service/" + names.server
    CFileServerControl::Names names;
};

// `override` empty: the program folder's FileServer. Otherwise the path of an executable inside a
// folder named "service"; its auxiliary process name is derived from its own, so the stop rule
// ends nothing else. nullopt when the override is not inside a "service" folder.
std::optional<FileServerLocation> LocateFileServer(const std::string& programDir, std::string_view override);

class CCliFileServer final : public FileServerControl {
public:
    explicit CCliFileServer(FileServerLocation location);

    bool Start(const std::string& folder) override;
    void Stop() override;
    bool IsRunning() override;
    FileServerHealth Health() override;

private:
    COperateSystemInfo system_;
    COperateFileIni ini_;
    CFileServerControl control_;
};

}  // namespace pontiq::cli
