// The device side of the protocol for a whole set of devices. Socket-free: the machine side
// (sim_net.cpp, or a test) feeds it what arrives and the clock, and it sends through a
// SimTransport. Single-threaded; nothing here locks.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "comm/protocol.h"
#include "store/ap_info.h"
#include "tools/devicesim/sim_devices.h"
#include "tools/devicesim/sim_options.h"
#include "tools/devicesim/tftp_fetch.h"

namespace pontiq::sim {

class SimTransport {
public:
    virtual ~SimTransport() = default;
    // One datagram from a device address and port.
    virtual void Send(const Endpoint& from, const Endpoint& to, std::span<const uint8_t> bytes) = 0;
    // A socket of its own on a device address, for one TFTP transfer; -1 when none can be had.
    virtual int OpenTransfer(const Ipv4Address& local) = 0;
    virtual void SendTransfer(int handle, const Endpoint& to, std::span<const uint8_t> bytes) = 0;
    virtual void CloseTransfer(int handle) = 0;
    // A device took a new address.
    virtual void AddressChanged(const Ipv4Address& /*from*/, const Ipv4Address& /*to*/) {}
    // One EVENT line for the log.
    virtual void Event(std::string_view /*line*/) {}
};

// Ports the devices listen on, and send from.
inline constexpr uint16_t kDevicePortDiscovery = kPortDiscoveryRequest;  // 9786
inline constexpr uint16_t kDevicePortCommand = kPortCommand;             // 9787

enum class UpgradePhase { None, Fetching, Waiting, Failed, Flashing, Done };

struct SimDevice {
    DeviceSpec setup;      // as generated; restore returns to it
    ap_info_stu record{};  // current settings
    Ipv4Address ip{};      // current address
    std::vector<config_otherwl_basic> survey;
    bool silent = false;
    bool goingDown = false;  // answered a restart request, not yet down
    bool restarting = false;
    uint64_t epoch = 0;  // bumped when the device goes down: what it had scheduled is dropped
    std::chrono::steady_clock::time_point bootTime{};
    uint32_t upTimeAtBoot = 0;
    // The PC that discovered it, and the heartbeats to it.
    bool discovered = false;
    Ipv4Address pc{};
    uint64_t heartbeatRun = 0;
    std::map<uint16_t, uint8_t> forcedResult;              // message type -> result byte of its reply
    std::map<uint16_t, std::vector<uint8_t>> lastPayload;  // message type -> payload last received
    // Firmware upgrade.
    UpgradePhase upgrade = UpgradePhase::None;
    std::string upgradeFile;
    uint32_t upgradeSize = 0;
    uint64_t upgradeBytes = 0;
    uint32_t upgradeCrc = 0;
    std::string upgradeError;
    Ipv4Address upgradePc{};
    int transfer = -1;
    // Counters.
    uint64_t heartbeats = 0;
    uint64_t heartbeatAcks = 0;
    uint64_t commands = 0;
    uint64_t restarts = 0;
    uint64_t rawAnswers = 0;
    uint64_t wirelessSets = 0;      // MSG_SET_WIRELESS received
    size_t lastWirelessLength = 0;  // payload bytes of the last one
};

struct SimStats {
    uint64_t discoveryRequests = 0;
    uint64_t discoveryReplies = 0;
    uint64_t rawFrames = 0;  // raw discovery frames for one of our MACs
    uint64_t rawBadChecksum = 0;
    uint64_t commands = 0;         // commands for one of our devices
    uint64_t foreignCommands = 0;  // for a MAC we do not play
    uint64_t malformed = 0;
    uint64_t sent = 0;
    uint64_t lost = 0;        // dropped by the loss fault
    uint64_t duplicated = 0;  // sent twice by the dup fault
    uint64_t mute = 0;        // not sent: the device is silent or restarting
    uint64_t getInfo = 0;
    uint64_t heartbeats = 0;
    uint64_t heartbeatAcks = 0;
    uint64_t restarts = 0;
    uint64_t moves = 0;
    uint64_t surveys = 0;
    uint64_t upgradesFetched = 0;
    uint64_t upgradesFailed = 0;
    uint64_t upgradesDone = 0;
};

class DeviceSimulator final {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    DeviceSimulator(const SimOptions& options, SimTransport& transport, TimePoint now);
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;

