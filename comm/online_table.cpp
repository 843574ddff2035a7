#include "comm/online_table.h"

#include <algorithm>

namespace pontiq {

// ---- OnlineTable ----------------------------------------------------------------------

OnlineDevice* OnlineTable::Find(std::string_view mac)
{
    const auto it = byMac_.find(mac);
    return it == byMac_.end() ? nullptr : &*it->second.entry;
}

const OnlineDevice* OnlineTable::Find(std::string_view mac) const
{
    const auto it = byMac_.find(mac);
    return it == byMac_.end() ? nullptr : &*it->second.entry;
}

OnlineDevice& OnlineTable::Append(OnlineDevice device)
{
    entries_.push_back(std::move(device));
    OnlineDevice& d = entries_.back();
    const uint64_t order = nextOrder_++;
    byMac_.emplace(d.mac, Slot{std::prev(entries_.end()), order});
    if (d.state == 2) {
        Hold(d, order);
    } else {
        ++heardOnly_;
    }
    return d;
}

uint64_t OnlineTable::OrderOf(const OnlineDevice& device) const
{
    const auto it = byMac_.find(device.mac);
    return it == byMac_.end() ? 0 : it->second.order;
}

void OnlineTable::Hold(const OnlineDevice& device, uint64_t order)
{
    std::vector<Held>& held = holders_[device.ip];
    // Kept in table order, so the holder is the last one.
    const auto at = std::find_if(held.begin(), held.end(), [&](const Held& h) { return h.order > order; });
    held.insert(at, Held{order, &device});
}

void OnlineTable::Release(const OnlineDevice& device)
{
    const auto it = holders_.find(device.ip);
    if (it == holders_.end()) return;
    std::erase_if(it->second, [&](const Held& h) { return h.device == &device; });
    if (it->second.empty()) holders_.erase(it);
}

void OnlineTable::SetAddress(OnlineDevice& device, std::string ip)
{
    if (device.ip == ip) return;
    if (device.state == 2) Release(device);
    device.ip = std::move(ip);
    if (device.state == 2) Hold(device, OrderOf(device));
}

void OnlineTable::SetConfirmed(OnlineDevice& device)
{
    if (device.state == 2) return;
    if (device.state == 1 && heardOnly_ > 0) --heardOnly_;
    device.state = 2;
    Hold(device, OrderOf(device));
}

bool OnlineTable::IsHeldByOther(std::string_view ip, std::string_view mac) const
{
    const auto it = holders_.find(ip);
    if (it == holders_.end()) return false;
    return std::any_of(it->second.begin(), it->second.end(),
                       [&](const Held& h) { return h.device->mac != mac; });
}

const OnlineDevice* OnlineTable::Holder(std::string_view ip) const
{
    const auto it = holders_.find(ip);
    return it == holders_.end() || it->second.empty() ? nullptr : it->second.back().device;
}

size_t OnlineTable::EraseIf(const std::function<bool(const OnlineDevice&)>& remove)
{
    size_t removed = 0;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (!remove(*it)) {
            ++it;
            continue;
        }
        if (it->state == 2) {
            Release(*it);
        } else if (heardOnly_ > 0) {
            --heardOnly_;
        }
        byMac_.erase(it->mac);
        it = entries_.erase(it);
        ++removed;
    }
    return removed;
}

void OnlineTable::Clear()
{
    entries_.clear();
    byMac_.clear();
    holders_.clear();
    heardOnly_ = 0;
}

// ---- RetryTable -----------------------------------------------------------------------

std::string RetryTable::Key(std::string_view ip, uint16_t msgType, std::string_view mac)
{
    std::string key;
    key.reserve(ip.size() + mac.size() + 8);
    key.append(ip).push_back('/');
    key.append(std::to_string(msgType)).push_back('/');
    key.append(mac);
    return key;
}

uint64_t RetryTable::Add(RetryEntry entry)
{
    entry.id = nextId_++;
    entry.due = Clock::time_point::max();
    entries_.push_back(std::move(entry));
    const auto it = std::prev(entries_.end());
    byId_.emplace(it->id, it);
    byReply_[Key(it->ip, it->msgType, it->mac)].push_back(it);
    return it->id;
}

void RetryTable::Arm(uint64_t id, Clock::time_point due)
{
    const auto it = byId_.find(id);
    if (it != byId_.end()) it->second->due = due;
}

void RetryTable::Erase(Entries::iterator it)
{
    const auto reply = byReply_.find(Key(it->ip, it->msgType, it->mac));
    if (reply != byReply_.end()) {
        std::erase(reply->second, it);
        if (reply->second.empty()) byReply_.erase(reply);
    }
    byId_.erase(it->id);
    entries_.erase(it);
}

void RetryTable::Remove(uint64_t id)
{
    const auto it = byId_.find(id);
    if (it != byId_.end()) Erase(it->second);
}

bool RetryTable::Acknowledge(std::string_view ip, uint16_t msgType, std::string_view mac)
{
    const auto reply = byReply_.find(Key(ip, msgType, mac));
    if (reply == byReply_.end()) return false;
    Erase(reply->second.front());
    return true;
}

RetryTable::Clock::time_point RetryTable::Pass(Clock::time_point now, Clock::duration interval,
                                               const std::function<void(const RetryEntry&)>& send)
{
    Clock::time_point next = Clock::time_point::max();
    for (auto it = entries_.begin(); it != entries_.end();) {
        RetryEntry& e = *it;
        if (e.due > now) {
            next = std::min(next, e.due);
            ++it;
        } else if (e.remaining > 0) {
            --e.remaining;
            send(e);
            e.due = now + interval;
            next = std::min(next, e.due);
            ++it;
        } else {
            Erase(it++);
        }
    }
    return next;
}

void RetryTable::Clear()
{
    entries_.clear();
    byId_.clear();
    byReply_.clear();
}

}  // namespace pontiq
