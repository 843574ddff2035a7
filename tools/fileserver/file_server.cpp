#include "tools/fileserver/file_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "app/ini_file.h"

namespace pontiq::fileserver {
namespace {

using Clock = std::chrono::steady_clock;

// Large enough for any datagram, so that an oversized request is seen whole and refused.
constexpr size_t kReceiveBuffer = 65536;

long ReadNumber(const IniFile& ini, const char* key, long def, long min, long max)
{
    const std::string text = ini.GetString(kIniSection, key, "");
    if (text.empty()) return def;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return def;
    return value;
}

Refusal RefusalFor(int error)
{
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return {kErrFileNotFound, "File not found"};
        case EXDEV:
        case ELOOP:
        case EACCES:
        case EPERM:
            return {kErrAccessViolation, "Access violation"};
        default:
            return {kErrNotDefined, std::strerror(error)};
    }
}

// Without openat2: open, then check that the file really lies below the folder.
OpenResult OpenBeneathFallback(int dirFd, const std::string& name, int flags)
{
    OpenResult result;
    const int fd = openat(dirFd, name.c_str(), flags);
    if (fd < 0) {
        result.refusal = RefusalFor(errno);
        return result;
    }
    char dirPath[PATH_MAX] = {};
    char filePath[PATH_MAX] = {};
    const std::string dirLink = "/proc/self/fd/" + std::to_string(dirFd);
    const std::string fileLink = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t d = readlink(dirLink.c_str(), dirPath, sizeof(dirPath) - 1);
    const ssize_t f = readlink(fileLink.c_str(), filePath, sizeof(filePath) - 1);
    std::string base(dirPath, d > 0 ? static_cast<size_t>(d) : 0);
    if (!base.empty() && base.back() != '/') base += '/';
    if (d <= 0 || f <= 0 ||
        std::string_view(filePath, static_cast<size_t>(f)).substr(0, base.size()) != base) {
        close(fd);
        result.refusal = {kErrAccessViolation, "Access violation"};
        return result;
    }
    result.fd = fd;
    return result;
}

}  // namespace

ServerConfig LoadConfig(const std::string& iniPath)
{
    const IniFile ini = IniFile::Load(iniPath);
    ServerConfig config;
    config.directory = ini.GetString(kIniSection, "Directory", "", kIniLongBuffer);
    config.address = ini.GetString(kIniSection, "Address", config.address);
    config.port = static_cast<uint16_t>(ReadNumber(ini, "Port", 69, 0, 65535));
    config.timeout = std::chrono::seconds(ReadNumber(ini, "Timeout", 1, 1, 255));
    config.retries = static_cast<int>(ReadNumber(ini, "Retries", 5, 0, 100));
    config.limits.maxBlockSize =
        static_cast<uint32_t>(ReadNumber(ini, "MaxBlockSize", kMaxBlockSize, kMinBlockSize, kMaxBlockSize));
    config.limits.maxWindowSize = static_cast<uint32_t>(ReadNumber(ini, "MaxWindowSize", 64, 1, 65535));
    config.maxTransfers = static_cast<size_t>(ReadNumber(ini, "MaxTransfers", 256, 1, 4096));
    return config;
}

OpenResult OpenBeneath(int dirFd, const std::string& name)
{
    OpenResult result;
    if (auto refusal = CheckFileName(name)) {
        result.refusal = *refusal;
        return result;
    }
    // Non-blocking, so that a FIFO in the folder cannot hold the server in open().
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    int fd = static_cast<int>(syscall(SYS_openat2, dirFd, name.c_str(), &how, sizeof(how)));
    if (fd < 0 && errno == ENOSYS) {
        result = OpenBeneathFallback(dirFd, name, flags);
        if (result.fd < 0) return result;
        fd = result.fd;
    } else if (fd < 0) {
        result.refusal = RefusalFor(errno);
        return result;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        result.fd = -1;
        result.refusal = {kErrAccessViolation, "Not a regular file"};
        return result;
    }
    result.fd = fd;
    return result;
}

