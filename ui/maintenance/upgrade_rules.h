// The firmware upgrade without a window: the file rules, the Type list, the file-server seam and
// the run itself (batches, batch watch, the two timed stages). CUpgradeConfigDlg drives an
// UpgradeRun from its timers and shows what the steps return.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_server_control.h"
#include "comm/protocol.h"
#include "store/ap_info.h"

namespace pontiq {

// The path ends in ".bin" or ".BIN"; any other capitalisation is refused.
bool HasBinExtension(std::string_view path);

// One item of the Type list: a model name and the type code it maps back to.
struct UpgradeTypeItem {
    std::string model;
    int32_t code = 0;
};
// The distinct model names of the selection's type codes, in first-seen order.
std::vector<UpgradeTypeItem> UpgradeTypeItems(const std::vector<SelectionEntry>& selection);

// 120 s per started group of ten targets.
int StageOneLength(size_t targets);

// A stored status that ends a device's transfer for the batch watch: Outline, Upgrade wait,
// Upgrade success, Upgrade fail.
bool IsTransferSettled(uint32_t status);

// What is known against the file server serving the firmware.
enum class FileServerFault {
    None,
    PortPermission,  // its port needs root or cap_net_bind_service
    PortInUse,       // another program holds its port
    Other,           // it could not be run, or ended, or cannot read the folder
};

struct FileServerHealth {
    FileServerFault fault = FileServerFault::None;
    std::string detail;  // the server's own words, for the message
};

// The file server the devices fetch the firmware from, as the upgrade needs it. The dialog's
// worker calls IsRunning and Health; implementations serialise their calls.
class FileServerControl {
public:
    virtual ~FileServerControl() = default;
    // Ends a running server, points it at `folder` and starts it; false when it could not be run.
    virtual bool Start(const std::string& folder) = 0;
    // Ends every server process (and its helper).
    virtual void Stop() = 0;
    // A server process exists.
    virtual bool IsRunning() = 0;
    virtual FileServerHealth Health() = 0;
};

// What the upgrade is told of a status the FileServer reported.
FileServerHealth FileServerHealthOf(const FileServerStatus& status);

// What a run reads and sends; every member is called on the thread that runs the step.
struct UpgradeIo {
    std::function<uint32_t(std::string_view mac)> status;        // GetDeviceStatus
    std::function<void(std::string_view mac)> clearUpgradeFail;  // 9 -> 1
    std::function<bool(std::string_view mac)> isUpgradeWaiting;  // stored status 6
    std::function<void(const SelectionEntry& entry, uint16_t msgType, std::span<const uint8_t> payload)> send;
    std::function<void()> discover;
};

class UpgradeRun {
public:
    static constexpr int kTransferLimit = 120;  // seconds a batch may take
    static constexpr int kStageTwoLength = 130;
    static constexpr int kDiscoveryPasses = 3;

    explicit UpgradeRun(UpgradeIo io);

    // Pending and targets: the selection's entries of `chosenType`, in order. Resets every count.
    void Start(const std::vector<SelectionEntry>& selection, int32_t chosenType,
               const UPGRADE_PAYLOAD& payload);

    // Moves every pending device into a new batch and tells each to fetch the file (a stored
    // "Upgrade fail" is cleared first). False when nothing was pending: the watch stays off.
    // Called by the worker for the first batch and by the watch for the next.
    bool SendBatch();

    struct WatchStep {
        bool finished = false;   // the batch is over: the watch stops
        int startsSent = 0;      // MSG_UPGRADE_START sent to the batch's waiting devices
        bool nextBatch = false;  // a further batch went out: the watch starts again
    };
    // Timer 3000, every second while a batch transfers.
    WatchStep BatchWatchTick();

    struct StageOneStep {
        int progress = 0;
        bool ended = false;      // stage 2 begins
        bool allFailed = false;  // with ended: every target reports Upgrade fail, the dialog closes
    };
    // Timer 1000.
    StageOneStep StageOneTick();

    struct StageTwoStep {
        int progress = 0;
        bool discovered = false;
        bool finished = false;  // the run is over
    };
    // Timer 2000; the first call begins stage 2.
    StageTwoStep StageTwoTick();

    const std::vector<SelectionEntry>& Targets() const { return targets_; }
    std::vector<SelectionEntry> Pending() const;
    std::vector<SelectionEntry> Batch() const;
    bool AllSent() const { return allSent_.load(); }
    int StageOneLength() const { return stageOneLength_; }
    int StageOneTicks() const { return stageOneTicks_; }
    int StageTwoTicks() const { return stageTwoTicks_; }
    int BatchTicks() const;
    int PassesLeft() const { return passesLeft_; }
    const UPGRADE_PAYLOAD& Payload() const { return payload_; }

private:
    UpgradeIo io_;
    UPGRADE_PAYLOAD payload_{};
    std::vector<SelectionEntry> targets_;

    // The worker sends the first batch while the window's timers run: pending and batch are
    // shared with it.
    mutable std::mutex mutex_;
    std::vector<SelectionEntry> pending_;
    std::vector<SelectionEntry> batch_;
    int batchTicks_ = 0;
    std::atomic<bool> allSent_{false};

    int stageOneLength_ = 0;
    int stageOneTicks_ = 0;
    int stageTwoTicks_ = 0;
    int passesLeft_ = kDiscoveryPasses;
};

// The worker's wait for the file server: 3 s, then up to three looks for its process 1 s apart.
// Returns whether it was found; false also when `stop` ended the wait (see `stopped`).
struct ServerWaitIo {
    std::function<bool()> isRunning;
    std::function<bool(std::chrono::milliseconds, const std::atomic<bool>& stop)> pause;  // false: stopped
};
bool WaitForFileServer(const ServerWaitIo& io, const std::atomic<bool>& stop, bool* stopped = nullptr);

}  // namespace pontiq
