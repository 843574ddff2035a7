// The FileServer program itself on loopback: refusals answered with error packets, clean exit
// on SIGTERM, the status it reports, and byte-exact fetches by real TFTP clients.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "app/ini_file.h"
#include "tests/app/temp_dir.h"
#include "tools/devicesim/tftp_fetch.h"

namespace pontiq::test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

bool HaveProgram(const char* name)
{
    return std::system(("command -v " + std::string(name) + " > /dev/null 2>&1").c_str()) == 0;
}

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(generator());
    return out;
}

// The INI of a FileServer on 127.0.0.1 serving dir/srv/; port 0: one of the system's choosing.
std::string LoopbackIni(const TempDir& dir, uint16_t port = 0)
{
    return "[SERVER]\nDirectory=" + dir.File("srv") + "\nAddress=127.0.0.1\nPort=" + std::to_string(port) +
           "\n";
}

// The FileServer program with the given INI in dir/cfg/, started and ready.
class FileServerProcess {
public:
    explicit FileServerProcess(const TempDir& dir) : FileServerProcess(dir, LoopbackIni(dir)) {}
    FileServerProcess(const TempDir& dir, const std::string& iniText, bool dropRoot = false) : dir_(dir)
    {
        std::filesystem::create_directories(dir.File("srv"));
        dir.Write("cfg/FileServer.ini", iniText);
        if (dropRoot) {
            chmod(dir.Dir().c_str(), 0755);
            chmod(dir.File("cfg").c_str(), 0777);
        }
        const std::string ini = dir.File("cfg/FileServer.ini");
        pid_ = fork();
        if (pid_ == 0) {
            if (dropRoot && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
            execl(PONTIQ_FILESERVER, "FileServer", "--config", ini.c_str(), static_cast<char*>(nullptr));
            _exit(98);
        }
        // Ready once it has said so in its status file.
        const auto end = std::chrono::steady_clock::now() + 30s;
        while (Status("State").empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(2ms);
        port_ = static_cast<uint16_t>(std::atoi(Status("Port").c_str()));
    }
    ~FileServerProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string Status(const char* key) const
    {
        return IniFile::Load(dir_.File("cfg/FileServer.status")).GetString("STATUS", key, "", kIniLongBuffer);
    }
    // SIGTERM; the exit status, or -1 when it did not end within 20 seconds.
    int Terminate()
    {
        kill(pid_, SIGTERM);
        return Wait();
    }
    int Wait()
    {
        for (int i = 0; i < 2000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    uint16_t port() const { return port_; }
    std::string Url(const std::string& name) const
    {
        return "tftp://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }

private:
    const TempDir& dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    bool exited_ = false;
};

// A client socket on loopback that sends raw packets and reads the answers.
class RawClient {
public:
    RawClient()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof(any));
    }
    ~RawClient() { close(fd_); }
    void SendTo(uint16_t port, std::string_view bytes) const
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    // The next packet within the time, or nothing; from: its source port.
    std::string Receive(uint16_t* from = nullptr, std::chrono::milliseconds wait = 20000ms) const
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return {};
        char buffer[70000];
        sockaddr_in source{};
        socklen_t length = sizeof(source);
        const ssize_t n =
            recvfrom(fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&source), &length);
        if (from) *from = ntohs(source.sin_port);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    int fd_ = -1;
};

std::string Rrq(std::string_view name, std::string_view rest = "octet\0"sv)
{
    std::string p("\0\1"sv);
    p += name;
    p += '\0';
    p += rest;
    return p;
}

uint16_t ErrorCode(const std::string& packet)
{
    if (packet.size() < 5 || packet[0] != 0 || packet[1] != 5) return 0xFFFF;
    return static_cast<uint16_t>(static_cast<uint8_t>(packet[2]) << 8 | static_cast<uint8_t>(packet[3]));
}

TEST(FileServerProgram, EveryRefusalIsAnsweredWithAnErrorPacket)
{
    TempDir dir;
    dir.Write("secret.bin", "outside");
    dir.Write("srv/ok.bin", "inside");
    std::filesystem::create_directories(dir.File("srv/sub"));
    std::filesystem::create_symlink(dir.File("secret.bin"), dir.File("srv/out.bin"));
    std::filesystem::create_symlink("../secret.bin", dir.File("srv/rel.bin"));
    std::filesystem::create_symlink("ok.bin", dir.File("srv/in.bin"));
    mkfifo(dir.File("srv/fifo").c_str(), 0644);
    FileServerProcess server(dir);
    ASSERT_EQ(server.Status("State"), "serving");
    ASSERT_NE(server.port(), 0);

    const std::string oversized = Rrq("ok.bin", "octet\0blksize\0"sv) + std::string(600, '1') + '\0';
    struct Case {
        const char* what;
        std::string packet;
        uint16_t code;
    } cases[] = {
        {"write request", std::string("\0\2ok.bin\0octet\0"sv), 2},
        {"parent folder", Rrq("../secret.bin"), 2},
        {"parent inside a path", Rrq("sub/../../secret.bin"), 2},
        {"absolute path", Rrq(dir.File("secret.bin")), 2},
        {"symbolic link out (absolute)", Rrq("out.bin"), 2},
        {"symbolic link out (relative)", Rrq("rel.bin"), 2},
        {"a folder", Rrq("sub"), 2},
        {"a FIFO", Rrq("fifo"), 2},
        {"missing file", Rrq("none.bin"), 1},
        {"malformed: no terminator", std::string("\0\1ok.bin"sv), 4},
        {"malformed: no mode", std::string("\0\1ok.bin\0"sv), 4},
        {"unknown mode", Rrq("ok.bin", "mail\0"sv), 4},
        {"oversized request", oversized, 4},
        {"unknown opcode", std::string("\0\x09xyz"sv), 4},
        {"stray data", std::string("\0\3\0\1data"sv), 4},
        {"one byte", std::string("\1"sv), 4},
    };
    for (const Case& c : cases) {
        RawClient client;
        client.SendTo(server.port(), c.packet);
        const std::string answer = client.Receive();
        EXPECT_EQ(ErrorCode(answer), c.code) << c.what;
        EXPECT_EQ(answer.back(), '\0') << c.what << ": the message is terminated";
    }

    // An error packet gets no answer (two servers must not bounce errors), and the server
    // still serves after all of the above; a symbolic link inside the folder is followed.
    RawClient quiet;
    quiet.SendTo(server.port(), std::string("\0\5\0\0oops\0"sv));
    EXPECT_EQ(quiet.Receive(nullptr, 300ms), "");
    for (const char* name : {"ok.bin", "in.bin"}) {
        RawClient client;
        client.SendTo(server.port(), Rrq(name));
        EXPECT_EQ(client.Receive(), std::string("\0\3\0\1inside"sv)) << name;
    }
}

TEST(FileServerProgram, ServesManyTransfersAtOnceAndEndsCleanlyOnSigterm)
{
    TempDir dir;
    const std::string content = RandomBytes(5000, 1);
    dir.Write("srv/fw.bin", content);
    FileServerProcess server(dir);

    // Ten clients ask at once; each transfer runs on a port of its own, interleaved.
    std::vector<std::unique_ptr<RawClient>> clients;
    std::vector<uint16_t> tids(10);
    std::vector<std::string> got(10);
    for (int i = 0; i < 10; ++i) {
        clients.push_back(std::make_unique<RawClient>());
        clients[i]->SendTo(server.port(), Rrq("fw.bin"));
    }
    for (int block = 1; block <= 10; ++block) {
        for (int i = 0; i < 10; ++i) {
            uint16_t from = 0;
            std::string data = clients[i]->Receive(&from);
            // The server repeats a block whose acknowledgement is late (a loaded machine): the
            // repeat of the block before is dropped, as a TFTP client does.
            while (block > 1 && data.size() >= 4 && data[3] == static_cast<char>(block - 1))
                data = clients[i]->Receive(&from);
            ASSERT_GE(data.size(), 4u);
            ASSERT_EQ(data[3], static_cast<char>(block));
            if (block == 1) tids[i] = from;
            EXPECT_EQ(from, tids[i]);
            EXPECT_NE(from, server.port());
            got[i] += data.substr(4);
            clients[i]->SendTo(from, std::string("\0\4\0"sv) + static_cast<char>(block));
        }
    }
    for (const std::string& g : got) EXPECT_EQ(g, content);

    // A client that stops answering: the server repeats its block, then gives up.
    RawClient silent;
    silent.SendTo(server.port(), Rrq("fw.bin"));
    EXPECT_EQ(silent.Receive().substr(0, 4), std::string("\0\3\0\1"sv));
    EXPECT_EQ(silent.Receive(nullptr, 20000ms).substr(0, 4), std::string("\0\3\0\1"sv))
        << "repeated on time-out";

    EXPECT_EQ(server.Terminate(), 0);
    EXPECT_EQ(server.Status("State"), "stopped");
}

TEST(FileServerProgram, ReportsWhyItCannotServe)
{
    {
        // The port is held by another socket.
        TempDir dir;
        const int holder = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof(at)), 0);
        socklen_t length = sizeof(at);
        getsockname(holder, reinterpret_cast<sockaddr*>(&at), &length);
        FileServerProcess server(dir, LoopbackIni(dir, ntohs(at.sin_port)));
        EXPECT_EQ(server.Status("State"), "failed");
        EXPECT_EQ(server.Status("Problem"), "port-in-use");
        EXPECT_EQ(server.Wait(), 2);
        close(holder);
    }
    {
        // The folder does not exist.
        TempDir dir;
        FileServerProcess server(dir, "[SERVER]\nDirectory=/nonexistent/folder\nAddress=127.0.0.1\nPort=0\n");
        EXPECT_EQ(server.Status("State"), "failed");
        EXPECT_EQ(server.Status("Problem"), "folder");
        EXPECT_EQ(server.Wait(), 2);
    }
    {
        // Port 69 without the privilege: as a user without root or cap_net_bind_service.
        std::ifstream in("/proc/sys/net/ipv4/ip_unprivileged_port_start");
        int start = 1024;
        in >> start;
        if (getuid() != 0 || start <= 69) GTEST_SKIP() << "needs root, and privileged ports below 69";
        TempDir dir;
        FileServerProcess server(dir, LoopbackIni(dir, 69), true);
        EXPECT_EQ(server.Status("State"), "failed");
        EXPECT_EQ(server.Status("Problem"), "port-permission");
        EXPECT_EQ(server.Status("Port"), "69");
    }
}

