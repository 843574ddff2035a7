// The utility's control of the real FileServer program: start, serving, fetch, stop.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/file_server_control.h"
#include "tests/app/temp_dir.h"

namespace pontiq::test {
namespace {

using namespace std::chrono_literals;

FileServerStatus WaitWhileStarting(const CFileServerControl& control)
{
    const auto end = std::chrono::steady_clock::now() + 30s;
    FileServerStatus status = control.Query();
    while (status.state == FileServerState::Starting && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(5ms);
        status = control.Query();
    }
    return status;
}

TEST(FileServerControlProgram, StartsServesAndStopsTheRealServer)
{
    TempDir dir;
    // Under a name of this test's own, so that no other FileServer on the machine is ended.
    CFileServerControl::Names names{"PqFileSrv" + std::to_string(getpid()),
                                    "PqFileAux" + std::to_string(getpid())};
    std::filesystem::create_directories(dir.File("service"));
    std::filesystem::copy_file(PONTIQ_FILESERVER, dir.File("service/" + names.server));
    dir.Write("service/FileServer.ini", "[SERVER]\nDirectory=\nAddress=127.0.0.1\nPort=0\n");
    dir.Write("firmware/fw.bin", "firmware");

    const COperateSystemInfo system;
    const COperateFileIni ini;
    CFileServerControl control(system, ini, dir.Dir(), names);
    ASSERT_TRUE(control.Start(dir.File("firmware")));
    const FileServerStatus serving = WaitWhileStarting(control);
    EXPECT_EQ(serving.state, FileServerState::Serving);
    EXPECT_NE(serving.port, 0);
    EXPECT_EQ(serving.detail, dir.File("firmware"));

    control.Stop();
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(control.Query().state, FileServerState::Stopped);

    // A folder that is gone by the time the server starts: it says so.
    ASSERT_TRUE(control.Start(dir.File("gone")));
    const FileServerStatus failed = WaitWhileStarting(control);
    EXPECT_EQ(failed.state, FileServerState::Failed);
    EXPECT_EQ(failed.problem, FileServerProblem::Folder);
    control.Stop();
}

// In a child of its own network namespace, as an unprivileged user that holds only
// CAP_NET_BIND_SERVICE (as a utility with that file capability would) or nothing: starts the
// FileServer on port 69 and exits with 0 when it serves, 1 when it reports the missing privilege.
int StartOnPort69(const TempDir& dir, const CFileServerControl::Names& names, bool withCapability)
{
    const pid_t child = fork();
    if (child != 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    }
    if (unshare(CLONE_NEWNET) != 0 || prctl(PR_SET_KEEPCAPS, 1) != 0) _exit(90);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(91);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3]{};
    if (withCapability) caps[0].permitted = caps[0].effective = 1u << CAP_NET_BIND_SERVICE;
    if (syscall(SYS_capset, &header, caps) != 0) _exit(92);

    const COperateSystemInfo system;
    const COperateFileIni ini;
    CFileServerControl control(system, ini, dir.Dir(), names);
    if (!control.Start(dir.File("firmware"))) _exit(93);
    const FileServerStatus status = WaitWhileStarting(control);
    control.Stop();
    if (status.state == FileServerState::Serving && status.port == 69) _exit(0);
    if (status.state == FileServerState::Failed && status.problem == FileServerProblem::PortPermission)
        _exit(1);
    _exit(94);
}

TEST(FileServerControlProgram, PassesThePortPrivilegeOnOrSaysItIsMissing)
{
    if (getuid() != 0) GTEST_SKIP() << "needs root to play an unprivileged user";
    TempDir dir;
    CFileServerControl::Names names{"PqCapSrv" + std::to_string(getpid()),
                                    "PqCapAux" + std::to_string(getpid())};
    std::filesystem::create_directories(dir.File("service"));
    std::filesystem::copy_file(PONTIQ_FILESERVER, dir.File("service/" + names.server));
    dir.Write("service/FileServer.ini", "[SERVER]\nDirectory=\nPort=69\n");
    dir.Write("firmware/fw.bin", "firmware");
    chmod(dir.Dir().c_str(), 0755);
    chmod(dir.File("service").c_str(), 0777);
    chmod(dir.File("service/FileServer.ini").c_str(), 0666);

    EXPECT_EQ(StartOnPort69(dir, names, true), 0) << "served on port 69 with the capability";
    EXPECT_EQ(StartOnPort69(dir, names, false), 1) << "told that the privilege is missing";
}

}  // namespace
}  // namespace pontiq::test
