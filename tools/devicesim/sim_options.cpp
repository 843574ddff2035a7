#include "tools/devicesim/sim_options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "store/value_format.h"

namespace pontiq::sim {

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

template <typename T>
bool ParseNumber(std::string_view text, T& out)
{
    text = Trim(text);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool ParsePercent(std::string_view text, double& out)
{
    text = Trim(text);
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    // from_chars for double is not in every libstdc++ of our compilers; strtod on a copy.
    const std::string copy(text);
    if (copy.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !(v >= 0 && v <= 100)) return false;
    out = v;
    return true;
}

// One option: its argument text into the options; false with a message on a bad value.
using Setter = std::function<bool(SimOptions&, std::string_view, std::string&)>;

struct OptionSpec {
    bool takesValue;
    Setter set;
    const char* help;
};

Setter IntIn(int SimOptions::*field, int low, int high)
{
    return [=](SimOptions& o, std::string_view v, std::string& err) {
        int n = 0;
        if (!ParseNumber(v, n) || n < low || n > high) {
            err = "expects a whole number " + std::to_string(low) + ".." + std::to_string(high);
            return false;
        }
        o.*field = n;
        return true;
    };
}

Setter PercentOf(double SimOptions::*field)
{
    return [=](SimOptions& o, std::string_view v, std::string& err) {
        if (!ParsePercent(v, o.*field)) {
            err = "expects a percentage 0..100";
            return false;
        }
        return true;
    };
}

Setter Flag(bool SimOptions::*field, bool value)
{
    return [=](SimOptions& o, std::string_view, std::string&) {
        o.*field = value;
        return true;
    };
}

const std::map<std::string, OptionSpec, std::less<>>& Specs()
{
    static const std::map<std::string, OptionSpec, std::less<>> specs = {
        {"count", {true, IntIn(&SimOptions::count, 1, kMaxDevices), "number of devices (1..5000)"}},
        {"first-ip",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              const auto ip = ParseIp(v);
              if (!ip) err = "expects a dotted IPv4 address";
              if (ip) o.firstIp = *ip;
              return ip.has_value();
          },
          "address of the first device (10.99.0.10)"}},
        {"prefix-len", {true, IntIn(&SimOptions::prefixLen, 8, 30), "prefix length of the segment (19)"}},
        {"gateway",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              const auto ip = ParseIp(v);
              if (!ip) err = "expects a dotted IPv4 address";
              if (ip) o.gateway = *ip;
              return ip.has_value();
          },
          "gateway in the device records (first host of the segment)"}},
        {"mac-base",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              const auto mac = ParseMac(v);
              if (!mac) err = "expects a MAC aa:bb:cc:dd:ee:ff";
              if (mac) o.macBase = *mac;
              return mac.has_value();
          },
          "device i gets this MAC plus i + 1 (02:5a:00:00:00:00)"}},
        {"seed",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              if (!ParseNumber(v, o.seed)) err = "expects a whole number";
              return err.empty();
          },
          "seed of the varied models, bands, modes and names (1)"}},
        {"short-form",
         {true, IntIn(&SimOptions::shortFormPercent, 0, 100),
          "percent of devices with the 33-byte discovery reply (20)"}},
        {"survey-aps",
         {true, IntIn(&SimOptions::surveyAps, 0, 255 * 32), "access points per site survey (20)"}},
        {"types",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              o.types.clear();
              const std::vector<uint32_t> known = ModelCodes();
              std::string list(v);
              std::replace(list.begin(), list.end(), ',', ' ');
              std::istringstream in(list);
              for (std::string word; in >> word;) {
                  uint16_t code = 0;
                  if (!ParseNumber(std::string_view(word), code) ||
                      std::find(known.begin(), known.end(), code) == known.end()) {
                      err = "'" + word + "' is no known model code";
                      return false;
                  }
                  o.types.push_back(code);
              }
              if (o.types.empty()) err = "expects a comma-separated list of model codes";
              return err.empty();
          },
          "model codes to draw from, e.g. 14,21,25 (all)"}},
        {"bridged-pair",
         {false, Flag(&SimOptions::bridgedPair, true), "device 1 is the bridged station of device 0"}},
        {"conflict",
         {false, Flag(&SimOptions::conflict, true), "the last device uses the address of device 0"}},
        {"silent",
         {true, IntIn(&SimOptions::silentCount, 0, kMaxDevices), "the last N devices never answer"}},
        {"silent-mac",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              const auto mac = ParseMac(v);
              if (!mac) err = "expects a MAC aa:bb:cc:dd:ee:ff";
              if (mac) o.silentMacs.push_back(*mac);
              return mac.has_value();
          },
          "this device never answers (repeatable)"}},
        {"loss", {true, PercentOf(&SimOptions::lossPercent), "percent of sent datagrams dropped"}},
        {"dup", {true, PercentOf(&SimOptions::dupPercent), "percent of sent datagrams sent twice"}},
        {"delay-ms", {true, IntIn(&SimOptions::delayMs, 0, 60000), "delay of every sent datagram"}},
        {"jitter-ms", {true, IntIn(&SimOptions::jitterMs, 0, 60000), "further random delay 0..N ms"}},
        {"heartbeat-ms", {true, IntIn(&SimOptions::heartbeatMs, 50, 3600000), "heartbeat period (10000)"}},
        {"apply-ms",
         {true, IntIn(&SimOptions::applyMs, 0, 600000), "delay before a new IP address holds (1000)"}},
        {"restart-ms", {true, IntIn(&SimOptions::restartMs, 0, 600000), "silent time of a restart (3000)"}},
        {"survey-ms",
         {true, IntIn(&SimOptions::surveyMs, 0, 600000), "scan time before the survey pages (300)"}},
        {"flash-ms", {true, IntIn(&SimOptions::flashMs, 0, 600000), "firmware writing time (1000)"}},
        {"iface",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              if (v.empty() || v.size() > 15) err = "expects an interface name";
              if (err.empty()) o.iface = std::string(v);
              return err.empty();
          },
          "device-side interface (simdev0)"}},
        {"any-network",
         {false, Flag(&SimOptions::anyNetwork, true), "run also outside a simulated LAN of simnet.sh"}},
        {"no-add-addresses",
         {false, Flag(&SimOptions::addAddresses, false),
          "do not add missing device addresses to the interface"}},
        {"tftp-port",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              if (!ParseNumber(v, o.tftpPort) || o.tftpPort == 0) err = "expects a port 1..65535";
              return err.empty();
          },
          "port of the PC's TFTP server (69)"}},
        {"control-socket",
         {true,
          [](SimOptions& o, std::string_view v, std::string& err) {
              if (v.empty() || v.size() > 100) err = "expects a path of at most 100 bytes";
              if (err.empty()) o.controlSocket = std::string(v);
              return err.empty();
          },
          "UNIX socket for control commands"}},
        {"stdin", {false, Flag(&SimOptions::stdinControl, true), "control commands on stdin; EOF ends"}},
        {"verbose", {false, Flag(&SimOptions::verbose, true), "print EVENT lines"}},
    };
    return specs;
}

