// The pure part of set-ip in pontiq-cli: the last address of a consecutive range.
#include <gtest/gtest.h>

#include "cli/cli_runner.h"

namespace pontiq::cli {
namespace {

TEST(CliSetIp, LastOfConsecutiveSkipsNetworkAndBroadcastEndings)
{
    const struct {
        const char* first;
        size_t count;
        const char* last;
    } cases[] = {
        {"10.0.0.5", 1, "10.0.0.5"},
        {"10.0.0.5", 3, "10.0.0.7"},
        {"10.0.0.254", 3, "10.0.1.2"},  // .255 and .0 are passed over
        {"10.0.0.253", 2, "10.0.0.254"},
        {"223.255.255.254", 2, "224.0.0.1"},
        {"255.255.255.253", 3, "255.255.255.255"},  // runs out: an address the checks refuse
    };
    for (const auto& c : cases)
        EXPECT_EQ(LastOfConsecutive(c.first, c.count), c.last) << c.first << " x" << c.count;
}

}  // namespace
}  // namespace pontiq::cli
