// Where pontiq-cli finds the FileServer for an upgrade, and what it is told of a server that fails.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "cli/cli_args.h"
#include "cli/cli_file_server.h"
#include "cli/cli_runner.h"

namespace pontiq::cli {
namespace {

TEST(CliFileServer, LocatesTheProgramFolderServerOrATestCopy)
{
    const struct {
        const char* override;
        bool found;
        const char* programDir;
        const char* server;
        const char* aux;
    } cases[] = {
        {"", true, "/opt/pontiq/", kFileServerName, kFileServerAuxName},
        {"/tmp/t/program/service/FileServerCli42", true, "/tmp/t/program/", "FileServerCli42",
         "FileServerCli42Aux"},
        {"/tmp/t/program/FileServerCli42", false, "", "", ""},  // not in a service folder
        {"/tmp/t/service/", false, "", "", ""},                 // no name
        {"/tmp/t/service/sub/FileServer", false, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.override);
        const auto location = LocateFileServer("/opt/pontiq/", c.override);
        ASSERT_EQ(location.has_value(), c.found);
        if (!location) continue;
        EXPECT_EQ(location->programDir, c.programDir);
        EXPECT_EQ(location->names.server, c.server);
        EXPECT_EQ(location->names.aux, c.aux);
    }
}

TEST(CliFileServer, HealthNamesThePortProblemWithItsPort)
{
    FileServerStatus status;
    status.state = FileServerState::Failed;
    status.problem = FileServerProblem::PortPermission;
    status.port = 69;
    const FileServerHealth health = FileServerHealthOf(status);
    EXPECT_EQ(health.fault, FileServerFault::PortPermission);
    EXPECT_NE(health.detail.find("(port 69)"), std::string::npos) << health.detail;

    status.state = FileServerState::Serving;
    EXPECT_EQ(FileServerHealthOf(status).fault, FileServerFault::None);
}

// An unreadable firmware file is refused before the engine or the FileServer is started.
TEST(CliUpgrade, UnreadableFileIsBadInputAndStartsNothing)
{
    char pattern[] = "/tmp/pontiq_cli_upgrade_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string folderNamedBin = dir + "/folder.bin";
    std::filesystem::create_directories(folderNamedBin);
    for (const std::string& file : {dir + "/missing.bin", folderNamedBin}) {
        SCOPED_TRACE(file);
        const auto parsed = ParseArguments({"upgrade", file, "00:11:22:33:44:55"});
        ASSERT_TRUE(parsed.command) << parsed.error;
        bool serverMade = false;
        RunEnvironment env;
        env.scratchDir = dir + "/scratch/";
        env.fileServer = [&]() -> std::unique_ptr<FileServerControl> {
            serverMade = true;
            return nullptr;
        };
        const RunResult result = RunCommand(*parsed.command, env);
        EXPECT_EQ(result.exitCode, kExitBadInput);
        EXPECT_NE(result.err.find("The upgrade file cannot be read"), std::string::npos) << result.err;
        EXPECT_FALSE(serverMade);
        EXPECT_FALSE(std::filesystem::exists(dir + "/scratch/")) << "no store was made";
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pontiq::cli