struct FileServer::Session final : PacketSender {
    int socket = -1;
    int file = -1;
    std::pair<uint32_t, uint16_t> client;
    std::unique_ptr<TftpTransfer> transfer;
    std::thread thread;
    std::atomic<bool> done{false};

    ~Session() override
    {
        if (thread.joinable()) thread.join();
        if (socket >= 0) close(socket);
        if (file >= 0) close(file);
    }
    bool Send(std::span<const uint8_t> packet) override
    {
        ssize_t n;
        do {
            n = send(socket, packet.data(), packet.size(), 0);
        } while (n < 0 && errno == EINTR);
        return n == static_cast<ssize_t>(packet.size());
    }

    // The transfer's own loop, on its own thread. A blocking receive with a time-out, one system
    // call per answer; the server ends it by shutting the socket down, which wakes the receive.
    void Run(const std::atomic<bool>& stopping)
    {
        std::vector<uint8_t> buffer(kReceiveBuffer);
        std::chrono::milliseconds armed{-1};
        transfer->Start(Clock::now());
        while (!transfer->Finished() && !stopping) {
            // Almost always the full time-out, as every send renews the deadline: set it only
            // when it changes.
            auto left = std::chrono::ceil<std::chrono::milliseconds>(transfer->Deadline() - Clock::now());
            left = std::clamp(left, std::chrono::milliseconds(1), std::chrono::milliseconds(60000));
            if (left != armed) {
                const timeval tv{static_cast<time_t>(left.count() / 1000),
                                 static_cast<suseconds_t>(left.count() % 1000 * 1000)};
                setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
                armed = left;
            }
            const ssize_t got = recv(socket, buffer.data(), buffer.size(), 0);
            const Clock::time_point now = Clock::now();
            if (stopping) break;
            if (got > 0) {
                transfer->OnPacket(now, {buffer.data(), static_cast<size_t>(got)});
            } else if (got < 0 && errno == ECONNREFUSED) {
                break;  // the client's port is gone: nobody is left to send to
            }
            if (!transfer->Finished() && transfer->Deadline() <= now) transfer->OnTimer(now);
        }
        done = true;
    }
};

FileServer::FileServer(ServerConfig config) : config_(std::move(config))
{
}

FileServer::~FileServer()
{
    StopTransfers();
    if (socket_ >= 0) close(socket_);
    if (dirFd_ >= 0) close(dirFd_);
}

bool FileServer::Open(FileServerProblem& problem, std::string& detail)
{
    if (config_.directory.empty()) {
        problem = FileServerProblem::Folder;
        detail = "no Directory in section SERVER";
        return false;
    }
    dirFd_ = open(config_.directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        problem = FileServerProblem::Folder;
        detail = config_.directory + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(config_.port);
    if (inet_pton(AF_INET, config_.address.c_str(), &local.sin_addr) != 1) {
        problem = FileServerProblem::Other;
        detail = "bad Address " + config_.address;
        return false;
    }
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (socket_ < 0 || setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on)) != 0) {
        problem = FileServerProblem::Other;
        detail = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        const int error = errno;
        problem = error == EACCES || error == EPERM ? FileServerProblem::PortPermission
                  : error == EADDRINUSE             ? FileServerProblem::PortInUse
                                                    : FileServerProblem::Other;
        detail = "bind UDP port " + std::to_string(config_.port) + ": " + std::strerror(error);
        return false;
    }
    socklen_t length = sizeof(local);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
    boundPort_ = ntohs(local.sin_port);

    return true;
}

void FileServer::Refuse(const sockaddr_in& to, const in_addr& local, const Refusal& refusal)
{
    const std::vector<uint8_t> packet = ErrorPacket(refusal.code, refusal.message);
    iovec iov{const_cast<uint8_t*>(packet.data()), packet.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&to);
    msg.msg_namelen = sizeof(to);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    // Answer from the address the request was sent to.
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = local;
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof(info));
    sendmsg(socket_, &msg, MSG_DONTWAIT);
}

