#include "store/program_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace pontiq {
namespace {

namespace fs = std::filesystem;

class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pontiq_scratch_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    std::string root_;
};

TEST_F(ScratchDirTest, WritableProgramFolderHoldsTheDatabase)
{
    const std::string program = root_ + "/prog/";
    fs::create_directory(program);
    EXPECT_EQ(ScratchDir(program, (root_ + "/run").c_str(), geteuid()), program);
}

TEST_F(ScratchDirTest, UnusableProgramFolderFallsBackToAPrivateRuntimeFolder)
{
    const std::string runtime = root_ + "/run";
    fs::create_directory(runtime);
    // Missing folder: no write access, as for an installed program folder of another owner.
    const std::string dir = ScratchDir("/nonexistent-pontiq/prog/", (runtime + "//").c_str(), geteuid());
    EXPECT_EQ(dir, runtime + "/pontiq/");
    struct stat st = {};
    ASSERT_EQ(lstat((runtime + "/pontiq").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A second start finds it again.
    EXPECT_EQ(ScratchDir("/nonexistent-pontiq/prog/", runtime.c_str(), geteuid()), dir);
}

TEST_F(ScratchDirTest, RuntimeFolderThatIsNotOursAloneIsNeverUsed)
{
    const uid_t me = geteuid();
    const std::string tmpFallback = "/tmp/pontiq-" + std::to_string(me) + "/";
    const bool fallbackExisted = fs::exists(tmpFallback);
    struct Case {
        const char* what;
        void (*make)(const std::string& runtime);
    };
    const Case cases[] = {
        {"open to others",
         [](const std::string& r) {
             fs::create_directory(r + "/pontiq");
             chmod((r + "/pontiq").c_str(), 0755);
         }},
        {"symlink",
         [](const std::string& r) {
             fs::create_directory(r + "/elsewhere", r);
             chmod((r + "/elsewhere").c_str(), 0700);
             fs::create_directory_symlink(r + "/elsewhere", r + "/pontiq");
         }},
        {"a file", [](const std::string& r) { std::fclose(std::fopen((r + "/pontiq").c_str(), "w")); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string runtime = root_ + "/run" + std::to_string(n++);
        fs::create_directory(runtime);
        c.make(runtime);
        const std::string dir = ScratchDir("/nonexistent-pontiq/prog/", runtime.c_str(), me);
        EXPECT_EQ(dir, tmpFallback) << c.what;
    }
    // Relative or missing runtime folders are ignored the same way.
    EXPECT_EQ(ScratchDir("/nonexistent-pontiq/prog/", "relative/run", me), tmpFallback);
    EXPECT_EQ(ScratchDir("/nonexistent-pontiq/prog/", nullptr, me), tmpFallback);
    // Another user's id: the fallback folder (made by us) is not theirs, so nothing is usable.
    EXPECT_EQ(ScratchDir("/nonexistent-pontiq/prog/", nullptr, me + 4242), "");
    std::error_code ec;
    fs::remove("/tmp/pontiq-" + std::to_string(me + 4242), ec);
    if (!fallbackExisted) fs::remove(tmpFallback, ec);
}

}  // namespace
}  // namespace pontiq