    // A datagram to port 9786 (normally the directed broadcast of the segment).
    void OnDiscoveryRequest(TimePoint now, const Endpoint& from, std::span<const uint8_t> datagram);
    // An Ethernet frame seen on the device-side interface; answered only when it is a
    // discovery request addressed to the MAC of one of our devices.
    void OnRawFrame(TimePoint now, std::span<const uint8_t> frame);
    // A datagram to the multicast group on port 9787.
    void OnCommand(TimePoint now, const Endpoint& from, std::span<const uint8_t> datagram);
    void OnTransferDatagram(TimePoint now, int handle, const Endpoint& from,
                            std::span<const uint8_t> datagram);

    // Runs what is due by `now`; NextDue is when something is due next.
    void RunDue(TimePoint now);
    std::optional<TimePoint> NextDue() const;

    // One control command line; the answer's lines, the last one "END".
    std::string Control(TimePoint now, std::string_view line);
    bool QuitRequested() const { return quit_; }

    const SimStats& Stats() const { return stats_; }
    const std::vector<SimDevice>& Devices() const { return devices_; }
    const SimDevice* Find(const MacAddress& mac) const;
    const SimOptions& Options() const { return options_; }

    // The record as the device would send it now (up time current).
    ap_info_stu CurrentRecord(const SimDevice& d, TimePoint now) const;
    uint32_t UpTime(const SimDevice& d, TimePoint now) const;

private:
    struct Scheduled {
        TimePoint at;
        uint64_t seq;
        std::function<void(TimePoint)> run;
        bool operator>(const Scheduled& o) const { return at != o.at ? at > o.at : seq > o.seq; }
    };

    SimDevice* FindMutable(const MacAddress& mac);
    void At(TimePoint when, std::function<void(TimePoint)> run);
    // At `when`, unless the device went down in between.
    void AtForDevice(size_t index, TimePoint when, std::function<void(SimDevice&, TimePoint)> run);

    // Everything a device sends passes here: silence, loss, delay, duplicates.
    void Emit(size_t index, TimePoint now, uint16_t fromPort, const Endpoint& to,
              std::vector<uint8_t> datagram);
    void ReplyResult(size_t index, TimePoint now, const Endpoint& pc, uint16_t msgType, uint8_t result);
    void AnswerDiscovery(size_t index, TimePoint now, const Ipv4Address& pc);

    void HandleCommand(size_t index, TimePoint now, const Endpoint& from, uint16_t msgType,
                       std::span<const uint8_t> payload);
    void MarkDiscovered(size_t index, TimePoint now, const Ipv4Address& pc);
    void ScheduleHeartbeat(size_t index, TimePoint when);
    void Restart(size_t index, TimePoint now, std::function<void(SimDevice&)> whileDown);
    void MoveTo(size_t index, const IP_BLOCK& block);
    void StartUpgrade(size_t index, TimePoint now, const Ipv4Address& pc, const UPGRADE_PAYLOAD& request);
    void FinishTransfer(size_t index, TimePoint now);
    void PollTransfer(size_t index, TimePoint now);
    void SendSurvey(size_t index, TimePoint now, const Ipv4Address& pc);
    void Event(const SimDevice& d, std::string_view what);

    std::string ControlState(const SimDevice& d, TimePoint now) const;

    SimOptions options_;
    SimTransport& transport_;
    std::vector<SimDevice> devices_;
    std::unordered_map<uint64_t, size_t> byMac_;
    std::unordered_map<int, size_t> byTransfer_;
    std::unordered_map<int, std::unique_ptr<TftpFetch>> fetches_;
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> queue_;
    uint64_t seq_ = 0;
    std::mt19937_64 faultRng_;
    SimStats stats_;
    bool quit_ = false;
};

uint64_t MacKey(const uint8_t* mac);

}  // namespace pontiq::sim