TEST(FileServerProgram, TheDeviceSimulatorsClientFetchesTheFirmware)
{
    TempDir dir;
    const std::string content = RandomBytes(512 * 40 + 17, 3);
    dir.Write("srv/fw.bin", content);
    FileServerProcess server(dir);

    // The simulator's transport-free client, on a loopback socket of its own.
    sim::TftpFetch fetch({{127, 0, 0, 1}, server.port()}, "fw.bin");
    RawClient socket;
    auto deliver = [&](const std::vector<sim::TftpFetch::Out>& out) {
        for (const auto& o : out)
            socket.SendTo(o.to.port, {reinterpret_cast<const char*>(o.bytes.data()), o.bytes.size()});
    };
    deliver(fetch.Begin(sim::TftpFetch::Clock::now()));
    while (fetch.state() != sim::TftpFetch::State::Done && fetch.state() != sim::TftpFetch::State::Failed) {
        uint16_t from = 0;
        const std::string packet = socket.Receive(&from);
        ASSERT_FALSE(packet.empty()) << "no answer";
        deliver(fetch.OnDatagram(sim::TftpFetch::Clock::now(), {{127, 0, 0, 1}, from},
                                 {reinterpret_cast<const uint8_t*>(packet.data()), packet.size()}));
    }
    EXPECT_EQ(fetch.state(), sim::TftpFetch::State::Done) << fetch.Error();
    EXPECT_EQ(fetch.BytesReceived(), content.size());
    EXPECT_EQ(fetch.Crc32(), sim::Crc32Update(0xFFFFFFFFu, {reinterpret_cast<const uint8_t*>(content.data()),
                                                            content.size()}) ^
                                 0xFFFFFFFFu);
}

