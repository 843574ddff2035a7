#include "app/file_server_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/app/process_test_support.h"

namespace pontiq::test {
namespace {

using namespace std::chrono_literals;

// A program folder whose service/ holds the probe under a FileServer name of this test's own.
class FileServerControlTest : public ::testing::Test {
protected:
    FileServerControlTest()
        : names_{UniqueProbeName("PqFs"), UniqueProbeName("PqAux")},
          cleanup_({names_.server, names_.aux}),
          system_(COperateSystemInfo::EndTimings{200ms, 1000ms, 3}),
          control_(system_, ini_, dir_.Dir(), names_)
    {
        dir_.Write("service/FileServer.ini", "[SERVER]\r\nDirectory=/old\r\nPort=6969\r\n");
    }

    void InstallServer() { InstallProbe(dir_, "service/" + names_.server); }
    void WriteStatus(const std::string& body)
    {
        dir_.Write("service/FileServer.status", "[STATUS]\n" + body);
    }
    std::string ServerPid()
    {
        const auto pids = COperateSystemInfo::ListProcesses(names_.server);
        return pids.size() == 1 ? std::to_string(pids[0]) : std::string();
    }

    TempDir dir_;
    CFileServerControl::Names names_;
    ProbeCleanup cleanup_;
    COperateFileIni ini_;
    COperateSystemInfo system_;
    CFileServerControl control_;
};

TEST_F(FileServerControlTest, StartWritesTheFolderAndRunsTheServerInTheServiceFolder)
{
    InstallServer();
    ASSERT_TRUE(control_.Start("/srv/firmware v2"));
    EXPECT_EQ(ReadBytes(dir_.File("service/FileServer.ini")),
              "[SERVER]\r\nDirectory=/srv/firmware v2\r\nPort=6969\r\n");
    const auto report = WaitForReport(dir_.File("service"));
    EXPECT_EQ(report.at("cwd"), std::filesystem::canonical(dir_.File("service")).string());
    EXPECT_TRUE(control_.IsRunning());
    EXPECT_EQ(control_.Query().state, FileServerState::Starting);

    WriteStatus("State=serving\nPort=69\nPid=" + ServerPid() + "\n");
    EXPECT_EQ(control_.Query().state, FileServerState::Serving);
    EXPECT_EQ(control_.Query().port, 69);

    control_.Stop();
    EXPECT_FALSE(control_.IsRunning());
    EXPECT_EQ(control_.Query().state, FileServerState::Stopped);
}

TEST_F(FileServerControlTest, StartEndsAnEarlierServerAndForgetsItsWord)
{
    InstallServer();
    ASSERT_TRUE(system_.RunProgram(control_.ExePath(), control_.ServiceDir()));
    ASSERT_FALSE(WaitForReport(dir_.File("service")).empty());
    const std::string earlier = ServerPid();
    WriteStatus("State=failed\nProblem=port-in-use\nPort=69\n");
    std::filesystem::remove(dir_.File("service/probe-report"));

    ASSERT_TRUE(control_.Start("/fw"));
    ASSERT_FALSE(WaitForReport(dir_.File("service")).empty());
    const std::string now = ServerPid();
    EXPECT_FALSE(now.empty()) << "exactly one server runs";
    EXPECT_NE(now, earlier);
    EXPECT_EQ(control_.Query().state, FileServerState::Starting);
}

TEST_F(FileServerControlTest, QueryReadsTheServersReasonForFailing)
{
    InstallServer();
    struct Case {
        const char* status;
        FileServerState state;
        FileServerProblem problem;
        int port;
    } cases[] = {
        {"State=failed\nProblem=port-permission\nPort=69\nDetail=bind: Permission denied\n",
         FileServerState::Failed, FileServerProblem::PortPermission, 69},
        {"State=failed\nProblem=port-in-use\nPort=6969\n", FileServerState::Failed,
         FileServerProblem::PortInUse, 6969},
        {"State=failed\nProblem=folder\n", FileServerState::Failed, FileServerProblem::Folder, 0},
        {"State=failed\nProblem=who-knows\n", FileServerState::Failed, FileServerProblem::Other, 0},
        {"State=failed\n", FileServerState::Failed, FileServerProblem::Other, 0},
        // It says it serves, but it is another process (a stale pid): gone.
        {"State=serving\nPort=69\nPid=1\n", FileServerState::Failed, FileServerProblem::Exited, 69},
        {"State=stopped\nPort=69\n", FileServerState::Stopped, FileServerProblem::None, 69},
    };
    // The probe never writes a status: the test writes what a FileServer would.
    ASSERT_TRUE(control_.Start("/fw"));
    ASSERT_FALSE(WaitForReport(dir_.File("service")).empty());
    for (const Case& c : cases) {
        WriteStatus(c.status);
        const FileServerStatus status = control_.Query();
        EXPECT_EQ(status.state, c.state) << c.status;
        EXPECT_EQ(status.problem, c.problem) << c.status;
        EXPECT_EQ(status.port, c.port) << c.status;
    }
    WriteStatus("State=failed\nProblem=port-permission\nPort=69\nDetail=bind: Permission denied\n");
    EXPECT_EQ(control_.Query().detail, "bind: Permission denied");
}

TEST_F(FileServerControlTest, AServerThatEndsWithoutAWordHasFailed)
{
    InstallServer();
    dir_.Write("service/probe-exit", "");
    ASSERT_TRUE(control_.Start("/fw"));
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (control_.IsRunning() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
    const FileServerStatus status = control_.Query();
    EXPECT_EQ(status.state, FileServerState::Failed);
    EXPECT_EQ(status.problem, FileServerProblem::Exited);
}

TEST_F(FileServerControlTest, StartFailuresAreReportedAndRunNothing)
{
    // No program in the service folder: the INI is still written first.
    EXPECT_FALSE(control_.Start("/fw"));
    EXPECT_EQ(control_.Query().state, FileServerState::Failed);
    EXPECT_EQ(control_.Query().problem, FileServerProblem::StartFailed);
    EXPECT_NE(ReadBytes(dir_.File("service/FileServer.ini")).find("Directory=/fw\r\n"), std::string::npos);

    // A folder name that cannot be one INI line would leave the server on another folder.
    InstallServer();
    EXPECT_FALSE(control_.Start("/fw\nPort=1"));
    EXPECT_EQ(control_.Query().problem, FileServerProblem::ConfigWrite);
    EXPECT_FALSE(control_.IsRunning());
}

TEST_F(FileServerControlTest, StopEndsTheAuxiliaryProcessAndTheServer)
{
    InstallServer();
    const std::string aux = InstallProbe(dir_, "aux/" + names_.aux);
    ASSERT_TRUE(system_.RunProgram(aux, dir_.File("aux")));
    ASSERT_TRUE(control_.Start("/fw"));
    ASSERT_FALSE(WaitForReport(dir_.File("aux")).empty());
    ASSERT_FALSE(WaitForReport(dir_.File("service")).empty());

    control_.Stop();
    EXPECT_FALSE(system_.FindProcess(names_.aux));
    EXPECT_FALSE(system_.FindProcess(names_.server));
}

TEST(FileServerProblemWords, RoundTrip)
{
    for (FileServerProblem p :
         {FileServerProblem::ConfigWrite, FileServerProblem::StartFailed, FileServerProblem::PortPermission,
          FileServerProblem::PortInUse, FileServerProblem::Folder, FileServerProblem::Exited,
          FileServerProblem::Other})
        EXPECT_EQ(FileServerProblemFromWord(FileServerProblemWord(p)), p);
}

}  // namespace
}  // namespace pontiq::test