bool Apply(SimOptions& o, std::string_view key, std::optional<std::string_view> value, std::string& message,
           const std::function<bool(std::string_view)>& readConfig)
{
    if (key == "config") {
        if (!value) {
            message = "--config needs a file";
            return false;
        }
        return readConfig(*value);
    }
    const auto& specs = Specs();
    const auto it = specs.find(key);
    if (it == specs.end()) {
        message = "unknown option '" + std::string(key) + "'";
        return false;
    }
    if (it->second.takesValue && !value) {
        message = "option '" + std::string(key) + "' needs a value";
        return false;
    }
    std::string err;
    if (!it->second.set(o, value.value_or(""), err)) {
        message = "option '" + std::string(key) + "': " + err;
        return false;
    }
    return true;
}

std::string Validate(const SimOptions& o)
{
    const uint32_t mask = IpToHost(MaskOf(o.prefixLen));
    const uint32_t first = IpToHost(o.firstIp);
    const uint32_t last = first + static_cast<uint32_t>(o.count) - 1;
    const uint32_t network = first & mask;
    const uint32_t broadcast = network | ~mask;
    if (last < first || (last & mask) != network || first == network || last >= broadcast) {
        return "the " + std::to_string(o.count) + " device addresses from " + FormatIp(o.firstIp) +
               " do not fit in the /" + std::to_string(o.prefixLen) + " segment";
    }
    if (o.gateway != Ipv4Address{} && (IpToHost(o.gateway) & mask) != network) {
        return "the gateway lies outside the segment";
    }
    if (o.silentCount > o.count) return "more silent devices than devices";
    if ((o.bridgedPair || o.conflict) && o.count < 2) return "a bridged pair or a conflict needs two devices";
    return {};
}

}  // namespace

