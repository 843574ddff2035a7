#include "ui/config/ip_set_rules.h"

#include <gtest/gtest.h>

#include <cstring>

#include "store/value_format.h"

namespace pontiq {
namespace {

TEST(IpTabRules, SingleDeviceChecksInTheirOrder)
{
    struct Case {
        IpTabEntries entries;
        const char* expected;  // nullptr: accepted
    };
    const Case cases[] = {
        {{"192.168.1.20", "255.255.255.0", "192.168.1.1", "8.8.8.8", "8.8.4.4"}, nullptr},
        {{"192.168.1.20", "255.255.255.0", "", "", ""}, nullptr},  // no gateway, both DNS empty
        {{"192.168.1.20", "255.255.255.0", "0.0.0.0", "", ""}, nullptr},
        {{"", "255.255.255.0", "", "", ""}, "The ip address is invalid!"},
        {{"0.0.0.0", "255.255.255.0", "", "", ""}, "The ip address is invalid!"},
        {{"192.168.1.255", "255.255.255.0", "", "", ""}, "The ip address is invalid!"},
        // The first failing rule wins: an invalid address beats an invalid mask.
        {{"192.168.1.255", "255.0.255.0", "", "", ""}, "The ip address is invalid!"},
        {{"192.168.1.20", "255.0.255.0", "", "", ""}, "The subnet mask is invalid!"},
        {{"192.168.1.20", "", "", "", ""}, "The subnet mask is invalid!"},
        {{"192.168.1.20", "255.255.255.0", "192.168.1.300", "", ""}, "The gateway address is invalid!"},
        {{"192.168.1.20", "255.255.255.0", "192.168.1.20", "", ""},
         "The ip address and gateway address cannot be the same!"},
        // The network address of the segment itself (x.x.x.0 fails the address check first).
        {{"192.168.1.64", "255.255.255.192", "", "", ""}, "IP Address can't be the network segment!"},
        {{"192.168.1.20", "255.255.255.0", "192.168.2.1", "", ""},
         "Ip address and gateway address is not in the same subnet!"},
        {{"192.168.1.20", "255.255.0.0", "192.168.2.1", "", ""}, nullptr},
        {{"192.168.1.20", "255.255.255.0", "192.168.1.1", "8.8.8.0", ""},
         "The primary DNS Server is invalid!"},
        {{"192.168.1.20", "255.255.255.0", "192.168.1.1", "", "1.2.3"},
         "The secondary DNS Server is invalid!"},
        {{"192.168.1.20", "255.255.255.0", "192.168.1.1", "8.8.8.8", "8.8.8.8"},
         "Primary DNS Server and Secondary DNS Server can't be the same!"},
    };
    for (const Case& c : cases) {
        const IpTabEntries& e = c.entries;
        SCOPED_TRACE(e.ip + " / " + e.mask + " / " + e.gateway + " / " + e.dns1 + " / " + e.dns2);
        const char* got = CheckIpTabEntries(e);
        if (c.expected == nullptr) {
            EXPECT_EQ(got, nullptr) << got;
        } else {
            ASSERT_NE(got, nullptr);
            EXPECT_STREQ(got, c.expected);
        }
    }
}

TEST(IpTabRules, BlockKeepsTheStoredApplyByteAndSetsIpModeOne)
{
    IP_BLOCK stored{};
    stored.ip_mode = 0;
    stored.apply = 7;
    const IP_BLOCK b = IpTabBlock(stored, {"10.0.0.5", "255.0.0.0", "", "1.1.1.1", "0.0.0.0"});
    EXPECT_EQ(b.ip_mode, 1);
    EXPECT_EQ(b.apply, 7);
    const uint8_t expected[20] = {10, 0, 0, 5, 255, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&b) + 1, expected, sizeof expected), 0);
}

TEST(IpTabRules, AddressInUseIgnoresTheDevicesOwnAddress)
{
    const std::vector<std::string> stored = {"192.168.1.20", "192.168.1.21"};
    EXPECT_TRUE(IsIpInUse("192.168.1.21", "192.168.1.20", stored));
    EXPECT_FALSE(IsIpInUse("192.168.1.20", "192.168.1.20", stored));
    EXPECT_FALSE(IsIpInUse("192.168.1.22", "192.168.1.20", stored));
    EXPECT_FALSE(IsIpInUse("192.168.1.2", "192.168.1.20", stored));  // whole texts, not prefixes
}

TEST(IpTabRules, DeviceNameRulesByTypeCode)
{
    struct Case {
        std::u16string name;
        uint32_t type;
        NameRefusal expected;
    };
    const std::u16string chinese = u"\u8bbe\u5907";  // two CJK characters
    const Case cases[] = {
        {u"", 21, NameRefusal::Empty},
        {u"", 4, NameRefusal::Empty},
        {u"tower-1", 21, NameRefusal::None},
        {u"Tower 1!", 21, NameRefusal::None},          // rule B: any ASCII
        {u"Tower 1!", 4, NameRefusal::RuleA},          // rule A: no blank, no "!"
        {u"tower1" + chinese, 17, NameRefusal::None},  // rule A takes Chinese
        {u"caf\u00e9", 21, NameRefusal::RuleB},        // neither ASCII nor Chinese
        {std::u16string(32, u'a'), 261, NameRefusal::None},
        {std::u16string(33, u'a'), 261, NameRefusal::RuleA},      // over 32 bytes
        {std::u16string(11, u'\u8bbe'), 21, NameRefusal::RuleB},  // 33 bytes of UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " length " << c.name.size());
        EXPECT_EQ(CheckDeviceName(c.name, c.type), c.expected);
    }
    EXPECT_STREQ(NameRefusalMessage(NameRefusal::Empty), "The device name can not be empty!");
    EXPECT_EQ(NameRefusalMessage(NameRefusal::None), nullptr);
}

TEST(IpTabRules, NameBlockHoldsAtMost32BytesAndTheirCount)
{
    uint8_t block[33];
    FillNameBlock(block, "tower");
    EXPECT_EQ(block[32], 5);
    EXPECT_EQ(NameBlockText(block), "tower");
    EXPECT_EQ(block[5], 0);

    FillNameBlock(block, std::string(40, 'x'));
    EXPECT_EQ(block[32], 32);
    EXPECT_EQ(NameBlockText(block), std::string(32, 'x'));

    block[32] = 200;  // a corrupt count never reads past the field
    EXPECT_EQ(NameBlockText(block).size(), 32u);
}

}  // namespace
}  // namespace pontiq
