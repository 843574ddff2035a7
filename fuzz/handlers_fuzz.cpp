// Arbitrary bytes as a datagram received on one of the engine's three ports (the first input
// byte picks the port), through the port filter, the queue and the port's reply handler into a
// real store. No socket is opened: every datagram the handlers send goes to a sink. The engine
// and its store live for the whole run, so a sequence of inputs builds up state as a LAN would.
// A broken invariant traps, so libFuzzer reports it like a crash.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <span>
#include <string>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"

namespace {

using namespace pontiq;

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

class SinkSender final : public DatagramSender {
public:
    bool SendBroadcast(std::string_view, std::string_view, std::string_view, uint16_t,
                       std::span<const uint8_t>) override
    {
        return true;
    }
    bool SendMulticast(std::string_view, std::span<const uint8_t> datagram) override
    {
        Check(DecodeHeader(datagram).has_value());
        return true;
    }
    bool SendRaw(const std::string&, std::span<const uint8_t>) override { return true; }
};

struct Harness {
    Harness()
    {
        char pattern[] = "/tmp/pontiq_handlers_fuzz_XXXXXX";
        Check(mkdtemp(pattern) != nullptr);
        dir = pattern;
        store = engine_store::CreateStore(dir);
        EngineServices services;
        services.sender = std::make_shared<SinkSender>();
        // Every address is in the adapter's subnet, so every reply is answered.
        services.adapterQuery = [] {
            AdapterInfo a{};
            a.kind = kAdapterUsable;
            a.mac[0] = 2;
            SetCText(a.name, "fuzz0");
            a.addressCount = 1;
            SetCText(a.addresses[0].ip, "10.0.0.1");
            SetCText(a.addresses[0].mask, "0.0.0.0");
            return std::vector<AdapterInfo>{a};
        };
        services.captureQuery = [] { return std::vector<std::string>{}; };
        EngineOptions options;
        options.localEncoding = "GBK";  // the non-UTF-8 conversion path
        engine = std::make_unique<CommEngine>(*store, options, services);
        engine->GetLocalAdapters();
    }
    ~Harness()
    {
        engine.reset();
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string dir;
    std::shared_ptr<CSqlManagement> store;
    std::unique_ptr<CommEngine> engine;
    uint64_t runs = 0;
};

Harness& Instance()
{
    static Harness harness;
    return harness;
}

UdpEndpoint Sender(uint8_t b)
{
    UdpEndpoint from;
    from.address = {10, 0, 0, static_cast<uint8_t>(b % 4 + 10)};  // a few senders: address conflicts
    from.port = 9788;
    return from;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    Harness& h = Instance();
    const auto queue = static_cast<ReceiveQueue>(data[0] % kReceiveQueueCount);
    const std::span<const uint8_t> datagram(data + 2, size - 2);
    h.engine->OnDatagram(queue, Sender(data[1]), datagram);
    h.engine->ProcessQueue(queue);
    if (data[1] & 0x80) h.engine->RetransmitTick(std::chrono::steady_clock::now() + std::chrono::hours(1));
    if ((data[1] & 0x60) == 0x60) h.engine->AgeTick();

    // One entry per MAC, and what is stored can be read back whole.
    const std::vector<OnlineDevice> table = h.engine->OnlineDevices();
    std::set<std::string> macs;
    for (const OnlineDevice& d : table) {
        Check(macs.insert(d.mac).second);
        Check(d.versionLen <= sizeof(d.version) && d.nameLen <= sizeof(d.name) &&
              d.ssidLen <= sizeof(d.ssid));
    }
    if (++h.runs % 256 == 0) {
        std::vector<ap_info_stu> list;
        int pages = 0, online = 0;
        Check(h.store->ListDevicesPage(0, list, pages, online, 30, 1, true, "a"));
        for (const ap_info_stu& r : list) Check(r.ap_name_len <= sizeof(r.ap_name));
        // Start over now and then, so the table does not only grow.
        h.engine->StartSearch(std::nullopt);
    }
    return 0;
}
