// GoogleTest support for tests that run inside the private namespaces of netns.sh.
//
// The whole test executable runs inside the PC namespace (run_in_netns.sh starts it there with
// `ip netns exec`), so the code under test needs no namespace switching. The device side runs in
// separate processes: `Peer` starts the netns_peer helper in the device namespace (fork, then
// exec of `ip netns exec <ns> netns_peer ...`), and `RunInNamespace` runs a function there in a
// forked child that calls setns.
//
// Every test skips, loudly, unless it really is inside the harness's PC namespace: a test run
// any other way must never send on the machine's own network.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/hex.h"

#ifndef PONTIQ_NETNS_PEER
#define PONTIQ_NETNS_PEER ""
#endif

namespace pontiq::netns {

// ---- The default topology of netns.sh; keep both in step. ----

struct Address {
    const char* ip;
    const char* mask;
};

struct Side {
    const char* ifname;
    const char* mac;  // text as MacText writes it
    std::vector<Address> addresses;
};

struct Link {
    Side pc;
    Side dev;
    bool pcUp;
};

// Link 0: two addresses of one adapter in one subnet (the second carries the label "pq0:1").
inline const Link kTwoAddresses{
    {"pq0", "02:77:00:00:00:01", {{"10.77.1.1", "255.255.255.0"}, {"10.77.1.2", "255.255.255.0"}}},
    {"pqd0", "02:77:00:00:00:02", {{"10.77.1.100", "255.255.255.0"}}},
    true};
// Link 1: the same subnet on a second adapter.
inline const Link kSameSubnet{{"pq1", "02:77:00:00:01:01", {{"10.77.1.3", "255.255.255.0"}}},
                              {"pqd1", "02:77:00:00:01:02", {{"10.77.1.101", "255.255.255.0"}}},
                              true};
// Link 2: up, but no address on either end.
inline const Link kNoAddress{{"pq2", "02:77:00:00:02:01", {}}, {"pqd2", "02:77:00:00:02:02", {}}, true};
// Link 3: a subnet of its own; the PC namespace's default route goes out of pq3, so a datagram
// to 255.255.255.255 from an unbound socket leaves here (without any default route it fails
// with ENETUNREACH).
inline const Link kOwnSubnet{{"pq3", "02:77:00:00:03:01", {{"10.77.2.1", "255.255.255.0"}}},
                             {"pqd3", "02:77:00:00:03:02", {{"10.77.2.100", "255.255.255.0"}}},
                             true};
// Link 4: PC end down (with an address), device end without address.
inline const Link kDownAdapter{
    {"pq4", "02:77:00:00:04:01", {{"10.77.3.1", "255.255.255.0"}}}, {"pqd4", "02:77:00:00:04:02", {}}, false};

inline const std::vector<const Link*>& AllLinks()
{
    static const std::vector<const Link*> links{&kTwoAddresses, &kSameSubnet, &kNoAddress, &kOwnSubnet,
                                                &kDownAdapter};
    return links;
}

// ---- Where we are ----

inline std::string Prefix()
{
    const char* p = std::getenv("PONTIQ_NETNS_PREFIX");
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
inline std::string NamespacePath(const std::string& ns)
{
    return "/run/netns/" + ns;
}

inline bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa = {};
    struct stat sb = {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

inline std::string PeerPath()
{
    const char* p = std::getenv("PONTIQ_NETNS_PEER");
    return p != nullptr ? std::string(p) : std::string(PONTIQ_NETNS_PEER);
}

// netns.sh marks its namespaces with an alias on their loopback; /sys shows the namespace the
// process was started in by `ip netns exec`.
inline bool HasHarnessMark()
{
    std::FILE* f = std::fopen("/sys/class/net/lo/ifalias", "r");
    if (f == nullptr) return false;
    char alias[128] = {};
    const bool read = std::fgets(alias, sizeof(alias), f) != nullptr;
    std::fclose(f);
    return read && std::string_view(alias).starts_with("pontiq-netns owner=");
}

// Empty when the test may use the network; otherwise why it must not.
inline std::string SkipReason()
{
    if (geteuid() != 0) return "not root: the namespace tests need CAP_NET_ADMIN and CAP_NET_RAW";
    if (Prefix().empty()) {
        return "PONTIQ_NETNS_PREFIX is not set; run through tests/netns/run_in_netns.sh (or ctest -L netns)";
    }
    if (access(NamespacePath(PcNamespace()).c_str(), F_OK) != 0) {
        return "namespace " + PcNamespace() + " does not exist ('ip netns' unavailable or torn down)";
    }
    if (!SameFile("/proc/self/ns/net", NamespacePath(PcNamespace()))) {
        return "not running inside namespace " + PcNamespace();
    }
    if (!HasHarnessMark()) return "namespace " + PcNamespace() + " carries no mark of tests/netns/netns.sh";
    return {};
}

#define PONTIQ_REQUIRE_NETNS()                                                                     \
    do {                                                                                           \
        const std::string pontiq_netns_reason = ::pontiq::netns::SkipReason();                     \
        if (!pontiq_netns_reason.empty()) {                                                        \
            std::fprintf(stderr, "*** NETNS TEST SKIPPED: %s ***\n", pontiq_netns_reason.c_str()); \
            GTEST_SKIP() << "NETNS TEST SKIPPED: " << pontiq_netns_reason;                         \
        }                                                                                          \
    } while (0)

// Base fixture: skips every test that is not inside the PC namespace.
class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override { PONTIQ_REQUIRE_NETNS(); }
};

// ---- Hex text, as the peer reports bytes ----

inline std::string Hex(std::span<const uint8_t> data)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : data) {
        text += digits[b >> 4];
        text += digits[b & 0xf];
    }
    return text;
}