void FileServer::OnRequest()
{
    std::vector<uint8_t>& buffer = requestBuffer_;
    sockaddr_in from{};
    iovec iov{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[256];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof(from);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    const ssize_t n = recvmsg(socket_, &msg, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 || from.sin_family != AF_INET || from.sin_port == 0) return;

    in_addr local{};
    sockaddr_in bound{};
    socklen_t boundLength = sizeof(bound);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    local = bound.sin_addr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof(info));
            local = info.ipi_spec_dst;
        }
    }

    const size_t size = std::min(static_cast<size_t>(n), buffer.size());
    // An error packet is never answered, so that two peers cannot bounce errors for ever.
    if (size >= 2 && Be16(buffer.data()) == kOpError) return;
    auto parsed = ParseRequest({buffer.data(), size});
    if (auto* refusal = std::get_if<Refusal>(&parsed)) {
        Refuse(from, local, *refusal);
        return;
    }
    const Request& request = std::get<Request>(parsed);
    const auto key = std::make_pair(from.sin_addr.s_addr, from.sin_port);
    // A repeated request: the transfer it started repeats its own first packet.
    if (byClient_.count(key)) return;
    if (sessions_.size() >= config_.maxTransfers) {
        Refuse(from, local, {kErrNotDefined, "Server busy"});
        return;
    }
    StartTransfer(from, local, request);
}

void FileServer::StartTransfer(const sockaddr_in& client, const in_addr& local, const Request& request)
{
    OpenResult opened = OpenBeneath(dirFd_, request.fileName);
    if (opened.fd < 0) {
        Refuse(client, local, opened.refusal);
        return;
    }
    auto session = std::make_unique<Session>();
    session->file = opened.fd;
    session->client = {client.sin_addr.s_addr, client.sin_port};

    struct stat info {};
    fstat(opened.fd, &info);
    std::optional<uint64_t> size;
    if (!request.netascii) size = static_cast<uint64_t>(info.st_size);
    const Negotiated agreed = Negotiate(request.options, config_.limits, size);

    // A socket of its own (the transfer identifier) on the address the client spoke to.
    session->socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_addr = local;
    if (session->socket < 0 || bind(session->socket, reinterpret_cast<sockaddr*>(&own), sizeof(own)) != 0 ||
        connect(session->socket, reinterpret_cast<const sockaddr*>(&client), sizeof(client)) != 0) {
        Refuse(client, local, {kErrNotDefined, "No socket for the transfer"});
        return;
    }
    const size_t windowBytes = static_cast<size_t>(agreed.windowSize) * (agreed.blockSize + 4);
    if (windowBytes > 200 * 1024) {
        const int wanted = static_cast<int>(std::min<size_t>(windowBytes * 2, INT_MAX));
        setsockopt(session->socket, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof(wanted));
    }

    TftpTransfer::Settings settings;
    settings.blockSize = agreed.blockSize;
    settings.windowSize = agreed.windowSize;
    settings.timeout =
        agreed.timeoutSeconds ? std::chrono::milliseconds(agreed.timeoutSeconds * 1000) : config_.timeout;
    settings.maxRetries = config_.retries;
    settings.netascii = request.netascii;
    settings.oack = agreed.reply;
    session->transfer = std::make_unique<TftpTransfer>(opened.fd, std::move(settings), *session);

    try {
        session->thread = std::thread(&Session::Run, session.get(), std::cref(stopping_));
    } catch (const std::system_error&) {
        Refuse(client, local, {kErrNotDefined, "Server busy"});
        return;
    }
    byClient_[session->client] = session.get();
    sessions_.push_back(std::move(session));
}

void FileServer::Reap()
{
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->done) {
            byClient_.erase((*it)->client);
            it = sessions_.erase(it);  // joins its finished thread
        } else {
            ++it;
        }
    }
}

void FileServer::Run(int stopFd)
{
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        // Finished transfers are reaped at the next request, or within a second.
        const int n = poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        Reap();
        if (fds[0].revents) OnRequest();
    }
    StopTransfers();
}

void FileServer::StopTransfers()
{
    stopping_ = true;
    for (const auto& session : sessions_) shutdown(session->socket, SHUT_RDWR);
    sessions_.clear();  // joins every thread
    byClient_.clear();
}

}  // namespace pontiq::fileserver