std::optional<Ipv4Address> ParseIp(std::string_view text)
{
    Ipv4Address ip{};
    size_t part = 0;
    size_t pos = 0;
    while (part < 4) {
        const size_t dot = text.find('.', pos);
        const std::string_view word =
            text.substr(pos, dot == std::string_view::npos ? text.size() - pos : dot - pos);
        unsigned v = 0;
        if (word.empty() || word.size() > 3 || (word.size() > 1 && word[0] == '0') || !ParseNumber(word, v) ||
            v > 255) {
            return std::nullopt;
        }
        ip[part++] = static_cast<uint8_t>(v);
        if (dot == std::string_view::npos) break;
        pos = dot + 1;
        if (part == 4) return std::nullopt;  // a fifth part
    }
    if (part != 4) return std::nullopt;
    return ip;
}

std::optional<MacAddress> ParseMac(std::string_view text)
{
    if (text.size() != 17) return std::nullopt;
    MacAddress mac{};
    for (size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':') return std::nullopt;
        unsigned v = 0;
        const std::string_view hex = text.substr(i * 3, 2);
        auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + 2, v, 16);
        if (ec != std::errc() || ptr != hex.data() + 2) return std::nullopt;
        mac[i] = static_cast<uint8_t>(v);
    }
    return mac;
}

std::string FormatIp(const Ipv4Address& ip)
{
    return IpText(ip);
}

std::string FormatMac(const MacAddress& mac)
{
    return MacText(mac);
}

uint32_t IpToHost(const Ipv4Address& ip)
{
    return static_cast<uint32_t>(ip[0]) << 24 | static_cast<uint32_t>(ip[1]) << 16 |
           static_cast<uint32_t>(ip[2]) << 8 | ip[3];
}

Ipv4Address HostToIp(uint32_t v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}

Ipv4Address MaskOf(int prefixLen)
{
    const int n = std::clamp(prefixLen, 0, 32);
    return HostToIp(n == 0 ? 0 : ~uint32_t{0} << (32 - n));
}

std::string UsageText()
{
    std::string text =
        "usage: devicesim [--option value ...] [--config FILE]\n"
        "Plays up to 5000 devices of the wire protocol on a device-side interface.\n\n";
    for (const auto& [name, option] : Specs()) {
        char line[160];
        std::snprintf(line, sizeof(line), "  --%-18s %s\n", (name + (option.takesValue ? " V" : "")).c_str(),
                      option.help);
        text += line;
    }
    text += "  --config FILE         read \"key value\" lines (the option names without dashes)\n";
    return text;
}

ParseResult ParseOptions(const std::vector<std::string>& args)
{
    ParseResult result;
    SimOptions o;
    int depth = 0;
    std::function<bool(std::string_view)> readConfig = [&](std::string_view path) -> bool {
        if (++depth > 4) {
            result.message = "config files include each other too deeply";
            return false;
        }
        std::ifstream in{std::string(path)};
        if (!in) {
            result.message = "cannot read config file '" + std::string(path) + "'";
            return false;
        }
        int lineNo = 0;
        for (std::string line; std::getline(in, line);) {
            ++lineNo;
            std::string_view l = Trim(line);
            if (l.empty() || l.front() == '#') continue;
            size_t split = l.find_first_of(" \t=");
            const std::string_view key = Trim(l.substr(0, split));
            std::optional<std::string_view> value;
            if (split != std::string_view::npos) {
                std::string_view rest = Trim(l.substr(split));
                if (!rest.empty() && rest.front() == '=') rest = Trim(rest.substr(1));
                if (!rest.empty()) value = rest;
            }
            if (!Apply(o, key, value, result.message, readConfig)) {
                result.message = std::string(path) + ":" + std::to_string(lineNo) + ": " + result.message;
                return false;
            }
        }
        --depth;
        return true;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h" || arg == "--help") {
            result.message = UsageText();
            return result;
        }
        if (!arg.starts_with("--")) {
            result.message = "unexpected argument '" + std::string(arg) + "'";
            return result;
        }
        arg.remove_prefix(2);
        std::optional<std::string_view> value;
        if (const size_t eq = arg.find('='); eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        } else {
            const auto& specs = Specs();
            const auto it = specs.find(arg);
            const bool wants = arg == "config" || (it != specs.end() && it->second.takesValue);
            if (wants && i + 1 < args.size()) value = args[++i];
        }
        if (!Apply(o, arg, value, result.message, readConfig)) return result;
    }
    if (std::string err = Validate(o); !err.empty()) {
        result.message = err;
        return result;
    }
    result.options = std::move(o);
    return result;
}

}  // namespace pontiq::sim
