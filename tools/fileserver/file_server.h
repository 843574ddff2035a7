// The FileServer: a read-only TFTP server for one folder. The calling thread answers requests;
// each transfer runs on a thread of its own with a socket of its own, connected to its client
// (so ten devices fetching at once get the processor share of ten transfers).
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/file_server_status.h"
#include "tools/fileserver/tftp_packet.h"
#include "tools/fileserver/tftp_transfer.h"

namespace pontiq::fileserver {

inline constexpr const char* kIniSection = "SERVER";

struct ServerConfig {
    std::string directory;                    // "Directory": the only folder served
    std::string address = "0.0.0.0";          // "Address"
    uint16_t port = 69;                       // "Port"
    std::chrono::milliseconds timeout{1000};  // "Timeout" in seconds, unless a client asks for another
    int retries = 5;                          // "Retries": repeats of one unanswered send
    Limits limits;                            // "MaxBlockSize", "MaxWindowSize"
    size_t maxTransfers = 256;                // "MaxTransfers": transfers at once
};

// Reads section "SERVER" of the INI file; missing keys keep their defaults, unusable values too.
ServerConfig LoadConfig(const std::string& iniPath);

// Opens path below the folder dirFd names, never leaving it (no "..", no symbolic link out, no
// absolute path); only regular files. A refusal says what to answer.
struct OpenResult {
    int fd = -1;
    Refusal refusal;
};
OpenResult OpenBeneath(int dirFd, const std::string& name);

class FileServer final {
public:
    explicit FileServer(ServerConfig config);
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    // Opens the folder and binds the port; on failure says why.
    bool Open(FileServerProblem& problem, std::string& detail);
    uint16_t Port() const { return boundPort_; }
    // Serves until stopFd becomes readable (a signalfd for SIGTERM, for instance).
    void Run(int stopFd);

private:
    struct Session;
    void OnRequest();
    void Reap();
    void StopTransfers();
    void Refuse(const sockaddr_in& to, const in_addr& local, const Refusal& refusal);
    void StartTransfer(const sockaddr_in& client, const in_addr& local, const Request& request);

    ServerConfig config_;
    int dirFd_ = -1;
    int socket_ = -1;
    std::atomic<bool> stopping_{false};  // ends every transfer thread (with a socket shutdown)
    uint16_t boundPort_ = 0;
    std::vector<uint8_t> requestBuffer_ = std::vector<uint8_t>(65536);
    std::list<std::unique_ptr<Session>> sessions_;
    std::map<std::pair<uint32_t, uint16_t>, Session*> byClient_;
};

}  // namespace pontiq::fileserver
