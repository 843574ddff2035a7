// The communication engine: the one object through which the utility talks to its devices.
// It owns the sockets, the receive threads with their queues and workers, the aging and
// retransmission threads, the online-device table, the retransmission table and the local
// adapter address list. Results reach the windows only through the device store and the
// two queries ListDiscoveredDevices and IsSurveyComplete; the engine never calls a window.
//
// Lock order (outer to inner): the table lock or the retransmission mutex, then the address
// lock, then the store's own lock. No code takes the table lock or the retransmission mutex
// while it holds the address lock, and no handler sends or calls the store while it holds
// the table lock. The lock of the values awaiting a reply is taken alone or last, and nothing is
// sent or stored while it is held.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "comm/auto_reset_event.h"
#include "comm/capture.h"
#include "comm/engine_store.h"
#include "comm/local_adapter.h"
#include "comm/operate_character.h"
#include "comm/protocol.h"
#include "comm/udp_socket.h"
#include "store/ap_info.h"

namespace pontiq {

class CSqlManagement;
class OnlineTable;
class RetryTable;

// Every datagram the engine sends leaves through one of these calls; tests inject a recorder
// and see each datagram byte for byte, without a socket.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;
    // A discovery request from a socket bound to fromIp and the discovery-request port, with
    // broadcast on, leaving through the adapter `adapterName`, to toIp:port. An empty fromIp
    // means the engine's own send socket (any local address), used for the 255.255.255.255
    // fallback.
    virtual bool SendBroadcast(std::string_view fromIp, std::string_view adapterName, std::string_view toIp,
                               uint16_t port, std::span<const uint8_t> datagram) = 0;
    // A command to the multicast group from the local adapter address fromIp.
    virtual bool SendMulticast(std::string_view fromIp, std::span<const uint8_t> datagram) = 0;
    // A complete Ethernet frame handed to the capture device.
    virtual bool SendRaw(const std::string& device, std::span<const uint8_t> frame) = 0;
    // Between these two calls the calling thread may send many commands; a sender may then
    // keep one socket per source address instead of opening one per command. Nested calls
    // count; the outermost EndBatch closes what was kept.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};

using CaptureDeviceQuery = std::function<std::vector<std::string>()>;

// Told of every command reply the reply worker takes, after its own handling: the sender's
// address, the header MAC text, the message type and payload byte 0 (0 when there is none).
// Runs on the reply worker thread; it must not call back into the engine.
using CommandReplyObserver =
    std::function<void(std::string_view ip, std::string_view mac, uint16_t msgType, uint8_t result)>;

// Ports, addresses and periods. The program uses the defaults; tests and the benchmark bind
// elsewhere so that they never meet a real device.
struct EngineOptions {
    std::string bindIp = "0.0.0.0";  // the four engine sockets
    uint16_t discoveryReplyPort = kPortDiscoveryReply;
    uint16_t discoveryRequestPort = kPortDiscoveryRequest;
    uint16_t commandPort = kPortCommand;  // heartbeats arrive here; commands leave from and to it
    uint16_t commandReplyPort = kPortCommandReply;
    std::string multicastGroup = kMulticastGroup;
    std::chrono::milliseconds agingPeriod{10000};
    std::string localEncoding;  // empty: the process locale's encoding
};

// The seams to the machine; each empty member means the real one.
struct EngineServices {
    std::shared_ptr<DatagramSender> sender;
    AdapterQuery adapterQuery;           // QueryHostAdapters
    CaptureDeviceQuery captureQuery;     // FindCaptureDevices
    RawFrameSender rawFrameSender;       // SendRawFrame; used by the real sender only
    CommandReplyObserver replyObserver;  // none: nobody is told
};

// The three receive queues, in the order of their ports 9785, 9787, 9788.
enum class ReceiveQueue : uint8_t { Discovery = 0, Heartbeat = 1, Reply = 2 };
inline constexpr size_t kReceiveQueueCount = 3;
inline constexpr size_t kReceiveQueueCapacity = 65536;  // datagrams per queue; more are dropped
// Devices heard but not yet described (state 1) the table holds at most; discovery replies from
// further new MACs are dropped unanswered, so a flood of invented MACs cannot grow memory
// without limit. Several times what one search describes in practice (a few thousand); a
// larger bound only lets a flood keep the engine repeating MSG_GET_INFO for longer.
inline constexpr size_t kMaxHeardOnlyDevices = 16384;

// One accepted datagram as a receive thread queued it.
struct ReceivedDatagram {
    UdpEndpoint from;
    std::vector<uint8_t> bytes;  // exactly the received bytes, 16..1472 of them

