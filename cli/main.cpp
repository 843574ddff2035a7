// pontiq-cli: the command-line companion of the window program. Parses the command, takes the
// single-instance lock, makes a private scratch folder, runs the command and removes the folder
// again, also when SIGINT or SIGTERM ends the run early.
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/language.h"
#include "app/settings.h"
#include "app/single_instance.h"
#include "cli/cli_args.h"
#include "cli/cli_file_server.h"
#include "cli/cli_runner.h"
#include "comm/operate_character.h"
#include "store/program_dir.h"

#ifndef PONTIQ_VERSION
#define PONTIQ_VERSION ""
#endif

namespace {

using namespace pontiq;
using namespace pontiq::cli;

void Write(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// SIGINT and SIGTERM are blocked in every thread and taken here with sigtimedwait, so no engine
// thread is ever interrupted inside a system call. The first signal asks the run to end (the
// scratch folder is removed as usual); a second one removes the folder and ends at once.
class SignalWatch {
public:
    explicit SignalWatch(std::string scratchDir) : dir_(std::move(scratchDir))
    {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
        thread_ = std::thread([this] { Loop(); });
    }
    ~SignalWatch()
    {
        stop_ = true;
        thread_.join();
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    bool Caught() const { return signal_.load() != 0; }
    int Signal() const { return signal_.load(); }

private:
    void Loop()
    {
        const timespec wait{0, 100'000'000};
        while (!stop_) {
            const int sig = sigtimedwait(&set_, nullptr, &wait);
            if (sig <= 0) continue;
            if (signal_.exchange(sig) != 0) {
                std::error_code ec;
                std::filesystem::remove_all(dir_, ec);
                _exit(128 + sig);
            }
        }
    }

    std::string dir_;
    sigset_t set_{};
    std::atomic<bool> stop_{false};
    std::atomic<int> signal_{0};
    std::thread thread_;
};

std::string MakeScratchDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        (tmp && tmp[0] == '/' ? std::string(tmp) : std::string("/tmp")) + "/pontiq-cli-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return {};
    return std::string(buffer.data());
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");  // device texts and the terminal use the locale's encoding
    const COperateCharacter chars;
    const std::string programDir = ProgramDir();
    LoadLanguage(programDir);
    auto message = [&](std::string_view key, std::string_view detail = {}) {
        std::string text = "pontiq-cli: " + Translate(key);
        if (!detail.empty()) text += " (" + std::string(detail) + ")";
        Write(STDERR_FILENO, chars.Utf8ToLocal(text) + "\n");
    };

    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.command) {
        message(parsed.error, parsed.detail);
        return kExitBadInput;
    }
    const Command& command = *parsed.command;
    if (command.kind == CommandKind::Help) {
        Write(STDOUT_FILENO, HelpText(command.helpTopic));
        return kExitDone;
    }

    // The window program holds this lock for its life; both would use the same device ports.
    SingleInstanceLock lock;
    if (lock.Acquire(SingleInstanceLock::RuntimeDirectory()) == SingleInstanceLock::Result::AlreadyRunning) {
        message(
            "Pontiq is running on this machine; pontiq-cli would share its device ports. Close it first.");
        return kExitFailed;
    }

    const std::string scratch = MakeScratchDir();
    if (scratch.empty()) {
        message("The scratch database could not be created", "mkdtemp");
        return kExitFailed;
    }
    int exitCode = kExitDone;
    {
        SignalWatch signals(scratch);
        const AppSettings settings = LoadSettings(programDir, PONTIQ_VERSION);
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        bool progressShown = false;

        RunEnvironment env;
        env.scratchDir = scratch;
        env.retransmissionMax = settings.retransmissionMax;
        env.retransmissionIntervalMs = settings.retransmissionInterval;
        env.interrupted = [&signals] { return signals.Caught(); };
        env.translate = [](std::string_view key) { return Translate(key); };
        // For tests only: PONTIQ_CLI_FILESERVER names a FileServer copy (…/service/NAME) so that no
        // other FileServer is ended; PONTIQ_CLI_UPGRADE_TICK_MS shortens the upgrade's one-second steps.
        const char* serverOverride = std::getenv(kFileServerOverrideVariable);
        env.fileServer = [programDir, serverOverride]() -> std::unique_ptr<FileServerControl> {
            auto location = LocateFileServer(programDir, serverOverride ? serverOverride : "");
            if (!location) return nullptr;
            return std::make_unique<CCliFileServer>(std::move(*location));
        };
        if (const char* tick = std::getenv("PONTIQ_CLI_UPGRADE_TICK_MS")) {
            const int ms = std::atoi(tick);
            if (ms > 0 && ms <= 1000) env.upgradeTick = std::chrono::milliseconds(ms);
        }
        if (terminal) {
            env.progress = [&](std::string_view line) {
                Write(STDERR_FILENO, "\r" + chars.Utf8ToLocal(line) + "\033[K");
                progressShown = true;
            };
        }

        const RunResult result = RunCommand(command, env);
        if (progressShown) Write(STDERR_FILENO, "\r\033[K");
        // JSON and CSV stay UTF-8 for the programs that read them; the table is for the terminal.
        Write(STDOUT_FILENO,
              command.format == OutputFormat::Table ? chars.Utf8ToLocal(result.out) : result.out);
        Write(STDERR_FILENO, chars.Utf8ToLocal(result.err));
        exitCode = result.exitCode;
        if (signals.Caught()) exitCode = 128 + signals.Signal();
    }
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    return exitCode;
}
