// Retransmission and aging, driven by their ticks.
#include <future>

#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using Clock = std::chrono::steady_clock;

// Passes of the retransmission thread, each one interval after the previous one.
class RetransmitTest : public EngineTest {
protected:
    void Pass()
    {
        at_ += std::chrono::milliseconds(engine_->RetransmissionIntervalMs());
        engine_->RetransmitTick(at_);
    }
    Clock::time_point at_ = Clock::now();
};
using AgingTest = EngineTest;

// Sends of `type` that went out, each as (from address, device MAC).
size_t CountSends(const std::vector<Sent>& sent, uint16_t type)
{
    return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [&](const Sent& s) {
        return s.kind == Sent::Multicast && s.Type() == type;
    }));
}

TEST_F(RetransmitTest, SendsUntilTheMaximumThenDropsTheEntry)
{
    struct Case {
        int32_t max;
        size_t sends;  // in total, the first one included
    };
    for (const Case c : {Case{3, 4}, Case{0, 1}, Case{1, 2}, Case{-2, 1}}) {
        SCOPED_TRACE(c.max);
        engine_->ConfigureRetransmission(c.max, 2000);
        ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
        at_ = Clock::now();
        size_t sends = CountSends(sender_->Take(), MSG_REBOOT);
        int passes = 0;
        while (!engine_->RetryEntries().empty() && passes < 10) {
            Pass();
            ++passes;
            sends += CountSends(sender_->Take(), MSG_REBOOT);
        }
        EXPECT_EQ(sends, c.sends);
        // Removed at the pass after the last repeat.
        EXPECT_EQ(passes, static_cast<int>(c.sends));
    }
}

TEST_F(RetransmitTest, RequestIsFirstDueOneIntervalAfterItsSend)
{
    engine_->ConfigureRetransmission(3, 2000);
    const Clock::time_point before = Clock::now();
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    const Clock::time_point after = Clock::now();
    sender_->Take();
    // A pass just after the send repeats nothing and uses up no repeat.
    const Clock::time_point next = engine_->RetransmitTick(after + std::chrono::milliseconds(1999));
    EXPECT_EQ(CountSends(sender_->Take(), MSG_REBOOT), 0u);
    EXPECT_GE(next, before + std::chrono::milliseconds(2000));
    EXPECT_LE(next, after + std::chrono::milliseconds(2000));
    ASSERT_EQ(engine_->RetryEntries().size(), 1u);
    EXPECT_EQ(engine_->RetryEntries()[0].remaining, 3);
    // Due one interval after the send; the next repeat one interval after that.
    const Clock::time_point again = engine_->RetransmitTick(next);
    EXPECT_EQ(CountSends(sender_->Take(), MSG_REBOOT), 1u);
    EXPECT_EQ(again, next + std::chrono::milliseconds(2000));
    EXPECT_EQ(engine_->RetryEntries()[0].remaining, 2);
    // Nothing left: nothing due.
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_REBOOT, kMacA, 0));
    EXPECT_EQ(engine_->RetransmitTick(again), Clock::time_point::max());
}

TEST_F(RetransmitTest, PassBetweenAddingTheEntryAndTheFirstSendDoesNotSendIt)
{
    // The retransmission thread runs while the first send is still on its way: the request
    // must go out once, with all its repeats left.
    std::future<void> pass;
    sender_->onSend = [&](const Sent& s) {
        if (s.Type() != MSG_REBOOT || pass.valid()) return;
        pass = std::async(std::launch::async,
                          [&] { engine_->RetransmitTick(Clock::now() + std::chrono::hours(1)); });
        // A pass that tried to send would wait for this send to finish: it cannot end here.
        pass.wait_for(std::chrono::seconds(30));
    };
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    pass.wait();
    sender_->onSend = nullptr;
    EXPECT_EQ(CountSends(sender_->Take(), MSG_REBOOT), 1u);
    ASSERT_EQ(engine_->RetryEntries().size(), 1u);
    EXPECT_EQ(engine_->RetryEntries()[0].remaining, engine_->RetransmissionMax());
}

TEST_F(RetransmitTest, RepeatsAreTheSameDatagram)
{
    REBOOT_BLOCK block{1, 0x7f, 125};
    ASSERT_TRUE(engine_->SetTimedReboot("192.168.0.50", Text(kMacA), block));
    const std::vector<Sent> first = sender_->Take();
    at_ = Clock::now();
    Pass();
    const std::vector<Sent> again = sender_->Take();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(first[0].bytes, again[0].bytes);
    EXPECT_EQ(again[0].from, "192.168.0.10");
}

TEST_F(RetransmitTest, OnlyAReplyOfTheSameTypeFromTheSameAddressAndMacAcknowledges)
{
    struct Case {
        const char* from;
        MacAddress mac;
        uint16_t type;
        bool acknowledged;
    };
    const Case cases[] = {
        {"192.168.0.50", kMacA, MSG_REBOOT, true},
        {"192.168.0.51", kMacA, MSG_REBOOT, false},   // another address
        {"192.168.0.50", kMacB, MSG_REBOOT, false},   // another device
        {"192.168.0.50", kMacA, MSG_RESTORE, false},  // another type
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
        Receive(ReceiveQueue::Reply, c.from, BuildResultReply(21, c.type, c.mac, 1));
        EXPECT_EQ(engine_->RetryEntries().empty(), c.acknowledged);
        // The right reply clears the table for the next case.
        Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_REBOOT, kMacA, 1));
        ASSERT_TRUE(engine_->RetryEntries().empty());
    }
}

