#include "tools/fileserver/tftp_packet.h"

#include <algorithm>
#include <cstring>

namespace pontiq::fileserver {
namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Decimal digits only, no sign or blanks; none when out of range.
std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max)
{
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

Refusal Malformed()
{
    return {kErrIllegalOperation, "Malformed request"};
}

}  // namespace

std::variant<Request, Refusal> ParseRequest(std::span<const uint8_t> packet)
{
    if (packet.size() < 2) return Malformed();
    const uint16_t opcode = Be16(packet.data());
    if (opcode == kOpWrq) return Refusal{kErrAccessViolation, "Read-only server"};
    if (opcode != kOpRrq) return Refusal{kErrIllegalOperation, "Illegal TFTP operation"};
    if (packet.size() > kMaxRequestBytes) return Refusal{kErrIllegalOperation, "Request too long"};

    // The rest is a list of NUL-terminated strings: name, mode, then option name/value pairs.
    std::vector<std::string_view> fields;
    const char* text = reinterpret_cast<const char*>(packet.data()) + 2;
    const size_t size = packet.size() - 2;
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '\0') {
            fields.emplace_back(text + start, i - start);
            start = i + 1;
        }
    }
    if (start != size) return Malformed();  // an unterminated last string
    // Some clients pad requests with NULs: trailing empty strings carry nothing.
    while (fields.size() > 2 && fields.back().empty()) fields.pop_back();
    if (fields.size() < 2 || fields.size() % 2 != 0) return Malformed();

    Request request;
    request.opcode = opcode;
    request.fileName = std::string(fields[0]);
    if (request.fileName.empty()) return Malformed();
    const std::string mode = Lower(fields[1]);
    if (mode == "netascii") {
        request.netascii = true;
    } else if (mode != "octet") {
        return Refusal{kErrIllegalOperation, "Unsupported transfer mode"};
    }
    for (size_t i = 2; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty()) return Malformed();
        Option option{Lower(fields[i]), std::string(fields[i + 1])};
        const bool seen = std::any_of(request.options.begin(), request.options.end(),
                                      [&](const Option& o) { return o.name == option.name; });
        if (!seen) request.options.push_back(std::move(option));
    }
    return request;
}

std::optional<Refusal> CheckFileName(std::string_view name)
{
    if (name.empty()) return Refusal{kErrFileNotFound, "File not found"};
    if (name.front() == '/') return Refusal{kErrAccessViolation, "Access violation"};
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Refusal{kErrAccessViolation, "Access violation"};
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return Refusal{kErrAccessViolation, "Access violation"};
        start = end + 1;
    }
    return std::nullopt;
}

Negotiated Negotiate(const std::vector<Option>& options, const Limits& limits,
                     std::optional<uint64_t> fileSize)
{
    Negotiated result;
    const uint32_t maxBlock = std::clamp(limits.maxBlockSize, kMinBlockSize, kMaxBlockSize);
    size_t windowAt = SIZE_MAX;
    for (const Option& o : options) {
        if (o.name == "blksize") {
            const auto v = ParseNumber(o.value, UINT64_MAX);
            if (!v || *v < kMinBlockSize) continue;
            result.blockSize = static_cast<uint32_t>(std::min<uint64_t>(*v, maxBlock));
            result.reply.push_back({o.name, std::to_string(result.blockSize)});
        } else if (o.name == "timeout") {
            const auto v = ParseNumber(o.value, 255);
            if (!v || *v < 1) continue;
            result.timeoutSeconds = static_cast<uint32_t>(*v);
            result.reply.push_back({o.name, std::to_string(*v)});
        } else if (o.name == "tsize") {
            // Some clients (curl) take a size of 0 in the OACK for an error: an empty file goes
            // without it, which the option allows.
            if (!fileSize || *fileSize == 0) continue;
            result.reply.push_back({o.name, std::to_string(*fileSize)});
        } else if (o.name == "windowsize") {
            const auto v = ParseNumber(o.value, 65535);
            if (!v || *v < 1) continue;
            result.windowSize = static_cast<uint32_t>(*v);
            windowAt = result.reply.size();
            result.reply.push_back({o.name, ""});
        }
    }
    // The window is bounded by memory too, which depends on the block size agreed above.
    const uint32_t byBytes = static_cast<uint32_t>(
        std::max<size_t>(1, limits.maxWindowBytes / static_cast<size_t>(result.blockSize)));
    result.windowSize = std::clamp<uint32_t>(result.windowSize, 1,
                                             std::max<uint32_t>(1, std::min(limits.maxWindowSize, byBytes)));
    if (windowAt != SIZE_MAX) result.reply[windowAt].value = std::to_string(result.windowSize);
    return result;
}

std::vector<uint8_t> ErrorPacket(uint16_t code, std::string_view message)
{
    std::vector<uint8_t> out(4 + message.size() + 1, 0);
    PutBe16(out.data(), kOpError);
    PutBe16(out.data() + 2, code);
    std::memcpy(out.data() + 4, message.data(), message.size());
    return out;
}

std::vector<uint8_t> OackPacket(const std::vector<Option>& options)
{
    size_t size = 2;
    for (const Option& o : options) size += o.name.size() + o.value.size() + 2;
    std::vector<uint8_t> out(size, 0);
    PutBe16(out.data(), kOpOack);
    size_t at = 2;
    for (const Option& o : options) {
        std::memcpy(out.data() + at, o.name.data(), o.name.size());
        at += o.name.size() + 1;
        std::memcpy(out.data() + at, o.value.data(), o.value.size());
        at += o.value.size() + 1;
    }
    return out;
}

}  // namespace pontiq::fileserver
