#include "cli/cli_args.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>

#include "comm/protocol.h"
#include "ui/maintenance/upgrade_rules.h"

namespace pontiq::cli {

namespace {

struct CommandEntry {
    std::string_view name;
    CommandKind kind;
    std::string_view usage;    // after "pontiq-cli "
    std::string_view summary;  // one line for the overview
    std::string_view details;  // the subcommand's own help, after its usage line
};

constexpr std::array kCommands = {
    CommandEntry{"discover", CommandKind::Discover, "discover [--seconds N] [--mac MAC] [--json|--csv]",
                 "search the LAN and list the devices found",
                 "Searches for N seconds (default 10), asking again every 3 seconds, then lists every\n"
                 "device that answered: MAC, IP, name, model, version and status. With --mac only that\n"
                 "device is searched for, also outside the PC's subnets (MAC search).\n"},
    CommandEntry{"list", CommandKind::List, "list [--seconds N] [--json|--csv]",
                 "search, then list the devices with the status page's columns",
                 "Searches like discover and lists the devices with the status page's columns: name,\n"
                 "model, IP, MAC, work mode, SSID, channel, security, power, version, transparent bridge,\n"
                 "Kelvra, up time and status.\n"},
    CommandEntry{"show", CommandKind::Show, "show MAC [--seconds N] [--json|--csv]",
                 "search for one device and show every field of its record",
                 "Searches for the device (MAC search, at most N seconds, default 10) and shows every\n"
                 "field of its record: addresses, radio, security, timed reboot, bridge and VLAN.\n"},
    CommandEntry{"set-name", CommandKind::SetName, "set-name MAC NAME [--seconds N] [--json|--csv]",
                 "rename a device",
                 "Sends the device its new name. The name follows the rule of the device's model, as in\n"
                 "the status page: at most 32 bytes (UTF-8); letters, digits, Chinese and a few signs,\n"
                 "or ASCII and Chinese. A name that starts with '-' goes after '--':\n"
                 "  pontiq-cli set-name aa:bb:cc:dd:ee:ff -- -roof-\n"},
    CommandEntry{"set-ip", CommandKind::SetIp,
                 "set-ip MAC... --ip A [--last B] [--mask M] [--gateway G] [--dns1 D] [--dns2 D]",
                 "give one device or several devices (consecutive) addresses",
                 "One device gets address A. Several devices get consecutive addresses from A, in the\n"
                 "order given, skipping addresses ending in .0 and .255, up to B (default: as many as\n"
                 "needed). Mask, gateway and DNS servers not given keep the first device's values. The\n"
                 "entries are checked as in the Set IP window; the devices move to their new addresses.\n"},
    CommandEntry{"transparent-bridge", CommandKind::TransparentBridge,
                 "transparent-bridge on|off MAC... [--seconds N] [--json|--csv]",
                 "switch the transparent bridge on or off",
                 "Every device must offer the transparent bridge in its present work mode.\n"},
    CommandEntry{"kelvra", CommandKind::Kelvra, "kelvra on|off MAC... [--seconds N] [--json|--csv]",
                 "switch Kelvra on or off", "Every device must be a model with Kelvra.\n"},
    CommandEntry{"reboot", CommandKind::Reboot, "reboot MAC... [--seconds N] [--json|--csv]",
                 "reboot devices", "Devices with a bridged station go first, the others 200 ms later.\n"},
    CommandEntry{"restore", CommandKind::Restore, "restore MAC... [--seconds N] [--json|--csv]",
                 "restore the factory settings of devices",
                 "Devices with a bridged station go first, the others 200 ms later.\n"},
    CommandEntry{"survey", CommandKind::Survey, "survey MAC [--seconds N] [--json|--csv]",
                 "list the access points a device hears",
                 "Asks the device for a site survey and lists the access points it reports: MAC, SSID,\n"
                 "channel, security and signal.\n"},
    CommandEntry{"upgrade", CommandKind::Upgrade, "upgrade FILE MAC... [--seconds N] [--json|--csv]",
                 "upgrade the firmware of up to 10 devices of one model",
                 "FILE must end in .bin or .BIN; up to 10 devices, all of one model. The FileServer in\n"
                 "the program folder (service/FileServer) serves FILE's folder by TFTP for the time of the\n"
                 "upgrade; its port 69 needs root or the cap_net_bind_service capability. Each device is\n"
                 "told to fetch the file, then to flash it once it has it; the devices restart. The run\n"
                 "takes a few minutes and ends once every device reported its result. A device is done\n"
                 "when it reported a successful upgrade, failed when it refused or could not fetch or\n"
                 "flash the file.\n"},
};

const CommandEntry* FindCommand(std::string_view name)
{
    for (const CommandEntry& c : kCommands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

constexpr std::string_view kCommonHelp =
    "Options of every subcommand:\n"
    "  --seconds N   how long to search for the devices (1 to 3600)\n"
    "  --json        one JSON document on standard output\n"
    "  --csv         comma-separated values with a header line\n"
    "  -h, --help    this help\n"
    "\n"
    "Each command first searches for the devices it names and stops searching once all are\n"
    "found. It then waits for each device's answer (sending again as set in Setting.ini) and\n"
    "reports per device: done, refused, failed (upgrade) or no answer.\n"
    "\n"
    "Exit codes: 0 all done; 1 a device refused, failed or did not answer; 2 bad usage or\n"
    "input (nothing is sent); 3 nothing found.\n";

ParseResult Fail(std::string error, std::string detail = {})
{
    ParseResult r;
    r.error = std::move(error);
    r.detail = std::move(detail);
    return r;
}

bool TakesMacList(CommandKind k)
{
    return k == CommandKind::SetIp || k == CommandKind::TransparentBridge || k == CommandKind::Kelvra ||
           k == CommandKind::Reboot || k == CommandKind::Restore || k == CommandKind::Upgrade;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> NormaliseMac(std::string_view text)
{
    std::string digits;
    if (text.size() == 17) {
        // Six pairs with one separator kind, ':' or '-'.
        const char sep = text[2];
        if (sep != ':' && sep != '-') return std::nullopt;
        for (size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != sep) return std::nullopt;
            } else {
                digits.push_back(text[i]);
            }
        }
    } else if (text.size() == 14) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (i % 5 == 4) {
                if (text[i] != '.') return std::nullopt;
            } else {
                digits.push_back(text[i]);
            }
        }
    } else {
        return std::nullopt;
    }
    std::string mac;
    for (size_t i = 0; i < digits.size(); ++i) {
        const int v = HexValue(digits[i]);
        if (v < 0) return std::nullopt;
        if (i > 0 && i % 2 == 0) mac.push_back(':');
        mac.push_back("0123456789abcdef"[v]);
    }
    return mac;
}

int DefaultSeconds(CommandKind)
{
    return 10;
}

std::string HelpText(std::string_view topic)
{
    if (topic.empty()) {
        std::string text =
            "pontiq-cli: find and manage the devices on the LAN from the command line.\n"
            "\n"
            "Usage: pontiq-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
            "\n"
            "Commands:\n";
        for (const CommandEntry& c : kCommands) {
            std::string line = "  " + std::string(c.name);
            line.resize(std::max<size_t>(line.size() + 1, 22), ' ');
            text += line + std::string(c.summary) + "\n";
        }
        text += "  help COMMAND        the help of one command\n\n";
        text += kCommonHelp;
        text +=
            "\n"
            "MAC addresses are written aa:bb:cc:dd:ee:ff (also with '-', or aabb.ccdd.eeff).\n"
            "pontiq-cli does not run while the Pontiq window program runs on this machine.\n";
        return text;
    }
    const CommandEntry* entry = FindCommand(topic);
    if (!entry) return {};
    return "Usage: pontiq-cli " + std::string(entry->usage) + "\n\n" + std::string(entry->details) + "\n" +
           std::string(kCommonHelp);
}

ParseResult ParseArguments(const std::vector<std::string>& args)
{
    if (args.empty()) return Fail("Missing command", "pontiq-cli --help");
    const std::string& first = args[0];
    if (first == "-h" || first == "--help" || first == "help") {
        Command c;
        c.kind = CommandKind::Help;
        c.name = "help";
        if (first == "help" && args.size() > 1) {
            if (!FindCommand(args[1])) return Fail("Unknown command", args[1]);
            c.helpTopic = args[1];
        }
        ParseResult r;
        r.command = c;
        return r;
    }
    const CommandEntry* entry = FindCommand(first);
    if (!entry) return Fail("Unknown command", first);

    Command c;
    c.kind = entry->kind;
    c.name = std::string(entry->name);
    bool json = false;
    bool csv = false;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            Command help;
            help.kind = CommandKind::Help;
            help.name = "help";
            help.helpTopic = c.name;
            ParseResult r;
            r.command = help;
            return r;
        }
        // --key value or --key=value
        std::string key = arg;
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            key = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (key == "--json" || key == "--csv") {
            if (inlineValue) return Fail("Unknown option", arg);
            (key == "--json" ? json : csv) = true;
            continue;
        }
        const bool ipOption = key == "--ip" || key == "--last" || key == "--mask" || key == "--gateway" ||
                              key == "--dns1" || key == "--dns2";
        const bool known = key == "--seconds" || (key == "--mac" && c.kind == CommandKind::Discover) ||
                           (ipOption && c.kind == CommandKind::SetIp);
        if (!known) return Fail("Unknown option", arg);
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size()) return Fail("Missing value for option", key);
            value = args[++i];
        }
        if (key == "--seconds") {
            int n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 3600) {
                return Fail("The number of seconds must be 1 to 3600", value);
            }
            c.seconds = n;
        } else if (key == "--mac") {
            const auto mac = NormaliseMac(value);
            if (!mac) return Fail("Mac address is error!!", value);
            c.targetMac = *mac;
        } else if (key == "--ip") {
            c.ip.first = value;
        } else if (key == "--last") {
            c.ip.last = value;
        } else if (key == "--mask") {
            c.ip.mask = value;
            c.ip.hasMask = true;
        } else if (key == "--gateway") {
            c.ip.gateway = value;
            c.ip.hasGateway = true;
        } else if (key == "--dns1") {
            c.ip.dns1 = value;
            c.ip.hasDns1 = true;
        } else if (key == "--dns2") {
            c.ip.dns2 = value;
            c.ip.hasDns2 = true;
        }
    }
    if (json && csv) return Fail("Choose either --json or --csv");
    c.format = json ? OutputFormat::Json : csv ? OutputFormat::Csv : OutputFormat::Table;

    // Positional arguments.
    size_t next = 0;
    auto take = [&](std::string& out) {
        if (next >= positional.size()) return false;
        out = positional[next++];
        return true;
    };
    std::string word;
    switch (c.kind) {
        case CommandKind::Discover:
        case CommandKind::List:
            break;
        case CommandKind::Show:
        case CommandKind::Survey:
        case CommandKind::SetName: {
            if (!take(word)) return Fail("Missing argument", "MAC");
            const auto mac = NormaliseMac(word);
            if (!mac) return Fail("Mac address is error!!", word);
            c.macs.push_back(*mac);
            if (c.kind == CommandKind::Show) c.targetMac = *mac;
            if (c.kind == CommandKind::SetName) {
                if (!take(c.deviceName)) return Fail("Missing argument", "NAME");
                if (c.deviceName.empty()) return Fail("The device name can not be empty!");
            }
            break;
        }
        case CommandKind::TransparentBridge:
        case CommandKind::Kelvra:
            if (!take(word)) return Fail("Missing argument", "on|off");
            if (word != "on" && word != "off") return Fail("Say on or off", word);
            c.on = word == "on";
            [[fallthrough]];
        case CommandKind::Upgrade:
            if (c.kind == CommandKind::Upgrade) {
                if (!take(c.file)) return Fail("Missing argument", "FILE");
                if (!HasBinExtension(c.file)) return Fail("Upgrade file is not .bin file!", c.file);
                // The devices are told the bare name in a field of limited length.
                const size_t slash = c.file.rfind('/');
                const std::string name = slash == std::string::npos ? c.file : c.file.substr(slash + 1);
                if (!MakeUpgradePayload(name, 0)) return Fail("The upgrade file name is too long!", name);
            }
            [[fallthrough]];
        default:
            if (TakesMacList(c.kind)) {
                std::set<std::string> seen;
                while (take(word)) {
                    const auto mac = NormaliseMac(word);
                    if (!mac) return Fail("Mac address is error!!", word);
                    if (seen.insert(*mac).second) c.macs.push_back(*mac);
                }
                if (c.macs.empty()) return Fail("Please select the devices!");
            }
            break;
    }
    if (next < positional.size()) return Fail("Too many arguments", positional[next]);
    if (c.kind == CommandKind::Upgrade && c.macs.size() > kMaxUpgradeTargets)
        return Fail("Maximum selection of 10 devices!");
    if (c.kind == CommandKind::SetIp && c.ip.first.empty()) return Fail("Missing value for option", "--ip");
    ParseResult r;
    r.command = std::move(c);
    return r;
}

}  // namespace pontiq::cli