TEST_F(RetransmitTest, ReplyBeforeTheSendReturnsStillCancelsTheRepeats)
{
    // A device on a fast link answers while the sending thread is still inside SendCommand.
    sender_->onSend = [&](const Sent& s) {
        if (s.Type() != MSG_REBOOT) return;
        engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.50"),
                            BuildResultReply(21, MSG_REBOOT, kMacA, 0));
        engine_->ProcessQueue(ReceiveQueue::Reply);
    };
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    EXPECT_TRUE(engine_->RetryEntries().empty());
}

TEST_F(RetransmitTest, MacTextInUpperCaseIsStillAcknowledged)
{
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", "00:1B:2C:3D:4E:01"));
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_REBOOT, kMacA, 0));
    EXPECT_TRUE(engine_->RetryEntries().empty());
}

TEST_F(RetransmitTest, OneReplyCancelsOneOfTwoEqualRequests)
{
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_REBOOT, kMacA, 0));
    EXPECT_EQ(engine_->RetryEntries().size(), 1u);
}

TEST_F(RetransmitTest, WhatIsNeverTracked)
{
    // Types 1, 6, 15 and 17 are never repeated, even when asked to.
    for (uint16_t type : {MSG_DISCOVER, MSG_SITE_SURVEY, MSG_HEARTBEAT, MSG_RELEASE}) {
        EXPECT_TRUE(engine_->SendCommand("192.168.0.50", type, {}, Text(kMacA), true));
    }
    EXPECT_TRUE(engine_->SendCommand("192.168.0.50", MSG_REBOOT, {}, Text(kMacA), false));
    EXPECT_TRUE(engine_->RetryEntries().empty());

    // Nothing went out: nothing to repeat.
    EXPECT_FALSE(engine_->Reboot("10.1.1.1", Text(kMacA)));
    sender_->SetResult(false);
    EXPECT_FALSE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    EXPECT_TRUE(engine_->RetryEntries().empty());
}

TEST_F(RetransmitTest, IntervalHasAFloor)
{
    struct Case {
        int32_t given;
        int32_t used;
    };
    for (const Case c :
         {Case{0, CommEngine::kMinRetransmissionIntervalMs},
          Case{-5, CommEngine::kMinRetransmissionIntervalMs}, Case{2000, 2000},
          Case{CommEngine::kMinRetransmissionIntervalMs, CommEngine::kMinRetransmissionIntervalMs}}) {
        engine_->ConfigureRetransmission(3, c.given);
        EXPECT_EQ(engine_->RetransmissionIntervalMs(), c.used) << c.given;
    }
    EXPECT_EQ(engine_->RetransmissionMax(), 3);
}

TEST_F(AgingTest, DescribedDeviceGoesOnTheFourthSilentTick)
{
    Described(kMacA, "192.168.0.50");
    Discovered(kMacB, "192.168.0.51");
    ASSERT_EQ(Entry(kMacA)->state, 2);
    ASSERT_NE(StoredType(kMacA), 0u);
    for (int tick = 1; tick <= 3; ++tick) {
        engine_->AgeTick();
        ASSERT_TRUE(Entry(kMacA)) << "tick " << tick;
        EXPECT_EQ(Entry(kMacA)->countdown, 3 - tick);
    }
    engine_->AgeTick();
    EXPECT_FALSE(Entry(kMacA));
    EXPECT_EQ(StoredType(kMacA), 0u);
    // A device only heard by discovery is never aged out.
    for (int tick = 0; tick < 10; ++tick) engine_->AgeTick();
    ASSERT_TRUE(Entry(kMacB));
    EXPECT_EQ(Entry(kMacB)->countdown, 3);
}

TEST_F(AgingTest, HeartbeatsKeepADeviceAndFollowItsAddress)
{
    Described(kMacA, "192.168.0.50");
    HEARTBEAT_PAYLOAD beat{};
    beat.version_len = SetFieldText(beat.version, "V2.1");
    for (int tick = 0; tick < 12; ++tick) {
        engine_->AgeTick();
        beat.up_time = 1000u + static_cast<uint32_t>(tick);
        Receive(ReceiveQueue::Heartbeat, "192.168.0.77", BuildHeartbeat(21, kMacA, beat));
    }
    ASSERT_TRUE(Entry(kMacA));
    EXPECT_EQ(Entry(kMacA)->ip, "192.168.0.77");
    EXPECT_EQ(Entry(kMacA)->upTime, 1011u);
    EXPECT_EQ(std::string(FieldText(Entry(kMacA)->version, Entry(kMacA)->versionLen)), "V2.1");
    ap_info_stu row;
    engine_store::GetDevice(*store_, row, Text(kMacA));
    EXPECT_EQ(row.up_time, 1011u);
    EXPECT_EQ(IpText(std::span<const uint8_t, 4>(row.ip_block.ip)), "192.168.0.77");
    // Every heartbeat is acknowledged once, by multicast, untracked.
    const std::vector<Sent> sent = sender_->Take();
    EXPECT_EQ(CountSends(sent, MSG_HEARTBEAT), 12u);
    EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](const Sent& s) {
        return s.Type() != MSG_HEARTBEAT ||
               (s.Payload().empty() && s.Mac() == Text(kMacA) && s.Header().multicast == 1);
    }));
}

TEST_F(AgingTest, HeartbeatFromAnUnknownDeviceIsIgnored)
{
    HEARTBEAT_PAYLOAD beat{};
    Receive(ReceiveQueue::Heartbeat, "192.168.0.50", BuildHeartbeat(21, kMacA, beat));
    EXPECT_TRUE(sender_->Take().empty());
    EXPECT_TRUE(engine_->OnlineDevices().empty());
}

}  // namespace
}  // namespace pontiq::testing_engine
