// What the device simulator plays: the device set, its timing and its faults. Given on the
// command line (--key value) or in a config file of "key value" / "key = value" lines, the
// keys being the long option names without their dashes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/protocol.h"

namespace pontiq::sim {

inline constexpr int kMaxDevices = 5000;

struct SimOptions {
    // The device set.
    int count = 10;
    Ipv4Address firstIp = {10, 99, 0, 10};
    int prefixLen = 19;
    Ipv4Address gateway = {};                                   // zero: the first host of the subnet
    MacAddress macBase = {0x02, 0x5a, 0x00, 0x00, 0x00, 0x00};  // device i gets base + i + 1
    uint64_t seed = 1;
    int shortFormPercent = 20;    // devices answering discovery with the 33-byte form
    int surveyAps = 20;           // access points every device sees in a site survey
    std::vector<uint16_t> types;  // model codes to draw from; empty: every known code
    bool bridgedPair = false;     // device 1 is the bridged station of access point 0
    bool conflict = false;        // the last device takes the address of device 0
    int silentCount = 0;          // the last devices that never answer
    std::vector<MacAddress> silentMacs;

    // Faults on everything the devices send.
    double lossPercent = 0;
    double dupPercent = 0;
    int delayMs = 0;
    int jitterMs = 0;  // a further uniform 0..jitter ms per datagram

    // Timing of device behaviour.
    int heartbeatMs = 10000;
    int applyMs = 1000;    // a new IP address takes effect after this
    int restartMs = 3000;  // silent while restarting
    int surveyMs = 300;    // scanning before the first survey page
    int flashMs = 1000;    // writing the firmware before reporting success

    // The machine side.
    std::string iface = "simdev0";  // joins the multicast group and captures raw frames here
    bool addAddresses = true;       // make missing device addresses local on iface
    bool anyNetwork = false;        // run outside a LAN made by tools/simnet/simnet.sh
    uint16_t tftpPort = 69;
    std::string controlSocket;  // UNIX stream socket for control commands; empty: none
    bool stdinControl = false;  // control commands on stdin; end of input ends the program
    bool verbose = false;       // EVENT lines on stdout
};

struct ParseResult {
    std::optional<SimOptions> options;  // nullopt on error or after --help
    std::string message;                // the error, or the usage text
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

// Helpers shared with the control channel and the tests.
std::optional<Ipv4Address> ParseIp(std::string_view text);
std::optional<MacAddress> ParseMac(std::string_view text);
std::string FormatIp(const Ipv4Address& ip);
std::string FormatMac(const MacAddress& mac);
uint32_t IpToHost(const Ipv4Address& ip);
Ipv4Address HostToIp(uint32_t value);
Ipv4Address MaskOf(int prefixLen);

}  // namespace pontiq::sim