using test::FromHex;

// "FRAME <hex>"
inline std::optional<std::vector<uint8_t>> ParseFrame(std::string_view line)
{
    if (!line.starts_with("FRAME ")) return std::nullopt;
    return FromHex(line.substr(6));
}

// "DGRAM <src-ip> <src-port> <dst-ip> <ifname> <hex>"
struct Datagram {
    std::string srcIp;
    int srcPort = 0;
    std::string dstIp;   // the IP header's destination (a broadcast or group address as sent)
    std::string ifname;  // the device-side interface it arrived on
    std::vector<uint8_t> data;
};

inline std::optional<Datagram> ParseDatagram(std::string_view line)
{
    if (!line.starts_with("DGRAM ")) return std::nullopt;
    std::vector<std::string> words;
    size_t pos = 6;
    while (pos <= line.size()) {
        const size_t space = line.find(' ', pos);
        words.emplace_back(
            line.substr(pos, space == std::string_view::npos ? std::string_view::npos : space - pos));
        if (space == std::string_view::npos) break;
        pos = space + 1;
    }
    if (words.size() != 5) return std::nullopt;
    auto data = FromHex(words[4]);
    if (!data) return std::nullopt;
    return Datagram{words[0], std::atoi(words[1].c_str()), words[2], words[3], std::move(*data)};
}

// ---- Processes in the device namespace ----

inline int OpenNamespace(const std::string& ns)
{
    return open(NamespacePath(ns).c_str(), O_RDONLY | O_CLOEXEC);
}

// Runs `fn` in a forked child inside namespace `ns`; returns its result (0..255), or -1 when the
// child could not start, crashed or ran past `timeout` (it is killed then). The child has only
// the calling thread: keep `fn` short and call it while no other thread (an engine) runs, or it
// may wait forever on a lock held by a thread that does not exist in the child; prefer `Peer`
// then. /sys in the child still shows the PC namespace.
inline int RunInNamespace(const std::string& ns, const std::function<int()>& fn,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const int nsFd = OpenNamespace(ns);
    if (nsFd < 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (setns(nsFd, CLONE_NEWNET) != 0) _exit(127);
        _exit(fn() & 0xff);
    }
    close(nsFd);
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(5000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The netns_peer helper running in a namespace, with its stdout read line by line.
class Peer {
public:
    Peer(const std::string& ns, const std::vector<std::string>& args)
    {
        const std::string path = PeerPath();
        if (path.empty() || access(path.c_str(), X_OK) != 0) {
            error_ = "netns_peer not found at '" + path + "'";
            return;
        }
        // `ip netns exec` also mounts the namespace's own /sys, which the peer checks; ip execs the
        // peer in place, so pid_ is the peer itself.
        std::vector<std::string> argv{"ip", "netns", "exec", ns, path};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);

        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            error_ = "pipe failed";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            execvp(cargv[0], cargv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        out_ = pipeFds[0];
        if (pid_ < 0) error_ = "fork failed";
    }

    ~Peer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool ok() const { return error_.empty() && pid_ > 0; }
    const std::string& error() const { return error_; }

    // The next line not yet returned that starts with `prefix`; nullopt on time-out or when the
    // peer has ended without one. An "ERROR" line is recorded in error().
    std::optional<std::string> WaitFor(std::string_view prefix, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            for (; next_ < lines_.size(); ++next_) {
                if (lines_[next_].starts_with(prefix)) return lines_[next_++];
            }
            if (!ReadSome(deadline)) return std::nullopt;
        }
    }

    bool WaitReady(std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        return WaitFor("READY", timeout).has_value();
    }

    // Reads until the peer exits; kills it after `timeout`. Its exit status, or -1.
    int Finish(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (ReadSome(deadline)) {
        }
        if (pid_ <= 0) return -1;
        int status = 0;
        if (!eof_) kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::vector<std::string>& lines() const { return lines_; }

private:
    // Reads what is available into lines_; false at EOF or time-out.
    bool ReadSome(std::chrono::steady_clock::time_point deadline)
    {
        if (out_ < 0 || eof_) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) return false;
        pollfd p{out_, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) return true;
        if (ready <= 0) return false;
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof(chunk));
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<size_t>(n));
        for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos; buffer_.erase(0, nl + 1)) {
            lines_.push_back(buffer_.substr(0, nl));
            if (lines_.back().starts_with("ERROR")) error_ = lines_.back();
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool eof_ = false;
    std::string buffer_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
    std::string error_;
};

}  // namespace pontiq::netns
