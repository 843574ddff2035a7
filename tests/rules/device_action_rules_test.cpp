#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "store/value_format.h"
#include "tests/rules/selection_entries.h"
#include "ui/maintenance/device_action_rules.h"

namespace pontiq {
namespace {

using std::chrono::milliseconds;

using test::Entry;
using test::Mac;

// ---- Reboot / restore sending order ----

// The routine on a virtual clock: the pause advances it instead of sleeping.
struct ActionRecorder {
    struct Send {
        std::string mac;
        long atMs;
    };
    std::vector<Send> sends;
    std::vector<std::string> bridged;  // MACs that have a bridged station
    long nowMs = 0;
    bool stopInPause = false;
    std::atomic<bool> stop{false};

    DeviceActionIo Io()
    {
        DeviceActionIo io;
        io.hasBridgedStation = [this](std::string_view mac) {
            return std::find(bridged.begin(), bridged.end(), std::string(mac)) != bridged.end();
        };
        io.send = [this](const SelectionEntry& e) { sends.push_back({Mac(e), nowMs}); };
        io.pause = [this](milliseconds ms, const std::atomic<bool>& s) {
            if (stopInPause) stop = true;
            if (s.load()) return false;
            nowMs += static_cast<long>(ms.count());
            return true;
        };
        return io;
    }
};

TEST(DeviceActionOrder, BridgedAccessPointsGoFirstAndTheRest200MsLater)
{
    struct Case {
        const char* what;
        std::vector<int> bridged;                    // selection indexes with a bridged station
        std::vector<std::pair<int, long>> expected;  // selection index, virtual send time
    };
    const Case cases[] = {
        {"none bridged: one pass after the wait", {}, {{0, 200}, {1, 200}, {2, 200}}},
        {"the last is an access point", {2}, {{2, 0}, {0, 200}, {1, 200}}},
        {"two access points keep their order", {2, 0}, {{0, 0}, {2, 0}, {1, 200}}},
        {"all bridged: nothing after the wait", {0, 1, 2}, {{0, 0}, {1, 0}, {2, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<SelectionEntry> selection = {Entry(1), Entry(2), Entry(3)};
        ActionRecorder rec;
        for (int i : c.bridged) rec.bridged.push_back(Mac(selection[static_cast<size_t>(i)]));
        EXPECT_EQ(RunDeviceAction(selection, rec.Io(), rec.stop), 3);
        ASSERT_EQ(rec.sends.size(), c.expected.size());
        for (size_t k = 0; k < c.expected.size(); ++k) {
            EXPECT_EQ(rec.sends[k].mac, Mac(selection[static_cast<size_t>(c.expected[k].first)])) << k;
            EXPECT_EQ(rec.sends[k].atMs, c.expected[k].second) << k;
        }
    }
}

TEST(DeviceActionOrder, StopEndsTheRunBetweenDevicesAndDuringTheWait)
{
    const std::vector<SelectionEntry> selection = {Entry(1), Entry(2), Entry(3)};
    {
        ActionRecorder rec;
        rec.bridged = {Mac(selection[1])};
        rec.stopInPause = true;  // a new run asks this one to end while it waits
        EXPECT_EQ(RunDeviceAction(selection, rec.Io(), rec.stop), 1);
        ASSERT_EQ(rec.sends.size(), 1u);
        EXPECT_EQ(rec.sends[0].mac, Mac(selection[1]));
    }
    {
        ActionRecorder rec;
        rec.stop = true;
        EXPECT_EQ(RunDeviceAction(selection, rec.Io(), rec.stop), 0);
        EXPECT_TRUE(rec.sends.empty());
    }
    {
        // The real pause returns at once when asked to stop, without waiting out its time.
        std::atomic<bool> stop{true};
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(PauseUnlessStopped(milliseconds(60000), stop));
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    }
}

}  // namespace
}  // namespace pontiq
