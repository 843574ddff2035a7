#include "ui/maintenance/upgrade_rules.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "store/value_format.h"
#include "ui/maintenance/device_action_rules.h"

namespace pontiq {

namespace {

std::string_view MacOf(const SelectionEntry& entry)
{
    return std::string_view(entry.mac, strnlen(entry.mac, sizeof(entry.mac)));
}

}  // namespace

bool HasBinExtension(std::string_view path)
{
    return path.ends_with(".bin") || path.ends_with(".BIN");
}

std::vector<UpgradeTypeItem> UpgradeTypeItems(const std::vector<SelectionEntry>& selection)
{
    std::vector<UpgradeTypeItem> items;
    for (const SelectionEntry& entry : selection) {
        std::string model = ModelName(static_cast<uint32_t>(entry.type_code));
        const bool seen = std::any_of(items.begin(), items.end(),
                                      [&](const UpgradeTypeItem& i) { return i.model == model; });
        if (seen) continue;
        const int32_t code = ModelCode(model);
        items.push_back({std::move(model), code});
    }
    return items;
}

int StageOneLength(size_t targets)
{
    return UpgradeRun::kTransferLimit * static_cast<int>((targets + 9) / 10);
}

bool IsTransferSettled(uint32_t status)
{
    return status == STATUS_OUTLINE || status == STATUS_UPGRADE_WAIT || status == STATUS_UPGRADE_SUCCESS ||
           status == STATUS_UPGRADE_FAIL;
}

FileServerHealth FileServerHealthOf(const FileServerStatus& status)
{
    FileServerHealth health;
    if (status.state != FileServerState::Failed) return health;
    switch (status.problem) {
        case FileServerProblem::PortPermission:
            health.fault = FileServerFault::PortPermission;
            break;
        case FileServerProblem::PortInUse:
            health.fault = FileServerFault::PortInUse;
            break;
        default:
            health.fault = FileServerFault::Other;
            break;
    }
    health.detail = status.detail;
    if (health.detail.empty() && status.problem != FileServerProblem::None) {
        health.detail = FileServerProblemWord(status.problem);
    }
    if (status.port > 0)
        health.detail += (health.detail.empty() ? "" : " ") + ("(port " + std::to_string(status.port) + ")");
    return health;
}

UpgradeRun::UpgradeRun(UpgradeIo io) : io_(std::move(io))
{
}

void UpgradeRun::Start(const std::vector<SelectionEntry>& selection, int32_t chosenType,
                       const UPGRADE_PAYLOAD& payload)
{
    payload_ = payload;
    targets_.clear();
    for (const SelectionEntry& entry : selection) {
        if (entry.type_code == chosenType) targets_.push_back(entry);
    }
    {
        std::lock_guard lock(mutex_);
        pending_ = targets_;
        batch_.clear();
        batchTicks_ = 0;
    }
    allSent_ = false;
    stageOneLength_ = pontiq::StageOneLength(targets_.size());
    stageOneTicks_ = 0;
    stageTwoTicks_ = 0;
    passesLeft_ = kDiscoveryPasses;
}

bool UpgradeRun::SendBatch()
{
    std::lock_guard lock(mutex_);
    if (pending_.empty()) return false;
    batchTicks_ = 0;
    batch_ = std::exchange(pending_, {});
    const auto bytes = std::as_bytes(std::span(&payload_, 1));
    const std::span<const uint8_t> payload(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    for (const SelectionEntry& entry : batch_) {
        if (io_.clearUpgradeFail) io_.clearUpgradeFail(MacOf(entry));
        if (io_.send) io_.send(entry, MSG_UPGRADE, payload);
    }
    return true;
}

UpgradeRun::WatchStep UpgradeRun::BatchWatchTick()
{
    WatchStep step;
    std::vector<SelectionEntry> waiting;
    {
        std::lock_guard lock(mutex_);
        ++batchTicks_;
        bool settled = true;
        if (batchTicks_ < kTransferLimit) {
            for (const SelectionEntry& entry : batch_) {
                if (!IsTransferSettled(io_.status ? io_.status(MacOf(entry)) : STATUS_OUTLINE)) {
                    settled = false;
                    break;
                }
            }
        }
        if (!settled) return step;
        step.finished = true;
        for (const SelectionEntry& entry : batch_) {
            if (io_.isUpgradeWaiting && io_.isUpgradeWaiting(MacOf(entry))) waiting.push_back(entry);
        }
    }
    for (const SelectionEntry& entry : waiting) {
        if (io_.send) io_.send(entry, MSG_UPGRADE_START, {});
        ++step.startsSent;
    }
    step.nextBatch = SendBatch();
    if (!step.nextBatch) allSent_ = true;
    return step;
}

UpgradeRun::StageOneStep UpgradeRun::StageOneTick()
{
    StageOneStep step;
    ++stageOneTicks_;
    if (stageOneTicks_ < stageOneLength_ && !allSent_.load()) {
        step.progress = stageOneTicks_;
        return step;
    }
    step.ended = true;
    step.allFailed = std::all_of(targets_.begin(), targets_.end(), [this](const SelectionEntry& entry) {
        return io_.status && io_.status(MacOf(entry)) == STATUS_UPGRADE_FAIL;
    });
    stageTwoTicks_ = 0;
    passesLeft_ = kDiscoveryPasses;
    return step;
}

UpgradeRun::StageTwoStep UpgradeRun::StageTwoTick()
{
    StageTwoStep step;
    ++stageTwoTicks_;
    // Passes at 124, 127 and 130.
    if (passesLeft_ > 0 && stageTwoTicks_ == kStageTwoLength - 3 * passesLeft_ + 3) {
        --passesLeft_;
        if (io_.discover) io_.discover();
        step.discovered = true;
    }
    if (stageTwoTicks_ < kStageTwoLength) {
        step.progress = stageTwoTicks_;
    } else {
        step.progress = kStageTwoLength;
        step.finished = true;
    }
    return step;
}

std::vector<SelectionEntry> UpgradeRun::Pending() const
{
    std::lock_guard lock(mutex_);
    return pending_;
}

std::vector<SelectionEntry> UpgradeRun::Batch() const
{
    std::lock_guard lock(mutex_);
    return batch_;
}

int UpgradeRun::BatchTicks() const
{
    std::lock_guard lock(mutex_);
    return batchTicks_;
}

bool WaitForFileServer(const ServerWaitIo& io, const std::atomic<bool>& stop, bool* stopped)
{
    const auto pause = [&](std::chrono::milliseconds ms) {
        return io.pause ? io.pause(ms, stop) : PauseUnlessStopped(ms, stop);
    };
    if (stopped) *stopped = false;
    if (!pause(std::chrono::milliseconds(3000))) {
        if (stopped) *stopped = true;
        return false;
    }
    for (int look = 0; look < 3; ++look) {
        if (io.isRunning && io.isRunning()) return true;
        if (!pause(std::chrono::milliseconds(1000))) {
            if (stopped) *stopped = true;
            return false;
        }
    }
    return false;
}

}  // namespace pontiq
