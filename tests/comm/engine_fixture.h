// A CommEngine with a recording sender, invented adapters and a real store in a temporary
// directory. Nothing here opens a socket: every datagram the engine sends is recorded.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/protocol.h"
#include "comm/raw_frame.h"
#include "store/value_format.h"

namespace pontiq::testing_engine {

using Bytes = std::vector<uint8_t>;

struct Sent {
    enum Kind { Broadcast, Multicast, Raw } kind;
    std::string from;  // adapter address ("" = the engine's own send socket)
    std::string to;    // broadcast destination, or the capture device of a raw frame
    uint16_t port = 0;
    Bytes bytes;
    std::string adapter;  // the adapter a broadcast leaves through

    ProtocolHeader Header() const { return *DecodeHeader(bytes); }
    uint16_t Type() const { return Header().msg_type; }
    std::string Mac() const { return MacText(std::span<const uint8_t, 6>(Header().mac)); }
    Bytes Payload() const { return Bytes(bytes.begin() + kHeaderSize, bytes.end()); }
};

class RecordingSender final : public DatagramSender {
public:
    bool SendBroadcast(std::string_view fromIp, std::string_view adapterName, std::string_view toIp,
                       uint16_t port, std::span<const uint8_t> datagram) override
    {
        return Record({Sent::Broadcast, std::string(fromIp), std::string(toIp), port,
                       Bytes(datagram.begin(), datagram.end()), std::string(adapterName)});
    }
    bool SendMulticast(std::string_view fromIp, std::span<const uint8_t> datagram) override
    {
        return Record(
            {Sent::Multicast, std::string(fromIp), {}, 0, Bytes(datagram.begin(), datagram.end()), {}});
    }
    bool SendRaw(const std::string& device, std::span<const uint8_t> frame) override
    {
        return Record({Sent::Raw, {}, device, 0, Bytes(frame.begin(), frame.end()), {}});
    }

    std::vector<Sent> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(sent_, {});
    }
    void SetResult(bool ok) { result_ = ok; }
    // Runs after each recorded send, outside the recorder's lock.
    std::function<void(const Sent&)> onSend;

private:
    bool Record(Sent s)
    {
        {
            std::lock_guard lock(mutex_);
            sent_.push_back(s);
        }
        if (onSend) onSend(s);
        return result_;
    }
    std::mutex mutex_;
    std::vector<Sent> sent_;
    std::atomic<bool> result_{true};
};

inline AdapterInfo MakeAdapter(const char* name, MacAddress mac,
                               std::vector<std::pair<const char*, const char*>> addresses,
                               uint8_t kind = kAdapterUsable)
{
    AdapterInfo a;
    a.kind = kind;
    std::copy(mac.begin(), mac.end(), a.mac);
    SetCText(a.name, name);
    SetCText(a.description, name);
    a.addressCount = static_cast<int32_t>(addresses.size());
    for (size_t i = 0; i < addresses.size() && i < 10; ++i) {
        SetCText(a.addresses[i].ip, addresses[i].first);
        SetCText(a.addresses[i].mask, addresses[i].second);
    }
    return a;
}

inline const MacAddress kAdapterMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
inline const MacAddress kMacA = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x01};
inline const MacAddress kMacB = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x02};
inline const MacAddress kMacC = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x03};

inline std::string Text(const MacAddress& mac)
{
    return MacText(mac);
}

inline UdpEndpoint From(const char* ip, uint16_t port = 9788)
{
    UdpEndpoint e;
    e.port = port;
    const auto bytes = IpToBytes(ip);
    std::copy(bytes.begin(), bytes.end(), e.address.begin());
    return e;
}

inline DISCOVER_REPLY Reply(std::string_view version, std::string_view name = "", std::string_view ssid = "")
{
    DISCOVER_REPLY r{};
    r.version_len = SetFieldText(r.version, version);
    r.ap_name_len = SetFieldText(r.ap_name, name);
    r.ssid_len = SetFieldText(r.ssid, ssid);
    r.work_mode = 3;
    r.mode_btn_status = 2;
    r.up_time = 1234;
    r.channel = 36;
    r.bridge_transparent = 1;
    r.tdmaEn = 1;
    return r;
}

