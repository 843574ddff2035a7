#include "cli/cli_file_server.h"

#include <utility>

namespace pontiq::cli {

std::optional<FileServerLocation> LocateFileServer(const std::string& programDir, std::string_view override)
{
    FileServerLocation location;
    if (override.empty()) {
        location.programDir = programDir;
        return location;
    }
    constexpr std::string_view kService = "/service/";
    const size_t at = override.rfind(kService);
    if (at == std::string_view::npos || at + kService.size() >= override.size() ||
        override.find('/', at + kService.size()) != std::string_view::npos) {
        return std::nullopt;
    }
    location.programDir = std::string(override.substr(0, at + 1));
    location.names.server = std::string(override.substr(at + kService.size()));
    location.names.aux = location.names.server + "Aux";
    return location;
}

CCliFileServer::CCliFileServer(FileServerLocation location)
    : control_(system_, ini_, std::move(location.programDir), std::move(location.names))
{
}

bool CCliFileServer::Start(const std::string& folder)
{
    return control_.Start(folder);
}

void CCliFileServer::Stop()
{
    control_.Stop();
}

bool CCliFileServer::IsRunning()
{
    return control_.IsRunning();
}

FileServerHealth CCliFileServer::Health()
{
    return FileServerHealthOf(control_.Query());
}

}  // namespace pontiq::cli
