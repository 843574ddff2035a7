#include "comm/local_adapter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "comm/capture.h"

namespace pontiq {
namespace {

using namespace std::string_view_literals;

TEST(ParseDottedIpv4, AcceptsCanonicalDottedQuads)
{
    EXPECT_EQ(ParseDottedIpv4("0.0.0.0"), 0u);
    EXPECT_EQ(ParseDottedIpv4("1.2.3.4"), 0x01020304u);
    EXPECT_EQ(ParseDottedIpv4("192.168.0.10"), 0xc0a8000au);
    EXPECT_EQ(ParseDottedIpv4("255.255.255.255"), 0xffffffffu);
    // Texts come in fixed char[16] fields: the text ends at the first NUL.
    EXPECT_EQ(ParseDottedIpv4("10.0.0.1\0\0\0\0\0\0\0\0"sv), 0x0a000001u);
    EXPECT_EQ(ParseDottedIpv4("10.0.0.1\0garbage"sv), 0x0a000001u);
}

TEST(ParseDottedIpv4, RejectsEverythingElse)
{
    // Each of these is read as some address by a lenient parser (inet_aton, sscanf, strtoul).
    for (std::string_view text : {""sv,
                                  "192.168.0"sv,
                                  "192.168.0.10.1"sv,
                                  "192.168.0.256"sv,
                                  "192.168.0.1000"sv,
                                  "192.168.0.-1"sv,
                                  "192.168.0.+1"sv,
                                  "192.168.00.10"sv,
                                  "010.0.0.1"sv,
                                  "192.168.0.0x1"sv,
                                  "192.168..10"sv,
                                  ".192.168.0.1"sv,
                                  "192.168.0.1."sv,
                                  " 192.168.0.1"sv,
                                  "192.168.0.1 "sv,
                                  "192.168.0.1\n"sv,
                                  "192. 168.0.1"sv,
                                  "1.2.3.4a"sv,
                                  "abc"sv,
                                  "3232235530"sv,
                                  "\0 192.168.0.1"sv}) {
        EXPECT_EQ(ParseDottedIpv4(text), std::nullopt) << '"' << text << '"';
    }
}

struct SubnetCase {
    std::string_view adapter, mask, device;
    bool same;
};

TEST(SameSubnet, Cases)
{
    const SubnetCase cases[] = {
        {"192.168.0.10", "255.255.255.0", "192.168.0.254", true},
        {"192.168.0.10", "255.255.255.0", "192.168.1.254", false},
        {"192.168.0.10", "255.255.255.0", "192.168.0.10", true},
        {"192.168.0.10", "255.255.0.0", "192.168.1.254", true},
        {"10.1.2.3", "255.0.0.0", "10.200.0.1", true},
        {"10.1.2.3", "255.0.0.0", "11.1.2.3", false},
        {"172.16.5.5", "255.255.255.252", "172.16.5.6", true},
        {"172.16.5.5", "255.255.255.252", "172.16.5.8", false},
        {"10.0.0.1", "255.255.255.255", "10.0.0.1", true},
        {"10.0.0.1", "255.255.255.255", "10.0.0.2", false},
        // A mask of 0.0.0.0 would put every address in one subnet.
        {"192.168.0.10", "0.0.0.0", "192.168.0.254", false},
        {"192.168.0.10", "0.0.0.0", "8.8.8.8", false},
        // Unset addresses match nothing, not even each other.
        {"0.0.0.0", "255.255.255.0", "0.0.0.1", false},
        {"0.0.0.0", "255.255.255.0", "0.0.0.0", false},
        {"192.168.0.10", "255.255.0.0", "0.0.0.0", false},
        {"", "255.255.255.0", "192.168.0.254", false},
        {"192.168.0.10", "", "192.168.0.254", false},
        {"192.168.0.10", "255.255.255.0", "", false},
        // Garbage that a lenient parser would place in 192.168.0.0/24.
        {"192.168.0.10", "255.255.255.0", "192.168.0", false},
        {"192.168.0.10", "255.255.255.0", "192.168.0.254junk", false},
        {"192.168.0.10", "255.255.255.0", "192.168.0.2545", false},
        {"192.168.0.10", "255.255.255.0", "192.168.000.254", false},
        {"192.168.0.10x", "255.255.255.0", "192.168.0.254", false},
        {"192.168.0.10", "255.255.255.0 ", "192.168.0.254", false},
        {"192.168.0.10", "255.255.255.0", "192.168.0.254\0\0"sv, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameSubnet(c.adapter, c.mask, c.device), c.same)
            << c.adapter << " / " << c.mask << " vs " << c.device;
    }
}

struct BroadcastCase {
    std::string_view ip, mask;
    std::optional<std::string> broadcast;
};

TEST(DirectedBroadcast, Cases)
{
    const BroadcastCase cases[] = {
        {"192.168.0.10", "255.255.255.0", "192.168.0.255"},
        {"10.77.1.2", "255.255.0.0", "10.77.255.255"},
        {"200.1.2.3", "255.0.0.0", "200.255.255.255"},
        {"172.16.5.5", "255.255.255.252", "172.16.5.7"},
        {"172.16.5.5", "255.255.255.248", "172.16.5.7"},
        {"10.0.0.1", "255.255.255.255", "10.0.0.1"},
        {"192.168.0.10", "0.0.0.0", std::nullopt},
        {"0.0.0.0", "255.255.255.0", std::nullopt},
        {"", "255.255.255.0", std::nullopt},
        {"192.168.0.10", "", std::nullopt},
        {"192.168.0.10", "255.255.255", std::nullopt},
        {"192.168.0.300", "255.255.255.0", std::nullopt},
        {"192.168.0.10", "255.255.255.0/24", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectedBroadcast(c.ip, c.mask), c.broadcast) << c.ip << " / " << c.mask;
    }
}

AdapterInfo Adapter(uint8_t kind, std::initializer_list<const char*> ips)
{
    AdapterInfo a;
    a.kind = kind;
    for (const char* ip : ips) {
        AdapterAddress& address = a.addresses[a.addressCount++];
        std::strncpy(address.ip, ip, sizeof(address.ip) - 1);
        std::strncpy(address.mask, "255.255.255.0", sizeof(address.mask) - 1);
    }
    return a;
}

TEST(IsUsableAdapter, Cases)
{
    struct Case {
        const char* what;
        AdapterInfo adapter;
        bool usable;
    };
    AdapterInfo tooMany = Adapter(kAdapterUsable, {"192.168.0.10"});
    tooMany.addressCount = kMaxAdapterAddresses + 1;
    AdapterInfo negative = Adapter(kAdapterUsable, {"192.168.0.10"});
    negative.addressCount = -1;
    AdapterInfo unterminated = Adapter(kAdapterUsable, {});
    unterminated.addressCount = 1;
    std::memset(unterminated.addresses[0].ip, '7', sizeof(unterminated.addresses[0].ip));

    const Case cases[] = {
        {"one address", Adapter(kAdapterUsable, {"192.168.0.10"}), true},
        {"second address unset", Adapter(kAdapterUsable, {"192.168.0.10", "0.0.0.0"}), true},
        {"first address unset, later ones set",
         Adapter(kAdapterUsable, {"0.0.0.0", "192.168.0.10", "10.0.0.1"}), false},
        {"no address", Adapter(kAdapterUsable, {}), false},
        {"loopback", Adapter(kAdapterLoopback, {"127.0.0.1"}), false},
        {"down", Adapter(kAdapterDown, {"192.168.0.10"}), false},
        {"no broadcast", Adapter(kAdapterNoBroadcast, {"192.168.0.10"}), false},
        {"kind 0", Adapter(0, {"192.168.0.10"}), false},
        {"count over ten", tooMany, false},
        {"negative count", negative, false},
        {"unterminated address field", unterminated, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUsableAdapter(c.adapter), c.usable) << c.what;
    }
}

// Only reads the host's interface list; sends nothing.
TEST(QueryHostAdapters, FieldsAreBoundedAndLoopbackIsNeverUsable)
{
    const auto adapters = QueryHostAdapters();
    std::set<std::string> names;
    const AdapterInfo* loopback = nullptr;
    for (const auto& a : adapters) {
        ASSERT_NE(std::memchr(a.name, '\0', sizeof(a.name)), nullptr);
        ASSERT_NE(std::memchr(a.description, '\0', sizeof(a.description)), nullptr);
        EXPECT_TRUE(names.insert(a.name).second) << "interface listed twice: " << a.name;
        EXPECT_EQ(std::strchr(a.name, ':'), nullptr) << "address label listed as an interface: " << a.name;
        EXPECT_EQ(std::strncmp(a.description, a.name, std::strlen(a.name)), 0) << a.description;
        ASSERT_GE(a.addressCount, 0);
        ASSERT_LE(a.addressCount, kMaxAdapterAddresses);
        for (int i = 0; i < a.addressCount; ++i) {
            EXPECT_TRUE(ParseDottedIpv4(a.addresses[i].ip)) << a.name << ' ' << a.addresses[i].ip;
            EXPECT_TRUE(ParseDottedIpv4(a.addresses[i].mask)) << a.name << ' ' << a.addresses[i].mask;
        }
        if (a.kind == kAdapterLoopback) loopback = &a;
    }
    if (loopback == nullptr) GTEST_SKIP() << "this host has no loopback interface";
    EXPECT_FALSE(IsUsableAdapter(*loopback));
    for (int i = 0; i < loopback->addressCount; ++i) {
        if (std::strcmp(loopback->addresses[i].ip, "127.0.0.1") == 0) {
            EXPECT_STREQ(loopback->addresses[i].mask, "255.0.0.0");
        }
    }
}

TEST(SendRawFrame, RefusesWhatCannotBeSent)
{
    const uint8_t frame[58] = {};
    EXPECT_FALSE(SendRawFrame("", frame));
    EXPECT_FALSE(SendRawFrame("lo", {}));
    // No such interface: the open fails before anything could be sent.
    EXPECT_FALSE(SendRawFrame("pontiq-none0", frame));
}

}  // namespace
}  // namespace pontiq