// Real clients fetch byte-exact copies.
class FileServerClients : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (size_t size : {0u, 511u, 512u, 513u, 100000u}) {
            const std::string name = "f" + std::to_string(size) + ".bin";
            files_.emplace_back(name, RandomBytes(size, static_cast<unsigned>(size)));
            dir_.Write("srv/" + name, files_.back().second);
        }
        server_ = std::make_unique<FileServerProcess>(dir_);
        ASSERT_EQ(server_->Status("State"), "serving");
    }
    bool Run(const std::string& command) { return std::system(("timeout 120 " + command).c_str()) == 0; }

    TempDir dir_;
    std::vector<std::pair<std::string, std::string>> files_;
    std::unique_ptr<FileServerProcess> server_;
};

TEST_F(FileServerClients, CurlFetchesByteExact)
{
    if (!HaveProgram("curl")) GTEST_SKIP() << "curl is not installed";
    for (const char* options : {"", "--tftp-blksize 1468", "--tftp-blksize 8", "--tftp-no-options"}) {
        for (const auto& [name, content] : files_) {
            const std::string out = dir_.File("curl.out");
            std::filesystem::remove(out);
            ASSERT_TRUE(Run("curl -sS " + std::string(options) + " -o " + out + " " + server_->Url(name)))
                << options << " " << name;
            EXPECT_EQ(ReadBytes(out), content) << options << " " << name;
        }
    }
}

