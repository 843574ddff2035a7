#include "app/operate_system_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/app/process_test_support.h"

namespace pontiq::test {
namespace {

using namespace std::chrono_literals;

const COperateSystemInfo::EndTimings kQuick{200ms, 1000ms, 3};

TEST(OperateSystemInfo, RunProgramStartsDetachedInItsFolderWithNothingInherited)
{
    TempDir dir;
    const std::string name = UniqueProbeName("PqRun");
    ProbeCleanup cleanup({name});
    const std::string exe = InstallProbe(dir, "bin/" + name);
    std::filesystem::create_directories(dir.File("work"));
    // A descriptor without close-on-exec, as a library might leave one open.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);

    const COperateSystemInfo system(kQuick);
    ASSERT_TRUE(system.RunProgram(exe, dir.File("work")));
    close(leaked);
    auto report = WaitForReport(dir.File("work"));
    ASSERT_FALSE(report.empty());

    EXPECT_EQ(report["cwd"], std::filesystem::canonical(dir.File("work")).string());
    EXPECT_NE(report["sid"], std::to_string(getsid(0))) << "a session of its own";
    EXPECT_NE(report["ppid"], std::to_string(getpid())) << "not our child";
    EXPECT_EQ(report["fds"], "0,1,2,");
    EXPECT_EQ(report["stdin"], "/dev/null");

    EXPECT_TRUE(system.FindProcess(name));
    EXPECT_EQ(system.EndProcesses(name), 1);
    EXPECT_FALSE(system.FindProcess(name));
    EXPECT_EQ(system.EndProcesses(name), 0);
}

TEST(OperateSystemInfo, RunProgramFailsWhenTheProgramCannotRun)
{
    TempDir dir;
    const std::string exe = InstallProbe(dir, "PqNoRun");
    dir.Write("plain", "not a program");
    const COperateSystemInfo system(kQuick);
    struct Case {
        const char* what;
        std::string path;
        std::string workDir;
    } cases[] = {
        {"empty path", "", dir.Dir()},
        {"missing program", dir.File("missing"), dir.Dir()},
        {"not executable", dir.File("plain"), dir.Dir()},
        {"a folder", dir.Dir(), dir.Dir()},
        {"missing working folder", exe, dir.File("nowhere")},
    };
    for (const Case& c : cases) EXPECT_FALSE(system.RunProgram(c.path, c.workDir)) << c.what;
    EXPECT_FALSE(system.FindProcess("PqNoRun"));
}

TEST(OperateSystemInfo, FindProcessComparesTheExecutableNameExactly)
{
    TempDir dir;
    // Longer than the 15 characters the kernel keeps as a process name.
    const std::string name = UniqueProbeName("PqFindLongName");
    ProbeCleanup cleanup({name});
    ASSERT_TRUE(COperateSystemInfo().RunProgram(InstallProbe(dir, name), dir.Dir()));
    ASSERT_FALSE(WaitForReport(dir.Dir()).empty());

    const COperateSystemInfo system(kQuick);
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string name;
        bool found;
    } cases[] = {
        {name, true},
        {lower, false},
        {name.substr(0, 15), false},
        {name.substr(0, name.size() - 1), false},
        {name + "x", false},
        {name + ".exe", false},
        {dir.File(name), false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(system.FindProcess(c.name), c.found) << c.name;
    // Ending by a near name leaves it running.
    EXPECT_EQ(system.EndProcesses(name.substr(0, 15)), 0);
    EXPECT_TRUE(system.FindProcess(name));
}

TEST(OperateSystemInfo, ARemovedExecutableStillNamesItsProcess)
{
    TempDir dir;
    const std::string name = UniqueProbeName("PqGone");
    ProbeCleanup cleanup({name});
    const std::string exe = InstallProbe(dir, name);
    ASSERT_TRUE(COperateSystemInfo().RunProgram(exe, dir.Dir()));
    ASSERT_FALSE(WaitForReport(dir.Dir()).empty());
    std::filesystem::remove(exe);

    const COperateSystemInfo system(kQuick);
    EXPECT_TRUE(system.FindProcess(name));
    EXPECT_EQ(system.EndProcesses(name), 1);
}

TEST(OperateSystemInfo, EndProcessesEndsEveryInstanceAndKillsThoseIgnoringTerm)
{
    TempDir dir;
    const std::string name = UniqueProbeName("PqEnd");
    ProbeCleanup cleanup({name});
    const std::string exe = InstallProbe(dir, name);
    const COperateSystemInfo system(kQuick);
    for (const char* folder : {"a", "b", "stubborn"}) {
        std::filesystem::create_directories(dir.File(folder));
        if (std::string_view(folder) == "stubborn") dir.Write("stubborn/probe-ignore-term", "");
        ASSERT_TRUE(system.RunProgram(exe, dir.File(folder)));
        ASSERT_FALSE(WaitForReport(dir.File(folder)).empty());
    }
    ASSERT_EQ(COperateSystemInfo::ListProcesses(name).size(), 3u);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(system.EndProcesses(name), 3);
    // Bounded: one SIGTERM grace and a little, not a loop until the stubborn one gives in.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(system.FindProcess(name));
}

}  // namespace
}  // namespace pontiq::test
