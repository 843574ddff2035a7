// Arbitrary bytes as a received datagram on every port, through the accept filter and every
// decoder; decoded values re-encoded with the device-side builders must decode to the same
// values. A broken invariant traps, so libFuzzer reports it like a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "comm/protocol.h"
#include "comm/raw_frame.h"

namespace {

using namespace pontiq;

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

template <size_t N>
void CheckText(const char (&)[N], uint8_t len)
{
    Check(len <= N);
}

template <typename T>
bool SameBytes(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

MacAddress MacOf(const ProtocolHeader& header)
{
    MacAddress mac{};
    std::memcpy(mac.data(), header.mac, mac.size());
    return mac;
}

void FuzzDecoders(std::span<const uint8_t> in)
{
    bool acceptedAnywhere = false;
    for (const uint16_t port : {kPortDiscoveryReply, kPortDiscoveryRequest, kPortCommand, kPortCommandReply,
                                uint16_t{0}, uint16_t{65535}}) {
        acceptedAnywhere |= Accept(port, in);
    }

    const auto header = DecodeHeader(in);
    Check(header.has_value() == acceptedAnywhere);
    if (!header) {
        Check(!DecodeDiscoveryReply(in) && !DecodeHeartbeat(in) && !DecodeDeviceRecord(in) &&
              !DecodeSurveyPage(in) && !DecodeResultByte(in));
        return;
    }
    Check(in.size() >= kHeaderSize && in.size() <= kMaxDatagram && header->magic == kMagic);
    const MacAddress mac = MacOf(*header);
    const size_t received = in.size() - kHeaderSize;
    Check(ReceivedPayload(in).size() == received);

    const auto reply = DecodeDiscoveryReply(in);
    Check(reply.has_value());
    CheckText(reply->fields.version, reply->fields.version_len);
    CheckText(reply->fields.ap_name, reply->fields.ap_name_len);
    CheckText(reply->fields.ssid, reply->fields.ssid_len);
    {
        const auto again = DecodeDiscoveryReply(
            BuildDiscoveryReply(header->type_code, mac, reply->fields, !reply->long_form));
        Check(again && again->long_form == reply->long_form && SameBytes(again->fields, reply->fields));
    }

    const auto heartbeat = DecodeHeartbeat(in);
    Check(heartbeat && heartbeat->work_mode == 0 && heartbeat->mode_btn_status == 0 &&
          heartbeat->unread35 == 0);
    CheckText(heartbeat->version, heartbeat->version_len);
    {
        const auto again = DecodeHeartbeat(BuildHeartbeat(header->type_code, mac, *heartbeat));
        Check(again && SameBytes(*again, *heartbeat));
    }

    const auto record = DecodeDeviceRecord(in);
    Check(record && record->ap_type == header->type_code && record->ap_status == 0);
    Check(strnlen(record->mac, sizeof(record->mac)) == 17);
    CheckText(record->ap_name, record->ap_name_len);
    CheckText(record->version, record->version_len);
    CheckText(record->radio_block.security.ssid, record->radio_block.security.ssid_len);
    CheckText(record->radio_block.security.wpa_key, record->radio_block.security.wpa_key_len);
    CheckText(record->bridge_ssid, record->bridge_ssid_len);
    {
        const auto again = DecodeDeviceRecord(BuildDeviceRecordReply(mac, *record));
        Check(again && SameBytes(*again, *record));
    }

    const auto page = DecodeSurveyPage(in);
    Check(page && page->entries.size() == page->header.icount && page->entries.size() <= kMaxSurveyEntries);
    Check(page->entries.empty() ||
          sizeof(SURVEY_PAGE_HEADER) + page->entries.size() * kSurveyEntrySize <= received);
    for (const config_otherwl_basic& entry : page->entries) CheckText(entry.ssid, entry.ssid_len);
    {
        const auto built = BuildSurveyPage(header->type_code, mac, page->header.packet_count,
                                           page->header.packet_id, page->entries);
        Check(built.has_value());
        const auto again = DecodeSurveyPage(*built);
        Check(again && !again->icount_mended && again->entries.size() == page->entries.size());
        for (size_t k = 0; k < page->entries.size(); ++k)
            Check(SameBytes(again->entries[k], page->entries[k]));
    }

    const auto result = DecodeResultByte(in);
    Check(result.has_value() == (received > 0));
    if (result) Check(*result == in[kHeaderSize]);
}

void FuzzEncoders(std::span<const uint8_t> in)
{
    const uint16_t msgType = in.size() >= 2 ? static_cast<uint16_t>(in[0] | in[1] << 8) : 0;
    MacAddress mac{};
    if (!in.empty()) std::memcpy(mac.data(), in.data(), std::min(in.size(), mac.size()));

    const auto d = BuildCommand(msgType, in, mac);
    Check(d.has_value() == (in.size() <= kMaxPayload));
    if (d) {
        Check(d->size() == kHeaderSize + in.size());
        const auto header = DecodeHeader(*d);
        Check(header && header->msg_type == msgType && header->multicast == 1 &&
              header->payload_len == in.size());
        Check(Accept(kPortCommandReply, *d));
        const auto payload = ReceivedPayload(*d);
        Check(payload.size() == in.size() && std::equal(payload.begin(), payload.end(), in.begin()));
    }

    if (in.size() >= 20) {
        const Ipv4Address src = {in[12], in[13], in[14], in[15]};
        const Ipv4Address dst = {in[16], in[17], in[18], in[19]};
        const RawFrame frame = BuildRawDiscoveryFrame(mac, mac, src, dst);
        const auto bytes = std::span<const uint8_t>(frame);
        Check(InternetChecksum(bytes.subspan(kRawFrameIpOffset, kRawFrameIpHeaderSize)) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> in(data, size);
    FuzzDecoders(in);
    FuzzEncoders(in);
    return 0;
}
