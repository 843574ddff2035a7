#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store/value_format.h"
#include "tests/rules/selection_entries.h"
#include "ui/maintenance/upgrade_rules.h"

namespace pontiq {
namespace {

using std::chrono::milliseconds;

using test::Entry;
using test::Mac;

// ---- Upgrade file and Type rules ----

TEST(UpgradeRules, OnlyLowerOrUpperCaseBinExtensionPasses)
{
    struct Case {
        const char* path;
        bool ok;
    };
    const Case cases[] = {
        {"/fw/image.bin", true},
        {"/fw/image.BIN", true},
        {"/fw/image.Bin", false},
        {"/fw/image.bIN", false},
        {"/fw/image.bin.txt", false},
        {"/fw/imagebin", false},
        {".bin", true},
        {"bin", false},
        {"", false},
        {"/fw/image.bi", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HasBinExtension(c.path), c.ok) << c.path;
}

TEST(UpgradeRules, TypeListHoldsEachModelOnceInFirstSeenOrder)
{
    const int32_t a = static_cast<int32_t>(ModelCodes().at(3));
    const int32_t b = static_cast<int32_t>(ModelCodes().at(1));
    const std::vector<UpgradeTypeItem> items =
        UpgradeTypeItems({Entry(1, a), Entry(2, b), Entry(3, a), Entry(4, b)});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].model, ModelName(static_cast<uint32_t>(a)));
    EXPECT_EQ(items[0].code, a);
    EXPECT_EQ(items[1].model, ModelName(static_cast<uint32_t>(b)));
    EXPECT_EQ(items[1].code, b);
    EXPECT_TRUE(UpgradeTypeItems({}).empty());
}

TEST(UpgradeRules, StageOneLastsTwoMinutesPerStartedGroupOfTen)
{
    const std::pair<size_t, int> cases[] = {{1, 120}, {10, 120}, {11, 240}, {20, 240}, {21, 360}, {0, 0}};
    for (const auto& [targets, seconds] : cases) EXPECT_EQ(StageOneLength(targets), seconds) << targets;
}

TEST(UpgradeRules, FileServerWaitLooksThreeTimesAfterThreeSeconds)
{
    struct Case {
        int foundAtLook;  // 0: never
        bool stopAt;      // stop during the first wait
        std::vector<long> pauses;
        bool found;
    };
    const Case cases[] = {
        {1, false, {3000}, true},
        {3, false, {3000, 1000, 1000}, true},
        {0, false, {3000, 1000, 1000, 1000}, false},
        {0, true, {}, false},
    };
    for (const Case& c : cases) {
        std::vector<long> pauses;
        int looks = 0;
        std::atomic<bool> stop{false};
        ServerWaitIo io;
        io.isRunning = [&] { return ++looks == c.foundAtLook; };
        io.pause = [&](milliseconds ms, const std::atomic<bool>&) {
            if (c.stopAt) return false;
            pauses.push_back(static_cast<long>(ms.count()));
            return true;
        };
        bool stopped = false;
        EXPECT_EQ(WaitForFileServer(io, stop, &stopped), c.found);
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(stopped, c.stopAt);
    }
}

// ---- Upgrade run ----

class UpgradeRunTest : public ::testing::Test {
protected:
    struct Sent {
        std::string mac;
        uint16_t type;
        size_t payloadSize;
    };

    UpgradeIo Io()
    {
        UpgradeIo io;
        io.status = [this](std::string_view mac) {
            std::lock_guard lock(ioMutex);
            auto it = status.find(std::string(mac));
            return it == status.end() ? uint32_t{STATUS_OUTLINE} : it->second;
        };
        io.clearUpgradeFail = [this](std::string_view mac) {
            std::lock_guard lock(ioMutex);
            cleared.emplace_back(mac);
            auto it = status.find(std::string(mac));
            if (it != status.end() && it->second == STATUS_UPGRADE_FAIL) it->second = STATUS_ONLINE;
        };
        io.isUpgradeWaiting = [this](std::string_view mac) {
            return status[std::string(mac)] == STATUS_UPGRADE_WAIT;
        };
        io.send = [this](const SelectionEntry& e, uint16_t type, std::span<const uint8_t> payload) {
            std::lock_guard lock(ioMutex);
            sent.push_back({Mac(e), type, payload.size()});
        };
        io.discover = [this] { ++discoveries; };
        return io;
    }

