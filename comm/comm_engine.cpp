#include "comm/comm_engine.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "comm/engine_store.h"
#include "comm/online_table.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

constexpr int kSocketBuffer = 1 << 20;              // 1 MiB
constexpr int kReplySocketBuffer = 10 * (1 << 20);  // 10 MiB: bursts of records and survey pages
// A search of a few thousand devices answers in one burst of discovery replies; 1 MiB holds about
// 3,300 of them, so a receive thread held up for a moment would lose the rest to the kernel.
constexpr int kDiscoveryReplySocketBuffer = 8 * (1 << 20);
// Within a send batch, heartbeats caught by a command socket are passed on after this many sends
// (and when the batch ends).
constexpr size_t kBatchDrainEvery = 32;

// The port whose filter applies to each queue; the filter rules go by the protocol's ports
// even when a test engine listens elsewhere.
constexpr std::array<uint16_t, kReceiveQueueCount> kFilterPorts = {kPortDiscoveryReply, kPortCommand,
                                                                   kPortCommandReply};

uint64_t PackMac(const MacAddress& mac)
{
    uint64_t v = 0;
    for (size_t i = 0; i < mac.size(); ++i) {
        v |= static_cast<uint64_t>(mac[i]) << (8 * i);
    }
    return v;
}

MacAddress UnpackMac(uint64_t v)
{
    MacAddress mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        mac[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    return mac;
}

bool IsNeverTracked(uint16_t msgType)
{
    return msgType == MSG_DISCOVER || msgType == MSG_SITE_SURVEY || msgType == MSG_HEARTBEAT ||
           msgType == MSG_RELEASE;
}

}  // namespace

// The real sending path: one short-lived socket per discovery target and per command.
class CommEngine::SocketSender final : public DatagramSender {
public:
    SocketSender(CommEngine& engine, RawFrameSender raw) : engine_(engine), raw_(std::move(raw)) {}

    bool SendBroadcast(std::string_view fromIp, std::string_view adapterName, std::string_view toIp,
                       uint16_t port, std::span<const uint8_t> datagram) override
    {
        if (fromIp.empty()) {
            std::lock_guard lock(engine_.sendSocketLock_);
            return engine_.sendSocket_.SendTo(toIp, port, datagram);
        }
        UdpSocket socket = UdpSocket::Create();
        if (!socket.SetReuseAddress() || !socket.SetBroadcast() || !socket.SetBufferSizes(kSocketBuffer) ||
            !socket.Bind(fromIp, engine_.options_.discoveryRequestPort)) {
            return false;
        }
        // Linux sends a directed broadcast through the first interface with a route to it, not
        // through the one the source address belongs to; two adapters in one subnet would both
        // send out of the first. Tying the socket to the adapter keeps one request per adapter.
        // It needs CAP_NET_RAW; without it the request still goes out, by the routing table.
        socket.BindToDevice(adapterName);
        return socket.SendTo(toIp, port, datagram);
    }

    bool SendMulticast(std::string_view fromIp, std::span<const uint8_t> datagram) override
    {
        const EngineOptions& o = engine_.options_;
        Batch& batch = ThreadBatch();
        if (batch.depth > 0 && batch.owner == this) {
            auto it = std::find_if(batch.sockets.begin(), batch.sockets.end(),
                                   [&](const auto& s) { return s.first == fromIp; });
            if (it == batch.sockets.end()) {
                UdpSocket socket = OpenCommandSocket(fromIp);
                if (!socket.IsValid()) {
                    return false;
                }
                batch.sockets.emplace_back(std::string(fromIp), std::move(socket));
                it = std::prev(batch.sockets.end());
            }
            const bool sent = it->second.SendTo(o.multicastGroup, o.commandPort, datagram);
            // Not after every send: a receive call per send would double the cost of a batch.
            if (++batch.sends % kBatchDrainEvery == 0) {
                PassOnHeartbeats(it->second);
            }
            return sent;
        }
        UdpSocket socket = OpenCommandSocket(fromIp);
        if (!socket.IsValid()) {
            return false;
        }
        const bool sent = socket.SendTo(o.multicastGroup, o.commandPort, datagram);
        PassOnHeartbeats(socket);
        return sent;
    }

    void BeginBatch() override
    {
        Batch& batch = ThreadBatch();
        if (batch.depth++ == 0) {
            batch.owner = this;
        }
    }