TEST_F(FileServerClients, CurlFollowsTheBlockNumberPastItsWrap)
{
    if (!HaveProgram("curl")) GTEST_SKIP() << "curl is not installed";
    // 8-byte blocks: 70,000 blocks go past block 65,535.
    const std::string content = RandomBytes(8 * 70000 + 3, 7);
    dir_.Write("srv/wrap.bin", content);
    const std::string out = dir_.File("wrap.out");
    ASSERT_TRUE(Run("curl -sS --tftp-blksize 8 -o " + out + " " + server_->Url("wrap.bin")));
    EXPECT_EQ(ReadBytes(out), content);
}

TEST_F(FileServerClients, TftpHpaFetchesByteExact)
{
    if (!HaveProgram("tftp")) GTEST_SKIP() << "tftp (tftp-hpa) is not installed";
    const std::string port = std::to_string(server_->port());
    for (const auto& [name, content] : files_) {
        const std::string out = dir_.File("tftp.out");
        std::filesystem::remove(out);
        ASSERT_TRUE(Run("tftp -m binary 127.0.0.1 " + port + " -c get " + name + " " + out)) << name;
        EXPECT_EQ(ReadBytes(out), content) << name;
    }
    // Text mode: line ends travel as CR LF and come back as they were.
    dir_.Write("srv/notes.txt", "one\ntwo\r\nthree\n");
    const std::string out = dir_.File("notes.out");
    ASSERT_TRUE(Run("tftp -m ascii 127.0.0.1 " + port + " -c get notes.txt " + out));
    EXPECT_EQ(ReadBytes(out), "one\ntwo\r\nthree\n");
}

TEST_F(FileServerClients, TftpHpaFollowsTheBlockNumberPastItsWrap)
{
    if (!HaveProgram("tftp")) GTEST_SKIP() << "tftp (tftp-hpa) is not installed";
    // tftp-hpa asks for no options: 512-byte blocks, so 65,537 blocks are 32 MiB.
    const std::string content = RandomBytes(512 * 65537 + 100, 9);
    dir_.Write("srv/big.bin", content);
    const std::string out = dir_.File("big.out");
    ASSERT_TRUE(
        Run("tftp -m binary 127.0.0.1 " + std::to_string(server_->port()) + " -c get big.bin " + out));
    EXPECT_EQ(ReadBytes(out) == content, true);
}

}  // namespace
}  // namespace pontiq::test