// A device record body as a device sends it: configured address `ip`, type `type`.
inline ap_info_stu DeviceRecord(const char* ip, uint16_t type = 21, std::string_view version = "V2.0")
{
    ap_info_stu r;
    std::memset(&r, 0, sizeof(r));
    r.ap_type = type;
    r.work_mode = 1;
    r.up_time = 777;
    r.ip_block.ip_mode = 1;
    const auto b = IpToBytes(ip);
    std::copy(b.begin(), b.end(), r.ip_block.ip);
    const auto mask = IpToBytes("255.255.255.0");
    std::copy(mask.begin(), mask.end(), r.ip_block.ip_mask);
    r.version_len = SetFieldText(r.version, version);
    r.ap_name_len = SetFieldText(r.ap_name, "dev");
    r.extension_block.bridge_transparent = 1;
    r.extension_block.tdmaEn = 1;
    return r;
}

class EngineTest : public ::testing::Test {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/pontiq_engine_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = engine_store::CreateStore(dir_ + "/");
        adapters_ = {MakeAdapter("eth0", kAdapterMac, {{"192.168.0.10", "255.255.255.0"}})};
        MakeEngine();
    }

    void TearDown() override
    {
        if (sender_) sender_->onSend = nullptr;  // it may point into the finished test body
        engine_.reset();
        store_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    virtual EngineOptions Options() const
    {
        EngineOptions o;
        o.localEncoding = "UTF-8";
        return o;
    }

    void MakeEngine()
    {
        if (sender_) sender_->onSend = nullptr;
        engine_.reset();
        sender_ = std::make_shared<RecordingSender>();
        EngineServices services;
        services.sender = sender_;
        services.adapterQuery = [this] {
            std::lock_guard lock(adapterMutex_);
            return adapters_;
        };
        services.captureQuery = [this] { return captureDevices_; };
        engine_ = std::make_unique<CommEngine>(*store_, Options(), services);
        engine_->GetLocalAdapters();
    }

    void SetAdapters(std::vector<AdapterInfo> adapters)
    {
        {
            std::lock_guard lock(adapterMutex_);
            adapters_ = std::move(adapters);
        }
        engine_->GetLocalAdapters();
    }

    // Feeds one datagram through the receive path and the worker batch, as the threads would.
    bool Receive(ReceiveQueue q, const char* fromIp, const Bytes& bytes)
    {
        const bool queued = engine_->OnDatagram(q, From(fromIp), bytes);
        engine_->ProcessQueue(q);
        return queued;
    }

    void Discovered(const MacAddress& mac, const char* ip, uint16_t type = 21,
                    std::string_view version = "V1.0")
    {
        Receive(ReceiveQueue::Discovery, ip, BuildDiscoveryReply(type, mac, Reply(version)));
    }

    // Discovery reply, then the record: the device ends in state 2 with a stored row.
    void Described(const MacAddress& mac, const char* ip, uint16_t type = 21)
    {
        Discovered(mac, ip, type);
        Receive(ReceiveQueue::Reply, ip, BuildDeviceRecordReply(mac, DeviceRecord(ip, type)));
    }

    std::optional<OnlineDevice> Entry(const MacAddress& mac) const
    {
        for (const OnlineDevice& d : engine_->OnlineDevices()) {
            if (d.mac == Text(mac)) return d;
        }
        return std::nullopt;
    }

    uint32_t StoredType(const MacAddress& mac)
    {
        ap_info_stu r;
        return engine_store::GetDevice(*store_, r, Text(mac));
    }

    std::vector<uint16_t> SentTypes()
    {
        std::vector<uint16_t> types;
        for (const Sent& s : sender_->Take()) types.push_back(s.kind == Sent::Raw ? 0 : s.Type());
        return types;
    }

    std::string dir_;
    std::shared_ptr<CSqlManagement> store_;
    std::mutex adapterMutex_;
    std::vector<AdapterInfo> adapters_;
    std::vector<std::string> captureDevices_;
    std::shared_ptr<RecordingSender> sender_;
    std::unique_ptr<CommEngine> engine_;
};

}  // namespace pontiq::testing_engine
