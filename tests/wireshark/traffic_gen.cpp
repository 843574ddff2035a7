// Makes the traffic the dissector test captures: inside the PC namespace of a simulated LAN, a
// real engine searches the simulated devices and sends one command of every type, the MAC
// search sends its raw frame, and two malformed datagrams go out. A one-file TFTP answer lets a
// device fetch "firmware" so that it reports MSG_UPGRADE_STATUS.
//
//   traffic_gen EXPECT_FILE
//
// EXPECT_FILE receives "key<TAB>value" lines the checking script compares with what tshark
// decodes. Exit 0 when every step was answered, 1 otherwise.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/protocol.h"

using namespace pontiq;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kName[] = "楼顶east7号";
constexpr char kFirmware[] = "fw-2.0.bin";
constexpr uint32_t kFirmwareSize = 100;
constexpr char kBridgeSsid[] = "bridge-ap";
constexpr char kBridgeKey[] = "12345678";

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& tick = {})
{
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        if (done()) return true;
        if (tick) tick();
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

std::string Text(const char* field, size_t width)
{
    return std::string(field, strnlen(field, width));
}

std::string IpText(const uint8_t ip[4])
{
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

// Answers one read request on port 69 with a single short DATA block and waits for its ACK.
class OneFileTftp {
public:
    OneFileTftp()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(69);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~OneFileTftp()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    void Serve()
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 100) <= 0) continue;
                uint8_t buf[600];
                sockaddr_in from{};
                socklen_t fl = sizeof from;
                const ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
                if (n < 4 || buf[1] != 1) continue;  // RRQ only
                const int tid = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                std::vector<uint8_t> data{0, 3, 0, 1};
                data.resize(4 + kFirmwareSize, 0x5a);
                for (int tries = 0; tries < 5; ++tries) {
                    sendto(tid, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&from), fl);
                    pollfd q{tid, POLLIN, 0};
                    if (poll(&q, 1, 500) > 0) {
                        uint8_t ack[16];
                        if (recv(tid, ack, sizeof ack, 0) >= 4 && ack[1] == 4) break;
                    }
                }
                close(tid);
            }
        });
    }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A datagram straight to the command port of the multicast group, past the engine's codec.