    std::vector<SelectionEntry> Selection(int count, int32_t type = 21)
    {
        std::vector<SelectionEntry> s;
        for (int i = 0; i < count; ++i) {
            s.push_back(Entry(i, type));
            status[Mac(s.back())] = STATUS_ONLINE;
        }
        return s;
    }

    std::vector<std::string> SentOf(uint16_t type) const
    {
        std::vector<std::string> macs;
        for (const Sent& s : sent) {
            if (s.type == type) macs.push_back(s.mac);
        }
        return macs;
    }

    void SetAll(const std::vector<SelectionEntry>& entries, uint32_t value)
    {
        for (const SelectionEntry& e : entries) status[Mac(e)] = value;
    }

    std::mutex ioMutex;  // the first batch is sent from another thread
    std::map<std::string, uint32_t> status;
    std::vector<std::string> cleared;
    std::vector<Sent> sent;
    int discoveries = 0;
    UpgradeRun run{Io()};
    UPGRADE_PAYLOAD payload = *MakeUpgradePayload("fw.bin", 1000);
};

TEST_F(UpgradeRunTest, OnlyTheChosenTypeIsToldToFetchAndAFailedOneIsClearedFirst)
{
    std::vector<SelectionEntry> selection = Selection(3, 21);
    selection.push_back(Entry(7, 22));
    status[Mac(selection[3])] = STATUS_ONLINE;
    status[Mac(selection[1])] = STATUS_UPGRADE_FAIL;  // left over from an earlier run

    run.Start(selection, 21, payload);
    EXPECT_EQ(run.Targets().size(), 3u);
    EXPECT_EQ(run.StageOneLength(), 120);
    ASSERT_TRUE(run.SendBatch());
    EXPECT_EQ(SentOf(MSG_UPGRADE),
              (std::vector<std::string>{Mac(selection[0]), Mac(selection[1]), Mac(selection[2])}));
    EXPECT_EQ(sent[0].payloadSize, sizeof(UPGRADE_PAYLOAD));
    EXPECT_EQ(cleared.size(), 3u);
    EXPECT_EQ(status[Mac(selection[1])], uint32_t{STATUS_ONLINE});
    EXPECT_EQ(status[Mac(selection[3])], uint32_t{STATUS_ONLINE}) << "the other type keeps its status";
    EXPECT_TRUE(run.Pending().empty());
    EXPECT_FALSE(run.SendBatch()) << "nothing pending: no second batch";
}

TEST_F(UpgradeRunTest, BatchEndsWhenEveryDeviceSettledOrAfterTheTransferLimit)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> statuses;  // of the three batch devices from tick 1 on
        int finishedAtTick;
        size_t starts;  // MSG_UPGRADE_START sent (to the devices in Upgrade wait)
    };
    const Case cases[] = {
        {"all waiting", {6, 6, 6}, 1, 3},          {"waiting, failed and gone", {6, 9, 0}, 1, 1},
        {"one still fetching", {6, 7, 6}, 120, 2}, {"none answers", {1, 1, 1}, 120, 0},
        {"all done already", {8, 8, 8}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sent.clear();
        const std::vector<SelectionEntry> selection = Selection(3);
        run.Start(selection, 21, payload);
        ASSERT_TRUE(run.SendBatch());
        for (size_t i = 0; i < selection.size(); ++i) status[Mac(selection[i])] = c.statuses[i];
        int tick = 0;
        UpgradeRun::WatchStep step;
        while (!step.finished && tick < 200) {
            step = run.BatchWatchTick();
            ++tick;
        }
        EXPECT_EQ(tick, c.finishedAtTick);
        EXPECT_EQ(SentOf(MSG_UPGRADE_START).size(), c.starts);
        EXPECT_FALSE(step.nextBatch);
        EXPECT_TRUE(run.AllSent());
    }
}

