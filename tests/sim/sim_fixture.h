// Support for the end-to-end tests: the test executable runs inside the PC namespace of the
// simulated LAN (run_e2e.sh builds it with tools/simnet/simnet.sh); the device simulator runs
// in the device namespace as a child process, driven line by line through its stdin.
//
// Every test skips, loudly, unless it really is inside a simulated LAN's PC namespace: run any
// other way it would send on the machine's own network.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/hex.h"

#include "store/ap_info.h"

#ifndef PONTIQ_DEVICESIM
#define PONTIQ_DEVICESIM ""
#endif
#ifndef PONTIQ_SIMNET
#define PONTIQ_SIMNET ""
#endif

namespace pontiq::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a test waits for what another process, thread or device does: generous, for a slow
// and loaded machine. Every wait returns as soon as its condition holds, so success costs nothing.
inline constexpr std::chrono::seconds kPatience{20};
// The same for a search that must describe every device of a LAN.
inline constexpr std::chrono::seconds kSearchPatience{40};

inline std::string Prefix()
{
    const char* p = std::getenv("PONTIQ_SIM_PREFIX");
    return p == nullptr ? std::string() : std::string(p);
}
inline std::string PcNamespace()
{
    return Prefix() + "-pc";
}
inline std::string DevNamespace()
{
    return Prefix() + "-dev";
}

inline bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa = {};
    struct stat sb = {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Empty when the test may use the network; otherwise why it must not.
inline std::string SkipReason()
{
    if (geteuid() != 0) return "not root: the simulated LAN needs CAP_NET_ADMIN";
    if (Prefix().empty())
        return "PONTIQ_SIM_PREFIX is not set; run through tests/sim/run_e2e.sh (ctest -L e2e)";
    if (!SameFile("/proc/self/ns/net", "/run/netns/" + PcNamespace())) {
        return "not running inside namespace " + PcNamespace();
    }
    std::FILE* f = std::fopen("/sys/class/net/lo/ifalias", "r");
    char alias[128] = {};
    const bool marked = f != nullptr && std::fgets(alias, sizeof(alias), f) != nullptr &&
                        std::string_view(alias).starts_with("pontiq-simnet owner=");
    if (f != nullptr) std::fclose(f);
    if (!marked) return "namespace " + PcNamespace() + " carries no mark of tools/simnet/simnet.sh";
    if (access(PONTIQ_DEVICESIM, X_OK) != 0) return std::string("no devicesim at '") + PONTIQ_DEVICESIM + "'";
    return {};
}

// Runs a command, waits for it; its exit status (-1 when it could not run).
inline int RunCommand(const std::vector<std::string>& argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The simulator in the device namespace, with its stdin and stdout.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options)
    {
        std::vector<std::string> argv{"ip", "netns", "exec", DevNamespace(), PONTIQ_DEVICESIM, "--stdin"};
        argv.insert(argv.end(), options.begin(), options.end());
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            Send("quit");
            const auto deadline = Clock::now() + 3s;
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (Clock::now() > deadline) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
        }
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The READY line, or an empty text (the ERROR line is kept in error()).
    std::string WaitReady(std::chrono::milliseconds timeout = kPatience)
    {
        for (;;) {
            auto line = ReadLine(timeout);
            if (!line) return {};
            if (line->starts_with("READY")) return *line;
            if (line->starts_with("ERROR")) {
                error_ = *line;
                return {};
            }
        }
    }

    // The answer's lines before "END"; empty on time-out. A late answer would be taken for the
    // next command's, so the wait is long.
    std::vector<std::string> Command(const std::string& line, std::chrono::milliseconds timeout = kPatience)
    {
        std::vector<std::string> answer;
        if (!Send(line)) return answer;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            auto got = ReadLine(std::max(left, 1ms));
            if (!got) return {};
            if (*got == "END") return answer;
            if (!got->starts_with("EVENT") && !got->starts_with("WARN")) answer.push_back(*got);
        }
    }

    // One answer line, e.g. of "stats" or "state <mac>", as key=value fields.
    std::map<std::string, std::string> Fields(const std::string& command)
    {
        std::map<std::string, std::string> fields;
        const auto answer = Command(command);
        if (answer.empty()) return fields;
        std::istringstream in(answer[0]);
        for (std::string word; in >> word;) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        return fields;
    }

    // A numeric field of `command`'s answer; nullopt when the answer has none (no answer at all).
    std::optional<long> Number(const std::string& command, const std::string& key)
    {
        const auto fields = Fields(command);
        const auto it = fields.find(key);
        if (it == fields.end() || it->second.empty()) return std::nullopt;
        char* end = nullptr;
        const long value = std::strtol(it->second.c_str(), &end, 10);
        if (end == nullptr || *end != '\0') return std::nullopt;
        return value;
    }

    // The simulated devices as "list" gives them: MAC and address.
    struct Listed {
        std::string mac;
        std::string ip;
    };
    std::vector<Listed> List()
    {
        std::vector<Listed> devices;
        for (const std::string& line : Command("list")) {
            std::istringstream in(line);
            std::string word, mac, ip;
            in >> word >> mac >> ip;
            devices.push_back({mac, ip});
        }
        return devices;
    }

    // The record the simulated device holds now; none, with why in `why`, when the simulator
    // gives no whole record.
    std::optional<ap_info_stu> Dump(const std::string& mac, std::string* why = nullptr)
    {
        const auto answer = Command("dump " + mac);
        if (answer.size() != 1) {
            if (why != nullptr) *why = "<no dump>";
            return std::nullopt;
        }
        const auto bytes = test::FromHex(answer[0].substr(answer[0].rfind(' ') + 1));
        ap_info_stu r{};
        if (!bytes || bytes->size() != sizeof(r)) {
            if (why != nullptr) *why = "<bad dump>";
            return std::nullopt;
        }
        std::memcpy(&r, bytes->data(), sizeof(r));
        return r;
    }

    const std::string& error() const { return error_; }

private:
    bool Send(const std::string& line)
    {
        const std::string text = line + "\n";
        return in_ >= 0 && write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (const size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (out_ < 0 || left <= 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[65536];
            const ssize_t n = read(out_, chunk, sizeof(chunk));
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::string error_;
};

using test::FromHex;

// Polls `done` every `period` until it holds or `timeout` has passed; `between` runs between polls.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                      const std::function<void()>& between = {}, std::chrono::milliseconds period = 50ms)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (Clock::now() > deadline) return false;
        if (between) between();
        std::this_thread::sleep_for(period);
    }
}

// `text` without an incomplete UTF-8 sequence at its end: what a device name cut at a byte count
// reads as on a PC whose local encoding is UTF-8.
inline std::string_view CompletePrefix(std::string_view text)
{
    size_t i = text.size();
    size_t continuations = 0;
    while (i > 0 && continuations < 3 && (static_cast<uint8_t>(text[i - 1]) & 0xC0) == 0x80)
        --i, ++continuations;
    if (i == 0) return text;
    const uint8_t lead = static_cast<uint8_t>(text[i - 1]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return need > continuations + 1 ? text.substr(0, i - 1) : text;
}

}  // namespace pontiq::e2e