    std::string SenderText() const { return from.AddressText(); }
};

// One device the engine has heard from; keyed by the MAC text.
struct OnlineDevice {
    std::string ip;
    std::string pendingIp;  // new address while a MSG_SET_IP is outstanding
    std::string mac;        // "%02x:%02x:%02x:%02x:%02x:%02x"
    uint16_t typeCode = 0;
    uint8_t state = 1;  // 1 seen by discovery only, 2 device record received
    uint8_t countdown = 3;
    uint32_t upTime = 0;
    char version[32] = {};
    uint8_t versionLen = 0;
    uint8_t workMode = 0;
    uint8_t modeButtonStatus = 0;
    char name[32] = {};  // local encoding
    uint8_t nameLen = 0;
    char ssid[32] = {};  // local encoding
    uint8_t ssidLen = 0;
    uint8_t channel = 0;
    uint8_t bridgeTransparent = 0;
    uint8_t kelvra = 0;
};

// One tracked request that is sent again until its reply arrives or its sends run out.
struct RetryEntry {
    uint64_t id = 0;
    int32_t remaining = 0;
    std::string ip;
    uint16_t msgType = 0;
    std::vector<uint8_t> payload;
    std::string mac;
    // When the next pass repeats it: one interval after the previous send. max() until the
    // first send has gone out, so a pass that runs in between cannot send it twice.
    std::chrono::steady_clock::time_point due = std::chrono::steady_clock::time_point::max();
};

struct EngineCounters {
    std::array<uint64_t, kReceiveQueueCount> queued{};    // accepted and queued
    std::array<uint64_t, kReceiveQueueCount> refused{};   // failed the port filter or the MAC filter
    std::array<uint64_t, kReceiveQueueCount> dropped{};   // queue full
    std::array<uint64_t, kReceiveQueueCount> handled{};   // given to the handler
    std::array<uint64_t, kReceiveQueueCount> oversize{};  // longer than 1472 bytes
    uint64_t heardOnlyDropped = 0;  // discovery replies of new MACs beyond kMaxHeardOnlyDevices
    uint64_t shortRecords = 0;      // device records with fewer bytes than their header declares
};

// What one save of the configuration sheet sends to one device; texts in the local encoding.
struct ConfigurationApply {
    std::string ip;
    std::string mac;
    uint32_t typeCode = 0;  // used when the store holds no record of the device
    bool nameChanged = false;
    bool wirelessChanged = false;
    bool rebootChanged = false;
    bool vlanChanged = false;
    bool ipChanged = false;
    NAME_PAYLOAD name{};
    RADIO_BLOCK radio{};
    RADIO_EXTENSION radioExtension{};
    REBOOT_BLOCK reboot{};
    VLAN_BLOCK vlan{};
    EXTENSION_BLOCK vlanExtension{};
    IP_BLOCK ipBlock{};
};

class CommEngine final {
public:
    // The program's engine, created on first use with the program's store; destroyed at exit,
    // which sends MSG_RELEASE to every known device.
    static CommEngine& Instance();

    explicit CommEngine(CSqlManagement& store, EngineOptions options = {}, EngineServices services = {});
    ~CommEngine();
    CommEngine(const CommEngine&) = delete;
    CommEngine& operator=(const CommEngine&) = delete;

    // ---- Life cycle ---------------------------------------------------------------------

    // Opens the four sockets, starts the receive, worker, aging and retransmission threads and
    // reads the adapters. A second call replaces the threads and sockets. False at the first
    // step that fails; what was made before stays.
    bool Start(int32_t retransmissionMax, int32_t retransmissionIntervalMs);
    // Stops every thread, closes the sockets and sends MSG_RELEASE to every device of the
    // table. Runs once; the destructor calls it.
    void Shutdown();

    // Start's first step: a negative maximum counts as 0 (one send), an interval below the
    // floor (a non-numeric setting reads as 0) is raised to it, so the thread cannot spin.
    void ConfigureRetransmission(int32_t retransmissionMax, int32_t retransmissionIntervalMs);
    int32_t RetransmissionMax() const { return retransmissionMax_.load(); }
    int32_t RetransmissionIntervalMs() const { return retransmissionInterval_.load(); }
    static constexpr int32_t kMinRetransmissionIntervalMs = 100;

    // ---- Sending ------------------------------------------------------------------------

    // Multicasts the command from every local address whose subnet holds `ip`, the device named
    // by `mac` in the header. True when at least one send went out; a tracked request (any type
    // but 1, 6, 15, 17) that went out is then repeated until its reply arrives.
    bool SendCommand(std::string_view ip, uint16_t msgType, std::span<const uint8_t> payload,
                     std::string_view mac, bool track);

    // ---- Searching ----------------------------------------------------------------------

    // nullopt: the normal search; a MAC: the MAC search in target-MAC mode.
    void StartSearch(std::optional<MacAddress> targetMac);
    // One discovery request out of every local adapter address.
    void Discover();
    void ReleaseDevices();
    void ClearDevices();
    void PurgeStore();
    void LoadCaptureDevices();
    // The usable adapters; also refreshes the adapter address list.
    std::vector<AdapterInfo> GetLocalAdapters();

