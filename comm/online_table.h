// The engine's two device tables with constant-time lookups: the online-device table (by MAC
// text, plus the confirmed holders of each address for the conflict checks) and the
// retransmission table (by request id and by the reply that acknowledges it). Both keep the
// order in which entries were added; neither is thread-safe: the engine guards each with its lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "comm/comm_engine.h"

namespace pontiq {

namespace detail {

struct TextKeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <typename T>
using TextMap = std::unordered_map<std::string, T, TextKeyHash, std::equal_to<>>;

}  // namespace detail

class OnlineTable final {
public:
    using Entries = std::list<OnlineDevice>;

    OnlineDevice* Find(std::string_view mac);
    const OnlineDevice* Find(std::string_view mac) const;
    // Appends an entry for a MAC that is not in the table yet.
    OnlineDevice& Append(OnlineDevice device);

    // Address and state change only through these, so the holder index follows them.
    void SetAddress(OnlineDevice& device, std::string ip);
    void SetConfirmed(OnlineDevice& device);  // state 2

    // Another confirmed entry (state 2, not `mac`) has the address `ip`.
    bool IsHeldByOther(std::string_view ip, std::string_view mac) const;
    // The confirmed entry with the address `ip` that comes last in table order, or null.
    const OnlineDevice* Holder(std::string_view ip) const;

    size_t Size() const { return entries_.size(); }
    size_t HeardOnlyCount() const { return heardOnly_; }
    const Entries& Items() const { return entries_; }
    // For the other fields: ip and state change only through SetAddress and SetConfirmed.
    Entries& Items() { return entries_; }

    // Removes, in table order, every entry `remove` selects; returns how many went.
    size_t EraseIf(const std::function<bool(const OnlineDevice&)>& remove);
    void Clear();

private:
    struct Slot {
        Entries::iterator entry;
        uint64_t order;  // grows with every append: table order without walking the list
    };
    struct Held {
        uint64_t order;
        const OnlineDevice* device;
    };

    void Hold(const OnlineDevice& device, uint64_t order);
    void Release(const OnlineDevice& device);
    uint64_t OrderOf(const OnlineDevice& device) const;

    Entries entries_;
    detail::TextMap<Slot> byMac_;
    detail::TextMap<std::vector<Held>> holders_;  // confirmed entries by address; rarely more than one
    size_t heardOnly_ = 0;
    uint64_t nextOrder_ = 0;
};

class RetryTable final {
public:
    using Clock = std::chrono::steady_clock;

    // Adds an entry that is not due until Arm; returns its id (never 0).
    uint64_t Add(RetryEntry entry);
    // The first send went out: the entry is first due at `due`.
    void Arm(uint64_t id, Clock::time_point due);
    void Remove(uint64_t id);
    // Removes the oldest entry that a reply of `msgType` from `ip` and `mac` answers.
    bool Acknowledge(std::string_view ip, uint16_t msgType, std::string_view mac);

    // One retransmission pass at `now`, in table order: an entry that is due and has sends left
    // loses one and is handed to `send`, then is due again `interval` later; a due entry with
    // none left is removed. Entries not yet armed are left alone. Returns the earliest due time
    // left (Clock::time_point::max() when none).
    Clock::time_point Pass(Clock::time_point now, Clock::duration interval,
                           const std::function<void(const RetryEntry&)>& send);

    size_t Size() const { return entries_.size(); }
    std::vector<RetryEntry> Snapshot() const { return {entries_.begin(), entries_.end()}; }
    void Clear();

private:
    using Entries = std::list<RetryEntry>;
    static std::string Key(std::string_view ip, uint16_t msgType, std::string_view mac);
    void Erase(Entries::iterator it);

    Entries entries_;
    std::unordered_map<uint64_t, Entries::iterator> byId_;
    // Oldest first; nearly always one entry, so a vector (a deque would allocate 512 bytes).
    detail::TextMap<std::vector<Entries::iterator>> byReply_;
    uint64_t nextId_ = 1;
};

}  // namespace pontiq
