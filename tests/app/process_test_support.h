// Copies of the throwaway probe program under names of a test's own, and reading its report.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "app/operate_system_info.h"
#include "tests/app/temp_dir.h"

namespace pontiq::test {

// A name no other test process uses at the same time (ctest runs tests in parallel).
inline std::string UniqueProbeName(std::string_view stem)
{
    return std::string(stem) + std::to_string(getpid());
}

inline std::string InstallProbe(const TempDir& dir, const std::string& relative)
{
    const std::filesystem::path to = dir.File(relative);
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(PONTIQ_PROCESS_PROBE, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                         std::filesystem::perms::others_exec);
    return to.string();
}

// The probe's report as key=value pairs, once it has written it; empty after the time limit.
inline std::map<std::string, std::string> WaitForReport(const std::string& folder)
{
    const std::string path = folder + "/probe-report";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::map<std::string, std::string> fields;
    std::string text = ReadBytes(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return fields;
}

// Ends whatever a test left running under its probe names.
class ProbeCleanup {
public:
    explicit ProbeCleanup(std::vector<std::string> names) : names_(std::move(names)) {}
    ~ProbeCleanup()
    {
        const COperateSystemInfo system(COperateSystemInfo::EndTimings{std::chrono::milliseconds(200),
                                                                       std::chrono::milliseconds(500), 3});
        for (const std::string& name : names_) system.EndProcesses(name);
    }

private:
    std::vector<std::string> names_;
};

}  // namespace pontiq::test
