#include "ui/config/vlan_rules.h"

#include <gtest/gtest.h>

#include "ui/config/decimal_rules.h"

namespace pontiq {
namespace {

TEST(VlanRules, ModelGroupsAndReadOnlyCase)
{
    struct Case {
        uint32_t type;
        VlanGroup group;
        bool readOnlyOutsideApMode;  // work_mode 2
    };
    const Case cases[] = {
        {10, VlanGroup::A, true},   {24, VlanGroup::A, false},   {284, VlanGroup::A, true},
        {11, VlanGroup::B, true},   {270, VlanGroup::B, true},   {14, VlanGroup::C, false},
        {283, VlanGroup::C, false}, {20, VlanGroup::D, false},   {21, VlanGroup::D, false},
        {285, VlanGroup::D, false}, {1, VlanGroup::Other, true}, {12, VlanGroup::Other, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(VlanGroupOf(c.type), c.group);
        EXPECT_FALSE(IsVlanReadOnly(c.type, 1));  // access-point mode edits every model
        EXPECT_EQ(IsVlanReadOnly(c.type, 2), c.readOnlyOutsideApMode);
    }
}

TEST(VlanRules, IdCheckRangeAndDecimalReading)
{
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"1", true},
        {"4094", true},
        {"0", false},
        {"4095", false},
        {"", false},
        {"  12", true},
        {"+12", true},
        {"-1", false},
        {"12abc", true},  // reading stops at "a"
        {"abc", false},
        {"0100", true},
        // A long run of digits saturates rather than wrapping into the range.
        {"4294967297", false},
        {"99999999999999999999", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidVlanId(c.text), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(ReadDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadDecimal("-99999999999"), INT32_MIN);
}

TEST(VlanRules, StoredTrunkPortAndTheLanRowItShows)
{
    VLAN_BLOCK vlan{};
    vlan.vlan_id_lan = 30;
    EXTENSION_BLOCK ext{};
    ext.vlan_id_lan2 = 40;
    struct Case {
        uint32_t type;
        uint8_t trunkPort;
        bool visible;
        std::string label;
        uint16_t value;
    };
    const Case cases[] = {
        {20, 2, true, "LAN1", 30},  {20, 1, true, "LAN2", 40},
        {20, 50, true, "LAN2", 40},  // "2" as a character
        {20, 0, true, "LAN2", 40},  {21, 2, true, "LAN", 30},
        {21, 1, true, "LAN", 40},   {10, 2, true, "LAN2", 30},
        {11, 1, true, "LAN", 30},   {14, 1, false, "LAN2", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.type << " trunk " << int(c.trunkPort));
        const VlanLanRow row = LanRowFor(c.type, StoredTrunkChoice(c.trunkPort), vlan, ext);
        EXPECT_EQ(row.visible, c.visible);
        EXPECT_EQ(row.label, c.label);
        EXPECT_EQ(row.value, c.value);
    }
}

struct Stored {
    VLAN_BLOCK vlan{};
    EXTENSION_BLOCK ext{};
    Stored()
    {
        vlan.vlan_en = 1;
        vlan.vlan_id = 100;
        vlan.vlan_id_wlan = 200;
        vlan.vlan_id_lan = 300;
        vlan.apply = 1;
        ext.vlan_pvid = 5;
        ext.vlan_id_lan3 = 303;
        ext.vlan_id_lan4 = 304;
        ext.trunk_port = 1;
        ext.vlan_id_lan2 = 302;
        ext.bridge_transparent = 1;
    }
};

VlanEntries On(std::string manage, std::string wlan, std::string pvid = "5", std::string lan = "300",
               std::string lan3 = "303", std::string lan4 = "304", int trunk = 0)
{
    return {true,           std::move(manage), std::move(wlan), std::move(pvid),
            std::move(lan), std::move(lan3),   std::move(lan4), trunk};
}

TEST(VlanRules, CollectRefusesTheFirstBadIdInOrder)
{
    const Stored s;
    struct Case {
        uint32_t type;
        VlanEntries entries;
        VlanField refused;
    };
    const Case cases[] = {
        {10, On("0", "0", "0"), VlanField::Manage},
        {10, On("10", "4095"), VlanField::Wlan},
        {10, On("10", "20", ""), VlanField::Pvid},
        {10, On("10", "20", "5", "0"), VlanField::Lan},
        {10, On("10", "20", "5", "7", "", ""), VlanField::Lan3},
        {10, On("10", "20", "5", "7", "8", "4095"), VlanField::Lan4},
        {11, On("10", "20", "5", "0"), VlanField::None},            // group B: its LAN row is not checked
        {14, On("10", "20", "5", "0", "0", "0"), VlanField::None},  // group C: no LAN ids read
        {21, On("10", "20", "5", "", "", "", 1), VlanField::Lan},
        {1, On("10", "20", "0", "0", "0", "0"), VlanField::None},  // other: no PVID either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type);
        EXPECT_EQ(CollectVlan(c.type, s.vlan, s.ext, c.entries).refused, c.refused);
    }
}

TEST(VlanRules, CollectWritesTheFieldsOfTheModelGroup)
{
    const Stored s;
    {  // Group A: every id.
        const VlanCollectResult r = CollectVlan(10, s.vlan, s.ext, On("10", "20", "6", "7", "8", "9"));
        ASSERT_EQ(r.refused, VlanField::None);
        EXPECT_EQ(+r.vlan.vlan_id, 10);
        EXPECT_EQ(+r.vlan.vlan_id_wlan, 20);
        EXPECT_EQ(+r.vlan.vlan_id_lan, 7);
        EXPECT_EQ(+r.extension.vlan_pvid, 6);
        EXPECT_EQ(+r.extension.vlan_id_lan3, 8);
        EXPECT_EQ(+r.extension.vlan_id_lan4, 9);
        EXPECT_EQ(+r.vlan.apply, 0);  // the sheet raises it when the address changes too
        EXPECT_TRUE(r.changed);
    }
    {  // Group B with "0" in the LAN row: accepted and sent as 0.
        const VlanCollectResult r = CollectVlan(11, s.vlan, s.ext, On("100", "200", "5", "0"));
        EXPECT_EQ(+r.vlan.vlan_id_lan, 0);
        EXPECT_TRUE(r.changed);
    }
    {  // Group C: only Manage, WLAN and PVID change; LAN ids keep their stored values.
        const VlanCollectResult r = CollectVlan(14, s.vlan, s.ext, On("11", "22", "33", "1", "1", "1"));
        EXPECT_EQ(+r.vlan.vlan_id, 11);
        EXPECT_EQ(+r.extension.vlan_pvid, 33);
        EXPECT_EQ(+r.vlan.vlan_id_lan, 300);
        EXPECT_EQ(+r.extension.vlan_id_lan3, 303);
        EXPECT_EQ(+r.extension.vlan_id_lan2, 302);
    }
    {  // Group D, trunk LAN2: the LAN row goes to vlan_id_lan, Manage VLAN also to vlan_id_lan2.
        const VlanCollectResult r =
            CollectVlan(20, s.vlan, s.ext, On("11", "22", "5", "44", "", "", kTrunkLan2));
        ASSERT_EQ(r.refused, VlanField::None);
        EXPECT_EQ(+r.extension.trunk_port, 50);
        EXPECT_EQ(+r.vlan.vlan_id_lan, 44);
        EXPECT_EQ(+r.extension.vlan_id_lan2, 11);
    }
    {  // Group D, trunk LAN1: the other way round.
        const VlanCollectResult r =
            CollectVlan(20, s.vlan, s.ext, On("11", "22", "5", "44", "", "", kTrunkLan1));
        EXPECT_EQ(+r.extension.trunk_port, 49);
        EXPECT_EQ(+r.extension.vlan_id_lan2, 44);
        EXPECT_EQ(+r.vlan.vlan_id_lan, 11);
    }
    {  // Group D with no radio checked: the three fields stay as stored.
        const VlanCollectResult r = CollectVlan(20, s.vlan, s.ext, On("11", "22", "5", "44", "", "", 0));
        EXPECT_EQ(+r.extension.trunk_port, 1);
        EXPECT_EQ(+r.vlan.vlan_id_lan, 300);
        EXPECT_EQ(+r.extension.vlan_id_lan2, 302);
    }
}

TEST(VlanRules, ChangedFlag)
{
    const Stored s;
    VlanEntries off;  // VLAN off: no check runs, only vlan_en changes
    off.manage = "0";
    {
        const VlanCollectResult r = CollectVlan(10, s.vlan, s.ext, off);
        EXPECT_EQ(r.refused, VlanField::None);
        EXPECT_EQ(+r.vlan.vlan_en, 0);
        EXPECT_EQ(+r.vlan.vlan_id, 100);
        EXPECT_TRUE(r.changed);
    }
    {
        Stored wasOff;
        wasOff.vlan.vlan_en = 0;
        EXPECT_FALSE(CollectVlan(10, wasOff.vlan, wasOff.ext, off).changed);
    }
    // The stored values again: nothing changed, whatever the stored apply byte.
    EXPECT_FALSE(CollectVlan(10, s.vlan, s.ext, On("100", "200", "5", "300", "303", "304")).changed);
    // Only the extension block differs: counted for list V (14), not for a code outside it (1).
    EXPECT_TRUE(CollectVlan(14, s.vlan, s.ext, On("100", "200", "6")).changed);
    const VlanCollectResult outside = CollectVlan(1, s.vlan, s.ext, On("100", "200"));
    EXPECT_FALSE(outside.changed);
}

}  // namespace
}  // namespace pontiq