void SendRaw(const std::string& fromIp, const std::vector<uint8_t>& bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, fromIp.c_str(), &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    in_addr iface = local.sin_addr;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPortCommand);
    inet_pton(AF_INET, kMulticastGroup, &to.sin_addr);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: traffic_gen EXPECT_FILE\n";
        return 2;
    }
    std::ofstream expect(argv[1]);
    char pattern[] = "/tmp/pontiq_trafficgen_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    int failures = 0;
    auto fail = [&](const std::string& what) {
        std::cerr << "traffic_gen: " << what << "\n";
        ++failures;
    };
    {
        auto store = engine_store::CreateStore(dir + "/");
        EngineOptions options;
        options.localEncoding = "UTF-8";
        CommEngine engine(*store, options);
        if (!engine.Start(3, 300)) {
            std::cerr << "traffic_gen: the engine did not start\n";
            return 1;
        }
        const auto addresses = engine.AdapterAddresses();
        if (addresses.empty()) {
            std::cerr << "traffic_gen: no adapter address\n";
            return 1;
        }
        const std::string pcIp = addresses[0].ip;

        auto stored = [&] {
            std::vector<std::string> macs;
            engine_store::GetAllMacs(*store, macs);
            return macs;
        };
        engine.StartSearch(std::nullopt);
        auto last = Clock::now();
        if (!WaitUntil([&] { return stored().size() >= 4; }, 15s,
                       [&] {
                           if (Clock::now() - last > 1s) {
                               engine.Discover();
                               last = Clock::now();
                           }
                       })) {
            fail("fewer than 4 devices stored");
        }
        const auto macs = stored();
        if (macs.size() < 3) return 1;
        std::vector<ap_info_stu> records(macs.size());
        for (size_t i = 0; i < macs.size(); ++i) engine_store::GetDevice(*store, records[i], macs[i]);
        const ap_info_stu& a = records[0];
        const std::string ip = IpText(a.ip_block.ip);
        const std::string mac = macs[0];
        expect << "mac\t" << mac << "\n";
        expect << "ip\t" << ip << "\n";
        expect << "type\t" << a.ap_type << "\n";
        expect << "record_name\t" << Text(a.ap_name, a.ap_name_len) << "\n";
        expect << "name\t" << kName << "\n";
        expect << "wireless_len\t" << (InListW(a.ap_type) ? 344 : 328) << "\n";
        expect << "vlan_len\t" << (InListV(a.ap_type) ? 26 : 10) << "\n";
        expect << "ssid\t" << Text(a.radio_block.security.ssid, a.radio_block.security.ssid_len) << "\n";
        expect << "bridge_ssid\t" << kBridgeSsid << "\n";
        expect << "bridge_key\t" << kBridgeKey << "\n";
        expect << "firmware\t" << kFirmware << "\n";
        expect << "firmware_size\t" << kFirmwareSize << "\n";
        expect << "restart_time\t" << 185 << "\n";

        // Generous: a loaded machine is slow, and the wait ends as soon as the answer is in.
        auto answered = [&](std::chrono::milliseconds t = 20s) {
            return WaitUntil([&] { return engine.RetryEntries().empty(); }, t);
        };
        auto step = [&](const char* what, bool sent) {
            if (!sent) fail(std::string(what) + ": not sent");
            if (!answered()) fail(std::string(what) + ": not answered");
        };

        step("set name", engine.SetName(ip, mac, kName));
        IP_BLOCK ipBlock = a.ip_block;
        ipBlock.ip_mode = 1;
        ipBlock.apply = 1;
        step("set ip", engine.SetIpSettings(ip, mac, ipBlock));
        RADIO_EXTENSION radioExtension{};
        radioExtension.wl_dfs = a.extension_block.wl_dfs;
        step("set wireless", engine.SetWireless(ip, mac, a.ap_type, a.radio_block, radioExtension));
        REBOOT_BLOCK reboot{1, 0x7f, 185};
        step("timed reboot", engine.SetTimedReboot(ip, mac, reboot));
        engine.StartSiteSurvey(ip, mac);
        if (!WaitUntil([&] { return engine.IsSurveyComplete(); }, 20s)) fail("survey not complete");
        BRIDGE_PAYLOAD bridge{};
        bridge.security.work_mode = 2;
        std::memcpy(bridge.security.ap_mac, "\x02\x10\x20\x30\x40\x50", 6);
        bridge.security.channel = 6;
        std::memcpy(bridge.security.ssid, kBridgeSsid, sizeof kBridgeSsid - 1);
        bridge.security.ssid_len = sizeof kBridgeSsid - 1;
        bridge.security.secure_mode = 3;
        std::memcpy(bridge.security.key, kBridgeKey, sizeof kBridgeKey - 1);
        bridge.security.key_len = sizeof kBridgeKey - 1;
        bridge.ip_block = ipBlock;
        bridge.ip_block.apply = 0;
        step("set bridge", engine.SetBridge(ip, mac, bridge));
        step("transparent bridge", engine.SetTransparentBridge(ip, mac, 1));
        step("kelvra", engine.SetKelvra(ip, mac, 1));

        OneFileTftp tftp;
        if (!tftp.Ok()) fail("no TFTP port");
        tftp.Serve();
        step("upgrade", engine.PrepareUpgrade(ip, mac, kFirmware, kFirmwareSize));
        if (!WaitUntil([&] { return engine_store::GetDeviceStatus(*store, mac) == 6; }, 20s)) {
            fail("no upgrade status");
        }
        step("upgrade start", engine.StartUpgrade(ip, mac));

        // A heartbeat handled, and so acknowledged (the simulator beats every second here),
        // before the MAC search's target mode takes no more.
        constexpr auto kBeats = static_cast<size_t>(ReceiveQueue::Heartbeat);
        if (!WaitUntil([&] { return engine.Counters().handled[kBeats] >= 1; }, 20s)) fail("no heartbeat");

        // The MAC search's raw frame, to the second device.
        const std::string rawTarget = macs[1];
        expect << "raw_target\t" << rawTarget << "\n";
        MacAddress target{};
        unsigned m[6] = {};
        std::sscanf(rawTarget.c_str(), "%x:%x:%x:%x:%x:%x", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]);
        for (int i = 0; i < 6; ++i) target[i] = static_cast<uint8_t>(m[i]);
        engine.StartSearch(target);
        // The target's answer to the frame describes it again: the frame and its answer are out.
        if (!WaitUntil([&] { return stored() == std::vector<std::string>{rawTarget}; }, 20s)) {
            fail("the MAC search found not only its target");
        }

        // Two malformed datagrams: a payload shorter than its header says, and a cut header.
        std::vector<uint8_t> shortPayload(16 + 20, 0);
        const ProtocolHeader h{kMagic, 0, MSG_SET_WIRELESS, 1, 0, {0x02, 0, 0, 0, 0, 0x99}, 328};
        std::memcpy(shortPayload.data(), &h, sizeof h);
        SendRaw(pcIp, shortPayload);
        SendRaw(pcIp, {0x86, 0x19, 0, 0, 4, 0, 1, 0, 0, 0});

        // VLAN, reboot and restore restart their devices: last, on three devices.
        VLAN_BLOCK vlan = a.vlan_block;
        vlan.apply = 0;
        step("set vlan", engine.SetVlan(ip, mac, a.ap_type, vlan, a.extension_block));
        step("reboot", engine.Reboot(IpText(records[1].ip_block.ip), macs[1]));
        step("restore", engine.Restore(IpText(records[2].ip_block.ip), macs[2]));
        engine.Shutdown();  // MSG_RELEASE to every device
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return failures == 0 ? 0 : 1;
}
