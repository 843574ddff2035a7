// The values of the set commands whose effect the lists show (name, transparent bridge, Kelvra),
// kept until the device confirms them. The store then takes exactly what was sent, field by
// field: re-reading the whole record could race with the device restarting.
#include <algorithm>
#include <cstring>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

bool IsAwaitedType(uint16_t msgType)
{
    return msgType == MSG_SET_NAME || msgType == MSG_SET_TRANSPARENT_BRIDGE || msgType == MSG_SET_KELVRA;
}

}  // namespace

uint64_t CommEngine::AwaitReply(uint16_t msgType, std::string_view mac, std::span<const uint8_t> payload)
{
    if (!IsAwaitedType(msgType)) {
        return 0;
    }
    // In the form the reply's header MAC is matched in.
    std::string key = MacText(HeaderMacFromText(mac));
    std::lock_guard lock(awaitedLock_);
    const uint64_t id = nextAwaitedId_++;
    auto it = std::find_if(awaited_.begin(), awaited_.end(),
                           [&](const AwaitedValue& a) { return a.msgType == msgType && a.mac == key; });
    if (it == awaited_.end()) {
        it = awaited_.insert(awaited_.end(), AwaitedValue{0, msgType, std::move(key), {}});
    }
    // A repeat or a newer value replaces the one before: the device ends with the last one sent.
    it->id = id;
    it->payload.assign(payload.begin(), payload.end());
    return id;
}

void CommEngine::DropAwaited(uint64_t id)
{
    std::lock_guard lock(awaitedLock_);
    std::erase_if(awaited_, [&](const AwaitedValue& a) { return a.id == id; });
}

size_t CommEngine::AwaitedValueCount() const
{
    std::lock_guard lock(awaitedLock_);
    return awaited_.size();
}

void CommEngine::StoreAwaitedValue(uint16_t msgType, std::string_view mac, bool success)
{
    std::vector<uint8_t> payload;
    {
        std::lock_guard lock(awaitedLock_);
        auto it = std::find_if(awaited_.begin(), awaited_.end(),
                               [&](const AwaitedValue& a) { return a.msgType == msgType && a.mac == mac; });
        if (it == awaited_.end()) {
            return;  // a second answer to the same request, or one to a request of another run
        }
        payload = std::move(it->payload);
        awaited_.erase(it);
    }
    if (!success) {
        return;
    }
    switch (msgType) {
        case MSG_SET_NAME: {
            if (payload.size() < sizeof(NAME_PAYLOAD)) {
                return;
            }
            NAME_PAYLOAD sent;
            std::memcpy(&sent, payload.data(), sizeof(sent));
            // As the device will report it in its next record.
            const std::string name = text_.DeviceTextToLocal(
                std::string_view(sent.ap_name, sizeof(sent.ap_name)), sent.ap_name_len);
            Writes().SetDeviceName(mac, name);
            return;
        }
        case MSG_SET_TRANSPARENT_BRIDGE:
        case MSG_SET_KELVRA: {
            if (payload.size() < sizeof(EXTENSION_BLOCK)) {
                return;
            }
            EXTENSION_BLOCK sent;
            std::memcpy(&sent, payload.data(), sizeof(sent));
            if (msgType == MSG_SET_TRANSPARENT_BRIDGE) {
                Writes().SetTransparentBridgeValue(mac, sent.bridge_transparent);
            } else {
                Writes().SetKelvraValue(mac, sent.tdmaEn);
            }
            return;
        }
        default:
            return;
    }
}

namespace engine_store {

bool SetDeviceName(CSqlManagement& store, std::string_view mac, std::string_view name)
{
    return store.SetDeviceName(mac, name);
}

bool SetTransparentBridgeValue(CSqlManagement& store, std::string_view mac, uint32_t value)
{
    return store.SetTransparentBridgeValue(mac, value);
}

bool SetKelvraValue(CSqlManagement& store, std::string_view mac, uint32_t value)
{
    return store.SetKelvraValue(mac, value);
}

}  // namespace engine_store
}  // namespace pontiq