    // Records of the devices heard but not yet described (status 10), in table order; with a
    // filter, only those whose address, MAC or version text contains it.
    std::vector<ap_info_stu> ListDiscoveredDevices(size_t maxCount, std::string_view filter = {}) const;
    bool IsSurveyComplete() const { return surveyComplete_.load(); }
    bool IsTargetMacMode() const { return targetMacMode_.load(); }

    // Called right before every MSG_SET_IP, with the address the command goes to.
    void SetPendingAddress(std::string_view mac, std::string_view currentIp, std::string_view newIp);

    // ---- Device commands: one datagram each; texts in the local encoding ----------------

    bool SetName(std::string_view ip, std::string_view mac, std::string_view name);
    // Records the pending address (the block's ip) before it sends.
    bool SetIpSettings(std::string_view ip, std::string_view mac, const IP_BLOCK& block);
    // The payload length follows the type code stored for the device (list W), `typeCode` when
    // the store holds no record of it.
    bool SetWireless(std::string_view ip, std::string_view mac, uint32_t typeCode, const RADIO_BLOCK& radio,
                     const RADIO_EXTENSION& extension);
    bool SetTimedReboot(std::string_view ip, std::string_view mac, const REBOOT_BLOCK& block);
    // Likewise by list V.
    bool SetVlan(std::string_view ip, std::string_view mac, uint32_t typeCode, const VLAN_BLOCK& vlan,
                 const EXTENSION_BLOCK& extension);
    bool StartSiteSurvey(std::string_view ip, std::string_view mac);
    bool SetBridge(std::string_view ip, std::string_view mac, const BRIDGE_PAYLOAD& payload);
    bool Reboot(std::string_view ip, std::string_view mac);
    bool Restore(std::string_view ip, std::string_view mac);
    bool PrepareUpgrade(std::string_view ip, std::string_view mac, std::string_view fileName,
                        uint32_t fileSize);
    bool StartUpgrade(std::string_view ip, std::string_view mac);
    bool SetTransparentBridge(std::string_view ip, std::string_view mac, uint8_t value);
    bool SetKelvra(std::string_view ip, std::string_view mac, uint8_t value);
    // Name, wireless, timed reboot, VLAN, then the pending address and IP, each when changed.
    // Returns how many of them went out.
    int ApplyConfiguration(ConfigurationApply apply);

    // ---- Receiving: what the threads run, callable directly ------------------------------

    // The receive threads' step after a receive: port filter, MAC filter, bounded queue, wake.
    bool OnDatagram(ReceiveQueue queue, const UdpEndpoint& from, std::span<const uint8_t> bytes);
    // One worker batch: takes the whole queue and hands it, oldest first, to its handler.
    size_t ProcessQueue(ReceiveQueue queue);

    void HandleDiscoveryReply(const ReceivedDatagram& datagram);
    void HandleHeartbeat(const ReceivedDatagram& datagram);
    void DispatchCommandReply(const ReceivedDatagram& datagram);

    // One pass of the aging thread and of the retransmission thread. A pass repeats the
    // requests that are due at `now`; it returns when the next one falls due (max(): none).
    void AgeTick();
    void RetransmitTick();
    std::chrono::steady_clock::time_point RetransmitTick(std::chrono::steady_clock::time_point now);

    // ---- Looking inside (tests, benchmark) -----------------------------------------------

    std::vector<OnlineDevice> OnlineDevices() const;
    std::vector<RetryEntry> RetryEntries() const;
    std::vector<AdapterAddress> AdapterAddresses() const;
    std::vector<std::string> CaptureDevices() const;
    EngineCounters Counters() const;
    size_t QueueDrops(ReceiveQueue queue) const;
    // Set commands whose values wait for the device's answer (name, transparent bridge, Kelvra).
    size_t AwaitedValueCount() const;
    const EngineOptions& Options() const { return options_; }

private:
    class SocketSender;
    // Groups the sends of one pass or batch on the calling thread (DatagramSender::BeginBatch).
    class SendBatch final {
    public:
        explicit SendBatch(DatagramSender& sender) : sender_(sender) { sender_.BeginBatch(); }
        ~SendBatch() { sender_.EndBatch(); }
        SendBatch(const SendBatch&) = delete;
        SendBatch& operator=(const SendBatch&) = delete;

    private:
        DatagramSender& sender_;
    };
    struct DiscoveryTarget;
    class WorkerBatch;

    bool OpenSockets();
    bool StartThreads();
    void StopThreadsAndSockets();
    void ReceiveLoop(ReceiveQueue queue);
    void WorkerLoop(ReceiveQueue queue);
    void AgingLoop();
    void RetransmissionLoop();
    // Waits until `period` passed (true) or the periodic threads are stopped (false).
    bool WaitPeriod(std::chrono::milliseconds period);

