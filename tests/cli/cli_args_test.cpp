// The command line of pontiq-cli: what each argument list parses into, and what it is refused with.
#include <gtest/gtest.h>

#include "cli/cli_args.h"

namespace pontiq::cli {
namespace {

struct ParseCase {
    const char* label;
    std::vector<std::string> args;
    const char* error;  // nullptr: parses
    CommandKind kind = CommandKind::Help;
    std::vector<std::string> macs = {};
    OutputFormat format = OutputFormat::Table;
};

TEST(CliArguments, ParsesOrRefuses)
{
    const ParseCase cases[] = {
        {"nothing", {}, "Missing command"},
        {"unknown command", {"frobnicate"}, "Unknown command"},
        {"help", {"--help"}, nullptr, CommandKind::Help},
        {"help of a command", {"help", "set-ip"}, nullptr, CommandKind::Help},
        {"help of an unknown command", {"help", "nope"}, "Unknown command"},
        {"command help wins over missing arguments", {"set-name", "-h"}, nullptr, CommandKind::Help},
        {"upgrade",
         {"upgrade", "/fw/V9.8.7.bin", "00:11:22:33:44:55", "00-11-22-33-44-56"},
         nullptr,
         CommandKind::Upgrade,
         {"00:11:22:33:44:55", "00:11:22:33:44:56"}},
        {"upgrade .BIN",
         {"upgrade", "V1.BIN", "00:11:22:33:44:55"},
         nullptr,
         CommandKind::Upgrade,
         {"00:11:22:33:44:55"}},
        {"upgrade .Bin", {"upgrade", "V1.Bin", "00:11:22:33:44:55"}, "Upgrade file is not .bin file!"},
        {"upgrade no extension",
         {"upgrade", "firmware", "00:11:22:33:44:55"},
         "Upgrade file is not .bin file!"},
        {"upgrade .bin folder",
         {"upgrade", "fw.bin/V1", "00:11:22:33:44:55"},
         "Upgrade file is not .bin file!"},
        {"upgrade without file", {"upgrade"}, "Missing argument"},
        {"upgrade without devices", {"upgrade", "V1.bin"}, "Please select the devices!"},
        {"upgrade bad MAC", {"upgrade", "V1.bin", "00:11:22:33:44"}, "Mac address is error!!"},
        {"upgrade MAC first", {"upgrade", "00:11:22:33:44:55", "V1.bin"}, "Upgrade file is not .bin file!"},
        {"upgrade name of 255 bytes",
         {"upgrade", "/fw/" + std::string(251, 'n') + ".bin", "00:11:22:33:44:55"},
         nullptr,
         CommandKind::Upgrade,
         {"00:11:22:33:44:55"}},
        {"upgrade name too long",
         {"upgrade", std::string(252, 'n') + ".bin", "00:11:22:33:44:55"},
         "The upgrade file name is too long!"},
        {"upgrade long folder, short name",
         {"upgrade", "/" + std::string(300, 'd') + "/V1.bin", "00:11:22:33:44:55"},
         nullptr,
         CommandKind::Upgrade,
         {"00:11:22:33:44:55"}},
        {"upgrade json",
         {"upgrade", "V1.bin", "00:11:22:33:44:55", "--json"},
         nullptr,
         CommandKind::Upgrade,
         {"00:11:22:33:44:55"},
         OutputFormat::Json},
        {"upgrade --ip", {"upgrade", "V1.bin", "00:11:22:33:44:55", "--ip", "10.0.0.2"}, "Unknown option"},
        {"discover", {"discover"}, nullptr, CommandKind::Discover},
        {"discover json", {"discover", "--json"}, nullptr, CommandKind::Discover, {}, OutputFormat::Json},
        {"list csv", {"list", "--csv"}, nullptr, CommandKind::List, {}, OutputFormat::Csv},
        {"json and csv", {"list", "--csv", "--json"}, "Choose either --json or --csv"},
        {"--json takes no value", {"list", "--json=1"}, "Unknown option"},
        {"seconds zero", {"discover", "--seconds", "0"}, "The number of seconds must be 1 to 3600"},
        {"seconds too many", {"discover", "--seconds=3601"}, "The number of seconds must be 1 to 3600"},
        {"seconds not a number", {"discover", "--seconds", "5s"}, "The number of seconds must be 1 to 3600"},
        {"seconds without value", {"discover", "--seconds"}, "Missing value for option"},
        {"discover --mac malformed", {"discover", "--mac", "00:11:22:33:44"}, "Mac address is error!!"},
        {"--mac only for discover", {"reboot", "--mac", "00:11:22:33:44:55"}, "Unknown option"},
        {"--ip only for set-ip", {"reboot", "00:11:22:33:44:55", "--ip", "10.0.0.2"}, "Unknown option"},
        {"list takes no arguments", {"list", "00:11:22:33:44:55"}, "Too many arguments"},
        {"show", {"show", "00-11-22-33-44-AA"}, nullptr, CommandKind::Show, {"00:11:22:33:44:aa"}},
        {"show without MAC", {"show"}, "Missing argument"},
        {"show with two MACs", {"show", "00:11:22:33:44:55", "00:11:22:33:44:56"}, "Too many arguments"},
        {"set-name",
         {"set-name", "0011.2233.4455", "roof"},
         nullptr,
         CommandKind::SetName,
         {"00:11:22:33:44:55"}},
        {"set-name without name", {"set-name", "00:11:22:33:44:55"}, "Missing argument"},
        {"set-name empty name", {"set-name", "00:11:22:33:44:55", ""}, "The device name can not be empty!"},
        {"set-name name after --",
         {"set-name", "00:11:22:33:44:55", "--", "-roof"},
         nullptr,
         CommandKind::SetName,
         {"00:11:22:33:44:55"}},
        {"set-ip three devices",
         {"set-ip", "00:11:22:33:44:01", "00:11:22:33:44:02", "--ip", "10.0.0.5", "00:11:22:33:44:03"},
         nullptr,
         CommandKind::SetIp,
         {"00:11:22:33:44:01", "00:11:22:33:44:02", "00:11:22:33:44:03"}},
        {"set-ip without --ip", {"set-ip", "00:11:22:33:44:01"}, "Missing value for option"},
        {"set-ip without devices", {"set-ip", "--ip", "10.0.0.5"}, "Please select the devices!"},
        {"repeated MAC counts once",
         {"reboot", "00:11:22:33:44:01", "00-11-22-33-44-01"},
         nullptr,
         CommandKind::Reboot,
         {"00:11:22:33:44:01"}},
        {"one bad MAC refuses all",
         {"reboot", "00:11:22:33:44:01", "00:11:22:33:44:0g"},
         "Mac address is error!!"},
        {"kelvra on",
         {"kelvra", "on", "00:11:22:33:44:01"},
         nullptr,
         CommandKind::Kelvra,
         {"00:11:22:33:44:01"}},
        {"kelvra maybe", {"kelvra", "maybe", "00:11:22:33:44:01"}, "Say on or off"},
        {"transparent-bridge off without devices",
         {"transparent-bridge", "off"},
         "Please select the devices!"},
        {"survey",
         {"survey", "00:11:22:33:44:01", "--json"},
         nullptr,
         CommandKind::Survey,
         {"00:11:22:33:44:01"},
         OutputFormat::Json},
        {"restore", {"restore", "00:11:22:33:44:01"}, nullptr, CommandKind::Restore, {"00:11:22:33:44:01"}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        const ParseResult r = ParseArguments(c.args);
        if (c.error) {
            EXPECT_FALSE(r.command);
            EXPECT_EQ(r.error, c.error);
            continue;
        }
        ASSERT_TRUE(r.command) << r.error << " " << r.detail;
        EXPECT_EQ(r.command->kind, c.kind);
        EXPECT_EQ(r.command->macs, c.macs);
        EXPECT_EQ(r.command->format, c.format);
    }
}

TEST(CliArguments, UpgradeTakesAtMostTenDevices)
{
    const auto macs = [](int count) {
        std::vector<std::string> args = {"upgrade", "V1.bin"};
        for (int i = 0; i < count; ++i) args.push_back("00:11:22:33:44:" + std::to_string(10 + i));
        return args;
    };
    const auto ten = ParseArguments(macs(10));
    ASSERT_TRUE(ten.command) << ten.error;
    EXPECT_EQ(ten.command->file, "V1.bin");
    EXPECT_EQ(ten.command->macs.size(), 10u);

    const auto eleven = ParseArguments(macs(11));
    EXPECT_FALSE(eleven.command);
    EXPECT_EQ(eleven.error, "Maximum selection of 10 devices!");

    // Repeats count once: ten distinct devices.
    auto repeated = macs(10);
    repeated.push_back("00-11-22-33-44-10");
    EXPECT_TRUE(ParseArguments(repeated).command);
}

TEST(CliArguments, KeepsTheValuesOfOptions)
{
    const auto ip =
        ParseArguments({"set-ip", "00:11:22:33:44:01", "--ip=10.0.0.5", "--last", "10.0.0.9", "--mask",
                        "255.255.255.0", "--gateway", "10.0.0.1", "--dns2", "8.8.8.8", "--seconds", "4"});
    ASSERT_TRUE(ip.command);
    EXPECT_EQ(ip.command->ip.first, "10.0.0.5");
    EXPECT_EQ(ip.command->ip.last, "10.0.0.9");
    EXPECT_EQ(ip.command->ip.mask, "255.255.255.0");
    EXPECT_TRUE(ip.command->ip.hasGateway);
    EXPECT_FALSE(ip.command->ip.hasDns1);  // not given: the device's own value stays
    EXPECT_EQ(ip.command->ip.dns2, "8.8.8.8");
    EXPECT_EQ(ip.command->seconds, 4);

    const auto name = ParseArguments({"set-name", "00:11:22:33:44:01", "屋顶 1"});
    ASSERT_TRUE(name.command);
    EXPECT_EQ(name.command->deviceName, "屋顶 1");

    const auto kelvra = ParseArguments({"kelvra", "off", "00:11:22:33:44:01"});
    ASSERT_TRUE(kelvra.command);
    EXPECT_FALSE(kelvra.command->on);

    const auto mac = ParseArguments({"discover", "--mac", "AA:BB:CC:DD:EE:FF"});
    ASSERT_TRUE(mac.command);
    EXPECT_EQ(mac.command->targetMac, "aa:bb:cc:dd:ee:ff");

    const auto bad = ParseArguments({"reboot", "00:11:22:33:44:0g"});
    EXPECT_EQ(bad.detail, "00:11:22:33:44:0g");  // the message names what was refused
}

TEST(CliArguments, NormalisesMacForms)
{
    const std::pair<const char*, const char*> cases[] = {
        {"00:1a:2B:3c:4D:5e", "00:1a:2b:3c:4d:5e"},
        {"00-1A-2B-3C-4D-5E", "00:1a:2b:3c:4d:5e"},
        {"001a.2b3c.4d5e", "00:1a:2b:3c:4d:5e"},
        {"00:1a-2b:3c:4d:5e", nullptr},  // mixed separators
        {"001a2b3c4d5e", nullptr},
        {"00:1a:2b:3c:4d:5", nullptr},
        {"00:1a:2b:3c:4d:5e:", nullptr},
        {"0x:1a:2b:3c:4d:5e", nullptr},
        {"", nullptr},
    };
    for (const auto& [text, want] : cases) {
        SCOPED_TRACE(text);
        const auto got = NormaliseMac(text);
        if (want) {
            EXPECT_EQ(got, want);
        } else {
            EXPECT_FALSE(got);
        }
    }
}

TEST(CliArguments, EveryCommandHasHelp)
{
    for (const char* name : {"discover", "list", "show", "set-name", "set-ip", "transparent-bridge", "kelvra",
                             "reboot", "restore", "survey", "upgrade"}) {
        const std::string help = HelpText(name);
        EXPECT_NE(help.find(std::string("Usage: pontiq-cli ") + name), std::string::npos) << name;
        EXPECT_NE(HelpText({}).find(std::string("  ") + name + " "), std::string::npos) << name;
    }
    EXPECT_TRUE(HelpText("nope").empty());
}

}  // namespace
}  // namespace pontiq::cli
