// Runs one parsed pontiq-cli command on an engine and a store of its own: the search for the
// devices it names, the checks, the commands, the wait for each device's answer, the output.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cli/cli_args.h"
#include "comm/comm_engine.h"
#include "ui/maintenance/upgrade_rules.h"

namespace pontiq::cli {

struct RunEnvironment {
    std::string scratchDir;  // the store's data.mdb goes here
    EngineOptions engineOptions;
    int32_t retransmissionMax = 3;
    int32_t retransmissionIntervalMs = 2000;
    // True once the run should end early (SIGINT, SIGTERM); polled while waiting.
    std::function<bool()> interrupted;
    // One progress line (without line feed); empty: no progress is shown.
    std::function<void(std::string_view line)> progress;
    // The translation of a built-in English message, UTF-8; empty: the English text.
    std::function<std::string(std::string_view key)> translate;
    std::chrono::milliseconds rediscoverEvery{3000};
    std::chrono::milliseconds poll{100};
    // upgrade: the FileServer that serves the firmware; null: the upgrade cannot run.
    std::function<std::unique_ptr<FileServerControl>()> fileServer;
    // upgrade: the length of one step of its timed stages (one second; shorter in tests).
    std::chrono::milliseconds upgradeTick{1000};
};

struct RunResult {
    int exitCode = kExitDone;
    std::string out;  // standard output, UTF-8
    std::string err;  // standard error, UTF-8 (messages, one per line)
};

inline constexpr int kExitInterrupted = 130;

RunResult RunCommand(const Command& command, const RunEnvironment& environment);

// set-ip without --last: the address that gives `count` devices consecutive addresses from
// `first`, skipping those ending in .0 and .255 ("255.255.255.255", which the checks refuse,
// when the addresses run out).
std::string LastOfConsecutive(std::string_view first, size_t count);

}  // namespace pontiq::cli
