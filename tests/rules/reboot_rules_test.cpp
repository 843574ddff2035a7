#include "ui/config/reboot_rules.h"

#include <gtest/gtest.h>

namespace pontiq {
namespace {

constexpr std::array<bool, 7> kNoDay{};
constexpr std::array<bool, 7> kMondayFriday{true, false, false, false, true, false, false};
constexpr std::array<bool, 7> kAllDays{true, true, true, true, true, true, true};

REBOOT_BLOCK Block(uint8_t en, uint8_t type, uint16_t time)
{
    REBOOT_BLOCK b{};
    b.restart_en = en;
    b.restart_type = type;
    b.restart_time = time;
    return b;
}

TEST(RebootRules, ValidationInItsOrder)
{
    struct Case {
        const char* hour;
        const char* minute;
        std::array<bool, 7> days;
        bool everyday;
        const char* expected;
    };
    const Case cases[] = {
        {"23", "59", kMondayFriday, false, nullptr},
        {"0", "0", kNoDay, true, nullptr},  // Everyday alone counts as a day
        {"", "5", kMondayFriday, false, "The time can not be empty!"},
        {"7", "", kNoDay, false, "The time can not be empty!"},
        {"24", "0", kMondayFriday, false, "The time is error!"},
        {"0", "60", kMondayFriday, false, "The time is error!"},
        {"-1", "0", kMondayFriday, false, "The time is error!"},          // compared unsigned
        {"4294967296", "0", kMondayFriday, false, "The time is error!"},  // no wrap to 0
        {"25", "0", kNoDay, false, "The time is error!"},                 // the time before the days
        {"7", "5", kNoDay, false, "Please selectting the day that you want to reboot!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.hour << "\" \"" << c.minute << '"');
        RebootEntries e;
        e.enabled = true;
        e.hour = c.hour;
        e.minute = c.minute;
        e.days = c.days;
        e.everyday = c.everyday;
        const char* got = CheckRebootEntries(e);
        if (c.expected == nullptr) {
            EXPECT_EQ(got, nullptr) << got;
        } else {
            ASSERT_NE(got, nullptr);
            EXPECT_STREQ(got, c.expected);
        }
    }
}

TEST(RebootRules, CollectBuildsTheBlockAndTheChangedFlag)
{
    struct Case {
        REBOOT_BLOCK stored;
        bool enabled;
        const char* hour;
        const char* minute;
        std::array<bool, 7> days;
        REBOOT_BLOCK expected;
        bool changed;
    };
    const Case cases[] = {
        {Block(0, 0, 0), true, "7", "5", kMondayFriday, Block(1, 34, 425), true},
        {Block(0, 0, 0), true, "23", "59", kAllDays, Block(1, kEverydayMask, 1439), true},
        {Block(1, 34, 425), true, "7", "5", kMondayFriday, Block(1, 34, 425), false},
        // Off: no validation, only byte 0 changes; bit 0 of the mask is kept.
        {Block(1, 35, 1500), false, "", "", kNoDay, Block(0, 35, 1500), true},
        {Block(0, 35, 1500), false, "99", "99", kNoDay, Block(0, 35, 1500), false},
        // On: the mask is rebuilt from the boxes, so a stored bit 0 goes and the block changes.
        {Block(1, 35, 425), true, "7", "5", kMondayFriday, Block(1, 34, 425), true},
        // Any non-zero restart_en counts as on; saving makes it 1.
        {Block(5, 34, 425), true, "7", "5", kMondayFriday, Block(1, 34, 425), true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        RebootEntries e;
        e.enabled = c.enabled;
        e.hour = c.hour;
        e.minute = c.minute;
        e.days = c.days;
        const RebootCollectResult r = CollectReboot(c.stored, e);
        ASSERT_EQ(r.refusal, nullptr);
        EXPECT_EQ(+r.block.restart_en, +c.expected.restart_en);
        EXPECT_EQ(+r.block.restart_type, +c.expected.restart_type);
        EXPECT_EQ(+r.block.restart_time, +c.expected.restart_time);
        EXPECT_EQ(r.changed, c.changed);
    }
}

TEST(RebootRules, ViewOfAStoredBlock)
{
    RebootView v = RebootViewOf(Block(1, 254, 1500));
    EXPECT_TRUE(v.enabled);
    EXPECT_TRUE(v.everyday);
    EXPECT_EQ(v.days, kAllDays);
    EXPECT_EQ(v.hour, 25);  // shown as stored; saving is refused until corrected
    EXPECT_EQ(v.minute, 0);

    v = RebootViewOf(Block(0, 35, 425));
    EXPECT_FALSE(v.enabled);
    EXPECT_FALSE(v.everyday);
    EXPECT_EQ(v.days, kMondayFriday);
    EXPECT_EQ(v.hour, 7);
    EXPECT_EQ(v.minute, 5);

    EXPECT_EQ(RebootDayMask(kAllDays), 254);
    EXPECT_EQ(RebootDayMask(kMondayFriday), 34);
    EXPECT_EQ(RebootDayMask(kNoDay), 0);
}

}  // namespace
}  // namespace pontiq