    void MergeAddresses(const std::vector<AdapterInfo>& adapters);
    uint64_t AddRetry(std::string_view ip, uint16_t msgType, std::span<const uint8_t> payload,
                      std::string_view mac);
    void RemoveRetry(uint64_t id);
    void Acknowledge(std::string_view ip, uint16_t msgType, std::string_view mac);
    void SendRawDiscovery(const DiscoveryTarget& target, const MacAddress& targetMac);
    uint32_t StoredTypeCode(std::string_view mac, uint32_t fallback);
    // The handlers' store writes: collected while a worker batch of this engine runs on the
    // calling thread and applied in one transaction, else at once.
    engine_store::StoreWriter Writes();
    // Sets the survey-complete flag once the page that completes it is in the store.
    void MarkSurveyComplete();
    // The outgoing text rule, cut to `limit` bytes without splitting a UTF-8 character.
    std::string OutgoingText(std::string_view local, size_t limit) const;
    void SetTargetMac(const MacAddress& mac);
    MacAddress TargetMac() const;
    // The values of a MSG_SET_NAME, MSG_SET_TRANSPARENT_BRIDGE or MSG_SET_KELVRA are kept from the
    // send until the device answers; a success answer writes them into the store. 0: not kept.
    uint64_t AwaitReply(uint16_t msgType, std::string_view mac, std::span<const uint8_t> payload);
    void DropAwaited(uint64_t id);
    void StoreAwaitedValue(uint16_t msgType, std::string_view mac, bool success);
    static size_t Index(ReceiveQueue q) { return static_cast<size_t>(q); }

    CSqlManagement& store_;
    const EngineOptions options_;
    COperateCharacter text_;
    std::shared_ptr<DatagramSender> sender_;
    AdapterQuery adapterQuery_;
    CaptureDeviceQuery captureQuery_;
    CommandReplyObserver replyObserver_;

    std::atomic<bool> targetMacMode_{false};
    std::atomic<uint64_t> targetMac_{0};

    std::mutex lifeMutex_;  // Start and Shutdown
    bool shutDown_ = false;
    std::mutex sendSocketLock_;
    UdpSocket sendSocket_;
    std::array<UdpSocket, kReceiveQueueCount> receiveSockets_;
    std::array<std::thread, kReceiveQueueCount> receiveThreads_;
    std::array<std::thread, kReceiveQueueCount> workerThreads_;
    std::thread agingThread_;
    std::thread retransmissionThread_;
    std::array<AutoResetEvent, kReceiveQueueCount> wakeEvents_;
    std::array<std::atomic<bool>, kReceiveQueueCount> receiveStop_{};
    std::array<std::atomic<bool>, kReceiveQueueCount> workerStop_{};
    std::atomic<bool> periodicStop_{false};
    std::mutex periodicMutex_;
    std::condition_variable periodicCv_;

    std::array<std::mutex, kReceiveQueueCount> queueLocks_;
    std::array<std::deque<ReceivedDatagram>, kReceiveQueueCount> queues_;

    mutable std::mutex tableLock_;
    std::unique_ptr<OnlineTable> table_;

    std::mutex adapterLock_;
    mutable std::mutex addressLock_;
    std::deque<AdapterAddress> addresses_;

    mutable std::mutex captureLock_;
    std::vector<std::string> captureDevices_;

    std::atomic<bool> surveyComplete_{false};
    std::atomic<int32_t> retransmissionMax_{3};
    std::atomic<int32_t> retransmissionInterval_{2000};
    mutable std::mutex retryMutex_;
    std::unique_ptr<RetryTable> retries_;

    // One per device and command type, the last sent. The lock is innermost: nothing is sent and
    // the store is not called while it is held.
    struct AwaitedValue {
        uint64_t id = 0;
        uint16_t msgType = 0;
        std::string mac;
        std::vector<uint8_t> payload;
    };
    mutable std::mutex awaitedLock_;
    std::vector<AwaitedValue> awaited_;
    uint64_t nextAwaitedId_ = 1;  // under awaitedLock_

    struct AtomicCounters {
        std::array<std::atomic<uint64_t>, kReceiveQueueCount> queued{};
        std::array<std::atomic<uint64_t>, kReceiveQueueCount> refused{};
        std::array<std::atomic<uint64_t>, kReceiveQueueCount> dropped{};
        std::array<std::atomic<uint64_t>, kReceiveQueueCount> handled{};
        std::array<std::atomic<uint64_t>, kReceiveQueueCount> oversize{};
        std::atomic<uint64_t> heardOnlyDropped{0};
        std::atomic<uint64_t> shortRecords{0};
    };
    AtomicCounters counters_;
};

}  // namespace pontiq