    void EndBatch() override
    {
        Batch& batch = ThreadBatch();
        if (batch.depth == 0 || --batch.depth > 0) {
            return;
        }
        for (auto& [ip, socket] : batch.sockets) {
            PassOnHeartbeats(socket);
        }
        batch.sockets.clear();
        batch.owner = nullptr;
        batch.sends = 0;
    }

    bool SendRaw(const std::string& device, std::span<const uint8_t> frame) override
    {
        return raw_(device, frame);
    }

private:
    // The command sockets one thread keeps between BeginBatch and EndBatch.
    struct Batch {
        const SocketSender* owner = nullptr;
        int depth = 0;
        size_t sends = 0;
        std::vector<std::pair<std::string, UdpSocket>> sockets;
    };
    static Batch& ThreadBatch()
    {
        thread_local Batch batch;
        return batch;
    }

    UdpSocket OpenCommandSocket(std::string_view fromIp) const
    {
        const EngineOptions& o = engine_.options_;
        UdpSocket socket = UdpSocket::Create();
        if (!socket.SetReuseAddress() || !socket.SetBufferSizes(kSocketBuffer) ||
            !socket.JoinMulticast(o.multicastGroup, fromIp) || !socket.Bind(fromIp, o.commandPort)) {
            return UdpSocket();
        }
        return socket;
    }

    // While a command socket is bound to adapter:9787 the kernel delivers unicast heartbeats
    // for that address to it rather than to the heartbeat socket; pass them on.
    void PassOnHeartbeats(UdpSocket& socket)
    {
        std::array<uint8_t, kMaxDatagram> buffer;
        UdpEndpoint from;
        for (long n; (n = socket.TryReceive(buffer, from)) >= 0;) {
            if (n > static_cast<long>(buffer.size())) {
                engine_.counters_.oversize[Index(ReceiveQueue::Heartbeat)]++;
                continue;
            }
            engine_.OnDatagram(ReceiveQueue::Heartbeat, from,
                               std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
        }
    }

    CommEngine& engine_;
    RawFrameSender raw_;
};

namespace {

// The final MSG_RELEASEs stop after this long; they normally take a few milliseconds.
constexpr std::chrono::milliseconds kReleaseTimeLimit{1000};

// A drained batch larger than this is written in several transactions, so that a window
// reading the store never waits long behind the worker.
constexpr size_t kMaxWritesPerTransaction = 256;

}  // namespace

// The store writes of one worker batch on the calling thread (see Writes()).
class CommEngine::WorkerBatch final {
public:
    explicit WorkerBatch(CommEngine& engine) : engine_(engine), outer_(current_) { current_ = this; }
    ~WorkerBatch()
    {
        Flush();
        current_ = outer_;
    }
    WorkerBatch(const WorkerBatch&) = delete;
    WorkerBatch& operator=(const WorkerBatch&) = delete;

    // The batch of `engine` running on this thread, if any.
    static WorkerBatch* Of(const CommEngine& engine)
    {
        for (WorkerBatch* b = current_; b; b = b->outer_) {
            if (&b->engine_ == &engine) return b;
        }
        return nullptr;
    }

    engine_store::WriteBatch& Writes() { return writes_; }
    void MarkSurveyComplete() { surveyComplete_ = true; }

    void FlushWhenFull()
    {
        if (writes_.Size() >= kMaxWritesPerTransaction) {
            Flush();
        }
    }

