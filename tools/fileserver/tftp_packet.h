// TFTP packets of a read-only server: the request parser, option negotiation (block size,
// transfer size, time-out, window size) and the packets the server builds. No sockets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pontiq::fileserver {

inline constexpr uint16_t kOpRrq = 1;
inline constexpr uint16_t kOpWrq = 2;
inline constexpr uint16_t kOpData = 3;
inline constexpr uint16_t kOpAck = 4;
inline constexpr uint16_t kOpError = 5;
inline constexpr uint16_t kOpOack = 6;

inline constexpr uint16_t kErrNotDefined = 0;
inline constexpr uint16_t kErrFileNotFound = 1;
inline constexpr uint16_t kErrAccessViolation = 2;
inline constexpr uint16_t kErrIllegalOperation = 4;
inline constexpr uint16_t kErrOptionRefused = 8;

// Requests, options included, fit in 512 bytes.
inline constexpr size_t kMaxRequestBytes = 512;
inline constexpr uint32_t kDefaultBlockSize = 512;
inline constexpr uint32_t kMinBlockSize = 8;
inline constexpr uint32_t kMaxBlockSize = 65464;

struct Option {
    std::string name;  // lower case
    std::string value;
    bool operator==(const Option&) const = default;
};

struct Request {
    uint16_t opcode = kOpRrq;
    std::string fileName;
    bool netascii = false;
    std::vector<Option> options;  // in request order, first of a repeated name only
};

// Why a packet is refused, and so the error packet that answers it.
struct Refusal {
    uint16_t code = kErrIllegalOperation;
    std::string message;
    bool operator==(const Refusal&) const = default;
};

// A read request, or the refusal of anything else that arrives at the server's port: write
// requests, other opcodes, malformed or oversized requests, unknown modes.
std::variant<Request, Refusal> ParseRequest(std::span<const uint8_t> packet);

// Lexical check of a requested name: nothing absolute, no "..", no control characters. The
// open itself is confined to the folder as well (symbolic links out of it are refused there).
std::optional<Refusal> CheckFileName(std::string_view name);

struct Limits {
    uint32_t maxBlockSize = kMaxBlockSize;
    uint32_t maxWindowSize = 64;
    size_t maxWindowBytes = 1u << 20;  // one window is kept in memory for repeats
};

struct Negotiated {
    uint32_t blockSize = kDefaultBlockSize;
    uint32_t windowSize = 1;
    uint32_t timeoutSeconds = 0;  // 0: the server's own
    std::vector<Option> reply;    // the accepted options for the OACK, in request order; empty: no OACK
};

// Accepts the options this server knows, within limits (a smaller block or window size is
// answered, as the options allow); unknown or unusable options are left out of the reply.
// fileSize: the size to answer tsize with; none when it is not known in advance (netascii).
// An empty file's size is not answered either.
Negotiated Negotiate(const std::vector<Option>& options, const Limits& limits,
                     std::optional<uint64_t> fileSize);

std::vector<uint8_t> ErrorPacket(uint16_t code, std::string_view message);
std::vector<uint8_t> OackPacket(const std::vector<Option>& options);

inline uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline void PutBe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

}  // namespace pontiq::fileserver