TEST_F(UpgradeRunTest, StageOneEndsAtItsLengthOrTheTickAfterAllWasSent)
{
    const std::vector<SelectionEntry> selection = Selection(12);
    run.Start(selection, 21, payload);
    EXPECT_EQ(run.StageOneLength(), 240);
    ASSERT_TRUE(run.SendBatch());
    EXPECT_EQ(run.Batch().size(), 12u) << "a batch takes every pending device";

    // Without the all-sent flag the bar runs to the stage's length.
    for (int t = 1; t < 240; ++t) {
        const UpgradeRun::StageOneStep step = run.StageOneTick();
        ASSERT_FALSE(step.ended) << t;
        ASSERT_EQ(step.progress, t);
    }
    EXPECT_TRUE(run.StageOneTick().ended);

    // All devices in Upgrade wait after 20 s: the watch's next tick sends the starts, the
    // stage's next tick ends it.
    run.Start(selection, 21, payload);
    ASSERT_TRUE(run.SendBatch());
    for (int t = 0; t < 20; ++t) {
        ASSERT_FALSE(run.BatchWatchTick().finished);
        ASSERT_FALSE(run.StageOneTick().ended);
    }
    SetAll(selection, STATUS_UPGRADE_WAIT);
    sent.clear();
    EXPECT_TRUE(run.BatchWatchTick().finished);
    EXPECT_EQ(SentOf(MSG_UPGRADE_START).size(), 12u);
    const UpgradeRun::StageOneStep end = run.StageOneTick();
    EXPECT_TRUE(end.ended);
    EXPECT_FALSE(end.allFailed);
}

TEST_F(UpgradeRunTest, StageOneReportsWhenEveryTargetFailed)
{
    std::vector<SelectionEntry> selection = Selection(2);
    selection.push_back(Entry(9, 22));  // another type: not a target, its status does not count
    status[Mac(selection[2])] = STATUS_ONLINE;
    run.Start(selection, 21, payload);
    ASSERT_TRUE(run.SendBatch());
    status[Mac(selection[0])] = STATUS_UPGRADE_FAIL;
    status[Mac(selection[1])] = STATUS_UPGRADE_FAIL;
    ASSERT_TRUE(run.BatchWatchTick().finished);
    EXPECT_TRUE(SentOf(MSG_UPGRADE_START).empty());
    const UpgradeRun::StageOneStep step = run.StageOneTick();
    EXPECT_TRUE(step.ended);
    EXPECT_TRUE(step.allFailed);

    // One success among the failures: stage 2 runs.
    run.Start(selection, 21, payload);
    ASSERT_TRUE(run.SendBatch());
    status[Mac(selection[0])] = STATUS_UPGRADE_FAIL;
    status[Mac(selection[1])] = STATUS_UPGRADE_SUCCESS;
    ASSERT_TRUE(run.BatchWatchTick().finished);
    EXPECT_FALSE(run.StageOneTick().allFailed);
}

TEST_F(UpgradeRunTest, StageTwoDiscoversAt124And127And130AndEndsAt130)
{
    run.Start(Selection(1), 21, payload);
    std::vector<int> discoveredAt;
    int finishedAt = 0;
    for (int t = 1; t <= 140 && finishedAt == 0; ++t) {
        const UpgradeRun::StageTwoStep step = run.StageTwoTick();
        if (step.discovered) discoveredAt.push_back(t);
        if (step.finished) {
            finishedAt = t;
            EXPECT_EQ(step.progress, 130);
        } else {
            EXPECT_EQ(step.progress, t);
        }
    }
    EXPECT_EQ(discoveredAt, (std::vector<int>{124, 127, 130}));
    EXPECT_EQ(discoveries, 3);
    EXPECT_EQ(finishedAt, 130);
}

TEST_F(UpgradeRunTest, FirstBatchFromTheWorkerWhileTheWindowTicks)
{
    // The worker sends the first batch while the stage-1 and follow-up timers already run.
    const std::vector<SelectionEntry> selection = Selection(10);
    run.Start(selection, 21, payload);
    std::thread worker([this] { EXPECT_TRUE(run.SendBatch()); });
    for (int t = 0; t < 50; ++t) {
        EXPECT_FALSE(run.StageOneTick().ended);
        EXPECT_FALSE(run.AllSent());
        (void)run.Pending();
    }
    worker.join();
    EXPECT_EQ(run.Batch().size(), 10u);
    {
        std::lock_guard lock(ioMutex);
        for (auto& [mac, value] : status) value = STATUS_UPGRADE_WAIT;
    }
    EXPECT_TRUE(run.BatchWatchTick().finished);
    EXPECT_EQ(SentOf(MSG_UPGRADE_START).size(), 10u);
}

}  // namespace
}  // namespace pontiq