    void Flush()
    {
        writes_.Apply(engine_.store_);
        // Only after the page is stored: whoever sees the flag then finds every page.
        if (std::exchange(surveyComplete_, false)) {
            engine_.surveyComplete_ = true;
        }
    }

private:
    static thread_local WorkerBatch* current_;
    CommEngine& engine_;
    WorkerBatch* outer_;
    engine_store::WriteBatch writes_;
    bool surveyComplete_ = false;
};

thread_local CommEngine::WorkerBatch* CommEngine::WorkerBatch::current_ = nullptr;

engine_store::StoreWriter CommEngine::Writes()
{
    WorkerBatch* batch = WorkerBatch::Of(*this);
    return engine_store::StoreWriter(store_, batch ? &batch->Writes() : nullptr);
}

void CommEngine::MarkSurveyComplete()
{
    if (WorkerBatch* batch = WorkerBatch::Of(*this)) {
        batch->MarkSurveyComplete();
    } else {
        surveyComplete_ = true;
    }
}

CommEngine& CommEngine::Instance()
{
    // The store is asked for first, so it is built before the engine and outlives it.
    static CommEngine engine(engine_store::ProgramStore());
    return engine;
}

CommEngine::CommEngine(CSqlManagement& store, EngineOptions options, EngineServices services)
    : store_(store),
      options_(std::move(options)),
      text_(options_.localEncoding.empty() ? COperateCharacter::LocalEncodingName() : options_.localEncoding),
      sender_(std::move(services.sender)),
      adapterQuery_(std::move(services.adapterQuery)),
      captureQuery_(std::move(services.captureQuery)),
      replyObserver_(std::move(services.replyObserver)),
      table_(std::make_unique<OnlineTable>()),
      retries_(std::make_unique<RetryTable>())
{
    if (!sender_) {
        RawFrameSender raw =
            services.rawFrameSender ? std::move(services.rawFrameSender) : RawFrameSender(SendRawFrame);
        sender_ = std::make_shared<SocketSender>(*this, std::move(raw));
    }
    if (!adapterQuery_) {
        adapterQuery_ = QueryHostAdapters;
    }
    if (!captureQuery_) {
        captureQuery_ = FindCaptureDevices;
    }
}

CommEngine::~CommEngine()
{
    Shutdown();
}

// ---- Life cycle -----------------------------------------------------------------------

bool CommEngine::Start(int32_t retransmissionMax, int32_t retransmissionIntervalMs)
{
    std::lock_guard life(lifeMutex_);
    ConfigureRetransmission(retransmissionMax, retransmissionIntervalMs);
    if (shutDown_) {
        return false;
    }
    StopThreadsAndSockets();
    if (!OpenSockets() || !StartThreads()) {
        return false;
    }
    GetLocalAdapters();
    return true;
}

void CommEngine::ConfigureRetransmission(int32_t retransmissionMax, int32_t retransmissionIntervalMs)
{
    retransmissionMax_ = std::max<int32_t>(retransmissionMax, 0);
    // A non-numeric setting reads as 0; a zero period would make the retransmission thread spin.
    retransmissionInterval_ = std::max(retransmissionIntervalMs, kMinRetransmissionIntervalMs);
}

bool CommEngine::OpenSockets()
{
    struct Plan {
        UdpSocket* socket;
        uint16_t port;
        bool broadcast;
        int buffer;
    };
    const Plan plans[] = {
        {&sendSocket_, options_.discoveryRequestPort, true, kSocketBuffer},
        {&receiveSockets_[0], options_.discoveryReplyPort, false, kDiscoveryReplySocketBuffer},
        {&receiveSockets_[1], options_.commandPort, false, kSocketBuffer},
        {&receiveSockets_[2], options_.commandReplyPort, false, kReplySocketBuffer},
    };
    for (const Plan& plan : plans) {
        UdpSocket socket = UdpSocket::Create();
        if (!socket.SetReuseAddress() || (plan.broadcast && !socket.SetBroadcast()) ||
            !socket.SetBufferSizes(plan.buffer) || !socket.Bind(options_.bindIp, plan.port)) {
            return false;
        }
        if (plan.socket == &sendSocket_) {
            std::lock_guard lock(sendSocketLock_);
            sendSocket_ = std::move(socket);
        } else {
            *plan.socket = std::move(socket);
        }
    }
    return true;
}

bool CommEngine::StartThreads()
{
    for (size_t i = 0; i < kReceiveQueueCount; ++i) {
        receiveStop_[i] = false;
        workerStop_[i] = false;
        wakeEvents_[i].Reset();
    }
    periodicStop_ = false;
    try {
        for (size_t i = 0; i < kReceiveQueueCount; ++i) {
            receiveThreads_[i] = std::thread(&CommEngine::ReceiveLoop, this, static_cast<ReceiveQueue>(i));
        }
        for (size_t i = 0; i < kReceiveQueueCount; ++i) {
            workerThreads_[i] = std::thread(&CommEngine::WorkerLoop, this, static_cast<ReceiveQueue>(i));
        }
        agingThread_ = std::thread(&CommEngine::AgingLoop, this);
        retransmissionThread_ = std::thread(&CommEngine::RetransmissionLoop, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CommEngine::StopThreadsAndSockets()
{
    for (size_t i = 0; i < kReceiveQueueCount; ++i) {
        receiveStop_[i] = true;
        workerStop_[i] = true;
        wakeEvents_[i].Set();
    }
    {
        std::lock_guard lock(periodicMutex_);
        periodicStop_ = true;
    }
    periodicCv_.notify_all();
    for (UdpSocket& socket : receiveSockets_) {
        socket.Shutdown();
    }
    auto join = [](std::thread& t) {
        if (t.joinable()) {
            t.join();
        }
    };
    for (auto& t : receiveThreads_) join(t);
    for (auto& t : workerThreads_) join(t);
    join(agingThread_);
    join(retransmissionThread_);
    // Closed only after the threads that used them have ended, so no descriptor is reused
    // under a thread still blocked on it.
    for (UdpSocket& socket : receiveSockets_) {
        socket.Close();
    }
    std::lock_guard lock(sendSocketLock_);
    sendSocket_.Close();
}

void CommEngine::Shutdown()
{
    std::lock_guard life(lifeMutex_);
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    StopThreadsAndSockets();

    // What the workers had not taken is dropped unhandled: the program is ending.
    for (size_t i = 0; i < kReceiveQueueCount; ++i) {
        std::deque<ReceivedDatagram> dropped;
        std::lock_guard lock(queueLocks_[i]);
        dropped.swap(queues_[i]);
    }
    std::vector<std::pair<std::string, std::string>> known;
    {
        std::lock_guard lock(tableLock_);
        known.reserve(table_->Size());
        // Described devices first: should the time run out, it runs out on devices only heard.
        for (const uint8_t state : {2, 1}) {
            for (const OnlineDevice& d : table_->Items()) {
                if ((d.state == 2) == (state == 2)) {
                    known.emplace_back(d.ip, d.mac);
                }
            }
        }
        table_->Clear();
    }
    {
        // One socket per adapter address for all of them, not one per device; and an end in
        // sight however many devices a flood made up.
        SendBatch batch(*sender_);
        const auto deadline = std::chrono::steady_clock::now() + kReleaseTimeLimit;
        for (size_t k = 0; k < known.size(); ++k) {
            if (k % 256 == 255 && std::chrono::steady_clock::now() > deadline) {
                break;
            }
            SendCommand(known[k].first, MSG_RELEASE, {}, known[k].second, false);
        }
    }
    std::lock_guard lock(retryMutex_);
    retries_->Clear();
}

// ---- Threads --------------------------------------------------------------------------

bool CommEngine::WaitPeriod(std::chrono::milliseconds period)
{
    std::unique_lock lock(periodicMutex_);
    return !periodicCv_.wait_for(lock, period, [this] { return periodicStop_.load(); });
}

void CommEngine::ReceiveLoop(ReceiveQueue queue)
{
    const size_t i = Index(queue);
    UdpSocket& socket = receiveSockets_[i];
    std::array<uint8_t, kMaxDatagram> buffer;
    for (;;) {
        UdpEndpoint from;
        const long n = socket.Receive(buffer, from);
        if (receiveStop_[i]) {
            return;
        }
        if (n < 0) {
            // A persistent error must not turn into a busy loop.
            std::unique_lock lock(periodicMutex_);
            periodicCv_.wait_for(lock, std::chrono::milliseconds(10), [&] { return receiveStop_[i].load(); });
            continue;
        }
        if (n > static_cast<long>(buffer.size())) {
            counters_.oversize[i]++;
            continue;
        }
        OnDatagram(queue, from, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    }
}

void CommEngine::WorkerLoop(ReceiveQueue queue)
{
    const size_t i = Index(queue);
    for (;;) {
        wakeEvents_[i].Wait();
        if (workerStop_[i]) {
            return;
        }
        ProcessQueue(queue);
    }
}

void CommEngine::AgingLoop()
{
    while (WaitPeriod(options_.agingPeriod)) {
        AgeTick();
    }
}

void CommEngine::RetransmissionLoop()
{
    using Clock = std::chrono::steady_clock;
    auto wake = Clock::now() + std::chrono::milliseconds(retransmissionInterval_.load());
    for (;;) {
        {
            std::unique_lock lock(periodicMutex_);
            if (periodicCv_.wait_until(lock, wake, [this] { return periodicStop_.load(); })) {
                return;
            }
        }
        const auto now = Clock::now();
        const auto next = RetransmitTick(now);
        // The earliest due request, but at least once per interval: a request sent after this
        // pass is due no earlier than one interval from now. Passes are spaced by the shortest
        // interval at least: requests sent in a stream fall due one after another, and a pass
        // per request would walk the whole table each time. A repeat is late by that at most.
        const auto interval = std::chrono::milliseconds(retransmissionInterval_.load());
        wake = std::max(std::min(next, now + interval),
                        now + std::chrono::milliseconds(kMinRetransmissionIntervalMs));
    }
}

// ---- Receive path ---------------------------------------------------------------------

bool CommEngine::OnDatagram(ReceiveQueue queue, const UdpEndpoint& from, std::span<const uint8_t> bytes)
{
    const size_t i = Index(queue);
    if (bytes.size() > kMaxDatagram) {
        counters_.oversize[i]++;
        return false;
    }
    if (!Accept(kFilterPorts[i], bytes)) {
        counters_.refused[i]++;
        return false;
    }
    // The MAC search keeps only the target's discovery replies and heartbeats; command
    // replies are handled from every device.
    if (queue != ReceiveQueue::Reply && targetMacMode_.load()) {
        const MacAddress target = TargetMac();
        if (!std::equal(target.begin(), target.end(), bytes.begin() + offsetof(ProtocolHeader, mac))) {
            counters_.refused[i]++;
            return false;
        }
    }
    bool queued = false;
    {
        std::lock_guard lock(queueLocks_[i]);
        if (queues_[i].size() < kReceiveQueueCapacity) {
            queues_[i].push_back(ReceivedDatagram{from, std::vector<uint8_t>(bytes.begin(), bytes.end())});
            queued = true;
        }
    }
    (queued ? counters_.queued[i] : counters_.dropped[i])++;
    wakeEvents_[i].Set();
    return queued;
}

size_t CommEngine::ProcessQueue(ReceiveQueue queue)
{
    const size_t i = Index(queue);
    std::deque<ReceivedDatagram> batch;
    {
        std::lock_guard lock(queueLocks_[i]);
        batch.swap(queues_[i]);
    }
    if (batch.empty()) {
        return 0;
    }
    SendBatch sends(*sender_);
    WorkerBatch writes(*this);
    size_t handled = 0;
    for (const ReceivedDatagram& d : batch) {
        // Shutdown does not wait for a long batch: the rest is dropped.
        if (workerStop_[i].load(std::memory_order_relaxed)) {
            break;
        }
        switch (queue) {
            case ReceiveQueue::Discovery:
                HandleDiscoveryReply(d);
                break;
            case ReceiveQueue::Heartbeat:
                HandleHeartbeat(d);
                break;
            case ReceiveQueue::Reply:
                DispatchCommandReply(d);
                break;
        }
        counters_.handled[i]++;
        ++handled;
        writes.FlushWhenFull();
    }
    return handled;
}

// ---- Sending and retransmission -------------------------------------------------------

bool CommEngine::SendCommand(std::string_view ip, uint16_t msgType, std::span<const uint8_t> payload,
                             std::string_view mac, bool track)
{
    const auto datagram = BuildCommand(msgType, payload, HeaderMacFromText(mac));
    if (!datagram) {
        return false;
    }
    // The entry is in the table before the request leaves: a reply that comes back before
    // this call returns must find it, or the request would be repeated after its answer.
    // The retransmission mutex is taken outside the address lock, never inside it.
    const uint64_t retry = track && !IsNeverTracked(msgType) ? AddRetry(ip, msgType, payload, mac) : 0;
    const uint64_t awaited = track ? AwaitReply(msgType, mac, payload) : 0;
    bool sent = false;
    {
        std::lock_guard lock(addressLock_);
        for (const AdapterAddress& a : addresses_) {
            const std::string_view from = CText(a.ip);
            if (from.empty() || !SameSubnet(from, CText(a.mask), ip)) {
                continue;
            }
            if (msgType == MSG_SITE_SURVEY) {
                surveyComplete_ = false;
            }
            // Any send that went out counts: the device has the request and its reply must
            // cancel the repeats, even when a second adapter in the same subnet failed.
            sent = sender_->SendMulticast(from, *datagram) || sent;
        }
    }
    if (retry != 0) {
        if (sent) {
            const auto due =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(retransmissionInterval_.load());
            std::lock_guard lock(retryMutex_);
            retries_->Arm(retry, due);
        } else {
            RemoveRetry(retry);
        }
    }
    if (awaited != 0 && !sent) {
        DropAwaited(awaited);
    }
    return sent;
}

uint64_t CommEngine::AddRetry(std::string_view ip, uint16_t msgType, std::span<const uint8_t> payload,
                              std::string_view mac)
{
    RetryEntry entry;
    entry.remaining = retransmissionMax_.load();
    entry.ip = std::string(ip);
    entry.msgType = msgType;
    entry.payload.assign(payload.begin(), payload.end());
    // In the form the reply's header MAC is matched in, whatever form the caller used.
    entry.mac = MacText(HeaderMacFromText(mac));
    std::lock_guard lock(retryMutex_);
    return retries_->Add(std::move(entry));
}

void CommEngine::RemoveRetry(uint64_t id)
{
    std::lock_guard lock(retryMutex_);
    retries_->Remove(id);
}

void CommEngine::Acknowledge(std::string_view ip, uint16_t msgType, std::string_view mac)
{
    std::lock_guard lock(retryMutex_);
    retries_->Acknowledge(ip, msgType, mac);
}

void CommEngine::RetransmitTick()
{
    RetransmitTick(std::chrono::steady_clock::now());
}

std::chrono::steady_clock::time_point CommEngine::RetransmitTick(std::chrono::steady_clock::time_point now)
{
    const auto interval = std::chrono::milliseconds(retransmissionInterval_.load());
    std::lock_guard lock(retryMutex_);
    SendBatch sends(*sender_);
    return retries_->Pass(now, interval, [this](const RetryEntry& e) {
        SendCommand(e.ip, e.msgType, e.payload, e.mac, false);
    });
}

void CommEngine::AgeTick()
{
    std::vector<std::string> removed;
    {
        std::lock_guard lock(tableLock_);
        table_->EraseIf([&](const OnlineDevice& d) {
            if (d.countdown == 0) {
                removed.push_back(d.mac);
                return true;
            }
            return false;
        });
        for (OnlineDevice& d : table_->Items()) {
            // Devices only heard by discovery never age out; the next search clears them.
            if (d.state != 1) {
                --d.countdown;
            }
        }
    }
    for (const std::string& mac : removed) {
        engine_store::DeleteDevice(store_, mac);
    }
}

// ---- Target MAC -----------------------------------------------------------------------

void CommEngine::SetTargetMac(const MacAddress& mac)
{
    targetMac_ = PackMac(mac);
}

MacAddress CommEngine::TargetMac() const
{
    return UnpackMac(targetMac_.load());
}

// ---- Looking inside -------------------------------------------------------------------

std::vector<OnlineDevice> CommEngine::OnlineDevices() const
{
    std::lock_guard lock(tableLock_);
    return {table_->Items().begin(), table_->Items().end()};
}

std::vector<RetryEntry> CommEngine::RetryEntries() const
{
    std::lock_guard lock(retryMutex_);
    return retries_->Snapshot();
}

std::vector<AdapterAddress> CommEngine::AdapterAddresses() const
{
    std::lock_guard lock(addressLock_);
    return {addresses_.begin(), addresses_.end()};
}

std::vector<std::string> CommEngine::CaptureDevices() const
{
    std::lock_guard lock(captureLock_);
    return captureDevices_;
}

EngineCounters CommEngine::Counters() const
{
    EngineCounters c;
    for (size_t i = 0; i < kReceiveQueueCount; ++i) {
        c.queued[i] = counters_.queued[i].load();
        c.refused[i] = counters_.refused[i].load();
        c.dropped[i] = counters_.dropped[i].load();
        c.handled[i] = counters_.handled[i].load();
        c.oversize[i] = counters_.oversize[i].load();
    }
    c.heardOnlyDropped = counters_.heardOnlyDropped.load();
    c.shortRecords = counters_.shortRecords.load();
    return c;
}

size_t CommEngine::QueueDrops(ReceiveQueue queue) const
{
    return counters_.dropped[Index(queue)].load();
}

}  // namespace pontiq
