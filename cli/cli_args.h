// pontiq-cli's command line: the subcommands, their options and the help texts. Pure: parsing
// reads nothing but the arguments and sends nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontiq::cli {

enum class OutputFormat { Table, Json, Csv };

enum class CommandKind {
    Help,
    Discover,
    List,
    Show,
    SetName,
    SetIp,
    TransparentBridge,
    Kelvra,
    Reboot,
    Restore,
    Survey,
    Upgrade,
};

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;    // a device refused or did not answer
inline constexpr int kExitBadInput = 2;  // bad usage or input; nothing was sent
inline constexpr int kExitNotFound = 3;  // the search found nothing

// Address options of set-ip, as typed; empty: not given.
struct IpOptions {
    std::string first;
    std::string last;
    std::string mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
    bool hasMask = false;
    bool hasGateway = false;
    bool hasDns1 = false;
    bool hasDns2 = false;
};

struct Command {
    CommandKind kind = CommandKind::Help;
    std::string name;       // the subcommand as typed ("help" for the overview)
    std::string helpTopic;  // Help: the subcommand whose help is asked for; empty: the overview
    OutputFormat format = OutputFormat::Table;
    int seconds = 0;                       // search time; 0: the command's default
    std::optional<std::string> targetMac;  // discover --mac; show's MAC (normalised)
    std::vector<std::string> macs;         // the devices, normalised "aa:bb:cc:dd:ee:ff", no repeats
    std::string deviceName;                // set-name, as typed (local encoding)
    IpOptions ip;                          // set-ip
    bool on = false;                       // transparent-bridge, kelvra
    std::string file;                      // upgrade: the firmware file, as typed
};

// The result of parsing: a command, or the built-in English text of the refusal (translated
// before it is shown) with a detail such as the offending argument.
struct ParseResult {
    std::optional<Command> command;
    std::string error;   // message key
    std::string detail;  // shown after the message; may be empty
};

ParseResult ParseArguments(const std::vector<std::string>& args);

// upgrade takes at most this many devices, as the upgrade page.
inline constexpr size_t kMaxUpgradeTargets = 10;

// "AA-BB-CC-DD-EE-FF", "aabb.ccdd.eeff", "aa:bb:cc:dd:ee:ff" in any case -> "aa:bb:cc:dd:ee:ff";
// nullopt for anything else.
std::optional<std::string> NormaliseMac(std::string_view text);

// Default search seconds of a command.
int DefaultSeconds(CommandKind kind);

// The overview (topic empty) or one subcommand's help; empty for an unknown topic.
std::string HelpText(std::string_view topic);

}  // namespace pontiq::cli
