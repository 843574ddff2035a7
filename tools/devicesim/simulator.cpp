#include "tools/devicesim/simulator.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "store/value_format.h"

namespace pontiq::sim {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kGoingDown{200};  // a device finishes its reply before it goes down

uint16_t Be16(std::span<const uint8_t> b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

// RFC 1071 sum, kept apart from the PC's own code so that it checks the PC's frames.
uint32_t OnesSum(std::span<const uint8_t> data, uint32_t sum = 0)
{
    for (size_t i = 0; i + 1 < data.size(); i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (data.size() % 2 != 0) sum += static_cast<uint32_t>(data.back() << 8);
    return sum;
}

uint16_t Folded(uint32_t sum)
{
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(sum);
}

std::string Hex(std::span<const uint8_t> data)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(data.size() * 2);
    for (uint8_t b : data) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

template <typename T>
std::span<const uint8_t> BytesOf(const T& value)
{
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

const char* PhaseText(UpgradePhase p)
{
    switch (p) {
        case UpgradePhase::None:
            return "none";
        case UpgradePhase::Fetching:
            return "fetching";
        case UpgradePhase::Waiting:
            return "waiting";
        case UpgradePhase::Failed:
            return "failed";
        case UpgradePhase::Flashing:
            return "flashing";
        case UpgradePhase::Done:
            return "done";
    }
    return "?";
}

std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The upgraded firmware's version text: the file name without its extension.
std::string VersionFromFile(std::string_view file)
{
    if (const size_t dot = file.rfind('.'); dot != std::string_view::npos && dot > 0)
        file = file.substr(0, dot);
    return CutBytes(file, 32);
}

}  // namespace

uint64_t MacKey(const uint8_t* mac)
{
    uint64_t v = 0;
    for (int i = 0; i < 6; ++i) v = v << 8 | mac[i];
    return v;
}

DeviceSimulator::DeviceSimulator(const SimOptions& options, SimTransport& transport, TimePoint now)
    : options_(options), transport_(transport), faultRng_(options.seed ^ 0x5EED5EEDull)
{
    std::vector<DeviceSpec> specs = MakeDevices(options_);
    devices_.resize(specs.size());
    byMac_.reserve(specs.size() * 2);
    for (size_t i = 0; i < specs.size(); ++i) {
        SimDevice& d = devices_[i];
        d.setup = specs[i];
        d.record = specs[i].record;
        d.ip = specs[i].ip;
        d.silent = specs[i].silent;
        d.bootTime = now;
        d.upTimeAtBoot = specs[i].upTimeAtStart;
        byMac_[MacKey(d.setup.mac.data())] = i;
    }
}

const SimDevice* DeviceSimulator::Find(const MacAddress& mac) const
{
    const auto it = byMac_.find(MacKey(mac.data()));
    return it == byMac_.end() ? nullptr : &devices_[it->second];
}

SimDevice* DeviceSimulator::FindMutable(const MacAddress& mac)
{
    return const_cast<SimDevice*>(static_cast<const DeviceSimulator*>(this)->Find(mac));
}

uint32_t DeviceSimulator::UpTime(const SimDevice& d, TimePoint now) const
{
    const auto up = std::chrono::duration_cast<std::chrono::seconds>(now - d.bootTime).count();
    return d.upTimeAtBoot + static_cast<uint32_t>(std::max<int64_t>(up, 0));
}

ap_info_stu DeviceSimulator::CurrentRecord(const SimDevice& d, TimePoint now) const
{
    ap_info_stu r = d.record;
    r.up_time = UpTime(d, now);
    return r;
}

// ---- Scheduling -------------------------------------------------------------------------

void DeviceSimulator::At(TimePoint when, std::function<void(TimePoint)> run)
{
    queue_.push(Scheduled{when, seq_++, std::move(run)});
}

void DeviceSimulator::AtForDevice(size_t index, TimePoint when,
                                  std::function<void(SimDevice&, TimePoint)> run)
{
    const uint64_t epoch = devices_[index].epoch;
    At(when, [this, index, epoch, run = std::move(run)](TimePoint now) {
        SimDevice& d = devices_[index];
        if (d.epoch == epoch) run(d, now);
    });
}

void DeviceSimulator::RunDue(TimePoint now)
{
    while (!queue_.empty() && queue_.top().at <= now) {
        // Taken out first: the task may schedule more. Moving from the top is safe, it is popped
        // before the queue is looked at again.
        Scheduled task = std::move(const_cast<Scheduled&>(queue_.top()));
        queue_.pop();
        task.run(now);
    }
}

std::optional<DeviceSimulator::TimePoint> DeviceSimulator::NextDue() const
{
    if (queue_.empty()) return std::nullopt;
    return queue_.top().at;
}

void DeviceSimulator::Event(const SimDevice& d, std::string_view what)
{
    if (!options_.verbose) return;
    transport_.Event("EVENT " + FormatMac(d.setup.mac) + " " + std::string(what));
}

// ---- Sending ----------------------------------------------------------------------------

void DeviceSimulator::Emit(size_t index, TimePoint now, uint16_t fromPort, const Endpoint& to,
                           std::vector<uint8_t> datagram)
{
    SimDevice& d = devices_[index];
    if (d.silent || d.restarting) {
        ++stats_.mute;
        return;
    }
    std::uniform_real_distribution<double> percent(0.0, 100.0);
    if (options_.lossPercent > 0 && percent(faultRng_) < options_.lossPercent) {
        ++stats_.lost;
        return;
    }
    int copies = 1;
    if (options_.dupPercent > 0 && percent(faultRng_) < options_.dupPercent) {
        copies = 2;
        ++stats_.duplicated;
    }
    int delay = options_.delayMs;
    if (options_.jitterMs > 0) delay += std::uniform_int_distribution<int>(0, options_.jitterMs)(faultRng_);
    // The address it has when it decides to answer: a reply to MSG_SET_IP leaves from the old one.
    const Endpoint from{d.ip, fromPort};
    auto send = [this, from, to, copies, bytes = std::move(datagram)](SimDevice& dev, TimePoint) {
        if (dev.silent || dev.restarting) {
            ++stats_.mute;
            return;
        }
        for (int c = 0; c < copies; ++c) transport_.Send(from, to, bytes);
        stats_.sent += static_cast<uint64_t>(copies);
    };
    if (delay <= 0) {
        send(d, now);
    } else {
        AtForDevice(index, now + milliseconds(delay), std::move(send));
    }
}

void DeviceSimulator::ReplyResult(size_t index, TimePoint now, const Endpoint& pc, uint16_t msgType,
                                  uint8_t result)
{
    const SimDevice& d = devices_[index];
    Emit(index, now, kDevicePortCommand, {pc.ip, kPortCommandReply},
         BuildResultReply(d.record.ap_type, msgType, d.setup.mac, result));
}

void DeviceSimulator::AnswerDiscovery(size_t index, TimePoint now, const Ipv4Address& pc)
{
    const SimDevice& d = devices_[index];
    const ap_info_stu r = CurrentRecord(d, now);
    DISCOVER_REPLY reply{};
    reply.version_len = SetFieldText(reply.version, FieldText(r.version, r.version_len));
    reply.work_mode = r.work_mode;
    reply.mode_btn_status = r.mode_btn_status;
    reply.up_time = r.up_time;
    reply.ap_name_len = SetFieldText(reply.ap_name, FieldText(r.ap_name, r.ap_name_len));
    reply.ssid_len =
        SetFieldText(reply.ssid, FieldText(r.radio_block.security.ssid, r.radio_block.security.ssid_len));
    reply.channel = r.radio_block.channel;
    reply.bridge_transparent = r.extension_block.bridge_transparent;
    reply.tdmaEn = r.extension_block.tdmaEn;
    ++stats_.discoveryReplies;
    Emit(index, now, kDevicePortDiscovery, {pc, kPortDiscoveryReply},
         BuildDiscoveryReply(r.ap_type, d.setup.mac, reply, d.setup.shortForm));
}

// ---- Receiving --------------------------------------------------------------------------

void DeviceSimulator::OnDiscoveryRequest(TimePoint now, const Endpoint& from,
                                         std::span<const uint8_t> datagram)
{
    const auto header = DecodeHeader(datagram);
    if (!header || header->msg_type != MSG_DISCOVER) {
        ++stats_.malformed;
        return;
    }
    ++stats_.discoveryRequests;
    for (size_t i = 0; i < devices_.size(); ++i) AnswerDiscovery(i, now, from.ip);
}

void DeviceSimulator::OnRawFrame(TimePoint now, std::span<const uint8_t> frame)
{
    constexpr size_t kEth = 14;
    if (frame.size() < kEth + 20 + 8 + kHeaderSize) return;
    const auto it = byMac_.find(MacKey(frame.data()));
    if (it == byMac_.end() || Be16(frame, 12) != 0x0800) return;  // not for one of ours
    const auto ip = frame.subspan(kEth);
    const size_t ihl = static_cast<size_t>(ip[0] & 0x0F) * 4;
    if ((ip[0] >> 4) != 4 || ihl < 20 || ip.size() < ihl + 8 || ip[9] != 17) return;
    const size_t total = Be16(ip, 2);
    if (total < ihl + 8 || total > ip.size() || (Be16(ip, 6) & 0x3FFF) != 0) return;
    const auto udp = ip.subspan(ihl, total - ihl);
    if (Be16(udp, 2) != kPortDiscoveryRequest) return;
    ++stats_.rawFrames;
    const size_t udpLength = Be16(udp, 4);
    bool good = Folded(OnesSum(ip.first(ihl))) == 0xFFFF && udpLength >= 8 && udpLength <= udp.size();
    if (good && Be16(udp, 6) != 0) {
        std::vector<uint8_t> pseudo(ip.begin() + 12, ip.begin() + 20);
        pseudo.push_back(0);
        pseudo.push_back(17);
        pseudo.push_back(static_cast<uint8_t>(udpLength >> 8));
        pseudo.push_back(static_cast<uint8_t>(udpLength));
        good = Folded(OnesSum(udp.first(udpLength), OnesSum(pseudo))) == 0xFFFF;
    }
    if (!good) {
        ++stats_.rawBadChecksum;
        return;
    }
    const auto request = udp.subspan(8, udpLength - 8);
    const auto header = DecodeHeader(request);
    if (!header || header->msg_type != MSG_DISCOVER) {
        ++stats_.malformed;
        return;
    }
    ++stats_.discoveryRequests;
    ++devices_[it->second].rawAnswers;
    AnswerDiscovery(it->second, now, {ip[12], ip[13], ip[14], ip[15]});
}

void DeviceSimulator::OnCommand(TimePoint now, const Endpoint& from, std::span<const uint8_t> datagram)
{
    const auto header = DecodeHeader(datagram);
    if (!header) {
        ++stats_.malformed;
        return;
    }
    const auto it = byMac_.find(MacKey(header->mac));
    if (it == byMac_.end()) {
        ++stats_.foreignCommands;
        return;
    }
    SimDevice& d = devices_[it->second];
    ++stats_.commands;
    ++d.commands;
    if (d.silent || d.restarting) {
        ++stats_.mute;
        return;
    }
    auto payload = ReceivedPayload(datagram);
    payload = payload.first(std::min<size_t>(payload.size(), header->payload_len));
    HandleCommand(it->second, now, from, header->msg_type, payload);
}

void DeviceSimulator::HandleCommand(size_t index, TimePoint now, const Endpoint& from, uint16_t msgType,
                                    std::span<const uint8_t> payload)
{
    SimDevice& d = devices_[index];
    ap_info_stu& r = d.record;
    d.lastPayload[msgType].assign(payload.begin(), payload.end());
    // The answer a test asked for, or 0; a refused request changes nothing.
    const auto forced = d.forcedResult.find(msgType);
    const uint8_t result = forced == d.forcedResult.end() ? 0 : forced->second;
    auto needs = [&](size_t bytes) {
        if (payload.size() >= bytes) return true;
        ++stats_.malformed;
        ReplyResult(index, now, from, msgType, 1);
        return false;
    };
    auto reply = [&] { ReplyResult(index, now, from, msgType, result); };

    switch (msgType) {
        case MSG_DISCOVER:  // the PC's acknowledgement of a discovery reply
            MarkDiscovered(index, now, from.ip);
            return;
        case MSG_GET_INFO:
            ++stats_.getInfo;
            MarkDiscovered(index, now, from.ip);
            Emit(index, now, kDevicePortCommand, {from.ip, kPortCommandReply},
                 BuildDeviceRecordReply(d.setup.mac, CurrentRecord(d, now)));
            return;
        case MSG_HEARTBEAT:
            ++d.heartbeatAcks;
            ++stats_.heartbeatAcks;
            return;
        case MSG_RELEASE:
            d.discovered = false;
            ++d.heartbeatRun;
            Event(d, "released");
            return;
        case MSG_SET_IP: {
            if (!needs(sizeof(IP_BLOCK))) return;
            const IP_BLOCK block = DecodeLayout<IP_BLOCK>(payload);
            const Ipv4Address to{block.ip[0], block.ip[1], block.ip[2], block.ip[3]};
            const bool usable = to != Ipv4Address{} && to[0] < 224 && to != Ipv4Address{255, 255, 255, 255};
            const uint8_t answer = usable ? result : 1;
            ReplyResult(index, now, from, msgType, answer);
            if (answer == 0) {
                AtForDevice(index, now + milliseconds(options_.applyMs),
                            [this, index, block](SimDevice&, TimePoint) { MoveTo(index, block); });
            }
            return;
        }
        case MSG_SET_WIRELESS: {
            ++d.wirelessSets;
            d.lastWirelessLength = payload.size();
            if (!needs(sizeof(RADIO_BLOCK))) return;
            if (result == 0) {
                uint8_t ownMac[6];
                std::memcpy(ownMac, r.radio_block.security.ssid_mac, 6);  // the radio's, not settable
                r.radio_block = DecodeLayout<RADIO_BLOCK>(payload);
                std::memcpy(r.radio_block.security.ssid_mac, ownMac, 6);
                if (payload.size() >= sizeof(WIRELESS_PAYLOAD) && InListW(r.ap_type)) {
                    r.extension_block.wl_dfs = DecodeLayout<WIRELESS_PAYLOAD>(payload).extension.wl_dfs;
                }
            }
            reply();
            return;
        }
        case MSG_SET_TIMED_REBOOT:
            if (!needs(sizeof(REBOOT_BLOCK))) return;
            if (result == 0) r.reboot_block = DecodeLayout<REBOOT_BLOCK>(payload);
            reply();
            return;
        case MSG_SITE_SURVEY:
            ++stats_.surveys;
            AtForDevice(index, now + milliseconds(options_.surveyMs),
                        [this, index, pc = from.ip](SimDevice&, TimePoint t) { SendSurvey(index, t, pc); });
            return;
        case MSG_SET_BRIDGE: {
            if (!needs(sizeof(BRIDGE_PAYLOAD))) return;
            const BRIDGE_PAYLOAD bridge = DecodeLayout<BRIDGE_PAYLOAD>(payload);
            if (result == 0) {
                const BRIDGE_SECURITY_BLOCK& s = bridge.security;
                r.bridge_work_mode = s.work_mode;
                if (s.work_mode == 2) r.work_mode = 2;
                std::memcpy(r.bridge_mac, s.ap_mac, 6);
                r.bridge_channel = s.channel;
                r.radio_block.channel = s.channel;
                r.bridge_ssid_len = SetFieldText(r.bridge_ssid, FieldText(s.ssid, s.ssid_len));
                const IP_BLOCK& ipb = bridge.ip_block;
                if (ipb.ip[0] != 0) {
                    AtForDevice(index, now + milliseconds(options_.applyMs),
                                [this, index, ipb](SimDevice&, TimePoint) { MoveTo(index, ipb); });
                }
                Event(d, "bridged");
            }
            reply();
            return;
        }
        case MSG_SET_NAME: {
            if (!needs(sizeof(NAME_PAYLOAD))) return;
            const NAME_PAYLOAD name = DecodeLayout<NAME_PAYLOAD>(payload);
            if (result == 0)
                r.ap_name_len = SetFieldText(r.ap_name, FieldText(name.ap_name, name.ap_name_len));
            reply();
            return;
        }
        case MSG_REBOOT:
            reply();
            if (result == 0) Restart(index, now, nullptr);
            return;
        case MSG_RESTORE:
            reply();
            if (result == 0) {
                Restart(index, now, [this](SimDevice& dev) {
                    dev.record = dev.setup.record;
                    dev.upgrade = UpgradePhase::None;
                    if (dev.ip != dev.setup.ip) {
                        const Ipv4Address old = dev.ip;
                        dev.ip = dev.setup.ip;
                        transport_.AddressChanged(old, dev.ip);
                        ++stats_.moves;
                    }
                });
            }
            return;
        case MSG_UPGRADE: {
            if (!needs(sizeof(UPGRADE_PAYLOAD))) return;
            const UPGRADE_PAYLOAD request = DecodeLayout<UPGRADE_PAYLOAD>(payload);
            const bool named = request.file_name_len > 0 && request.file_name[0] != 0;
            const uint8_t answer = named ? result : 1;
            ReplyResult(index, now, from, msgType, answer);
            if (answer == 0) StartUpgrade(index, now, from.ip, request);
            return;
        }
        case MSG_UPGRADE_START: {
            const bool ready = d.upgrade == UpgradePhase::Waiting;
            const bool already = d.upgrade == UpgradePhase::Flashing;  // a repeat: our reply was lost
            ReplyResult(index, now, from, msgType, (ready || already) ? result : 1);
            if (ready && result == 0) {
                d.upgrade = UpgradePhase::Flashing;
                Event(d, "flashing");
                AtForDevice(
                    index, now + milliseconds(options_.flashMs), [this, index](SimDevice& dev, TimePoint t) {
                        dev.record.version_len =
                            SetFieldText(dev.record.version, VersionFromFile(dev.upgradeFile));
                        dev.upgrade = UpgradePhase::Done;
                        ++stats_.upgradesDone;
                        Emit(index, t, kDevicePortCommand, {dev.upgradePc, kPortCommandReply},
                             BuildResultReply(dev.record.ap_type, MSG_UPGRADE_STATUS, dev.setup.mac, 2));
                        Restart(index, t, nullptr);
                    });
            }
            return;
        }
        case MSG_SET_VLAN:
            if (!needs(sizeof(VLAN_BLOCK))) return;
            if (result == 0) {
                r.vlan_block = DecodeLayout<VLAN_BLOCK>(payload);
                r.vlan_block.apply = 0;
                if (payload.size() >= sizeof(VLAN_PAYLOAD) && InListV(r.ap_type)) {
                    r.extension_block = DecodeLayout<VLAN_PAYLOAD>(payload).extension_block;
                }
            }
            reply();
            if (result == 0) Restart(index, now, nullptr);  // a new VLAN plan takes a restart
            return;
        case MSG_SET_TRANSPARENT_BRIDGE:
            if (!needs(sizeof(EXTENSION_BLOCK))) return;
            if (result == 0) r.extension_block.bridge_transparent = payload[0];
            reply();
            return;
        case MSG_SET_KELVRA:
            if (!needs(sizeof(EXTENSION_BLOCK))) return;
            if (result == 0) r.extension_block.tdmaEn = payload[1];
            reply();
            return;
        default:
            ++stats_.malformed;  // a type devices do not take (14, 12, unknown)
            return;
    }
}

// ---- Device behaviour -------------------------------------------------------------------

void DeviceSimulator::MarkDiscovered(size_t index, TimePoint now, const Ipv4Address& pc)
{
    SimDevice& d = devices_[index];
    d.pc = pc;
    if (d.discovered) return;
    d.discovered = true;
    ++d.heartbeatRun;
    Event(d, "discovered");
    // Spread the first beats over half a period, so that devices found together do not beat together.
    const int period = options_.heartbeatMs;
    const int first = std::uniform_int_distribution<int>(period / 2, period)(faultRng_);
    ScheduleHeartbeat(index, now + milliseconds(first));
}

void DeviceSimulator::ScheduleHeartbeat(size_t index, TimePoint when)
{
    const uint64_t run = devices_[index].heartbeatRun;
    AtForDevice(index, when, [this, index, run](SimDevice& d, TimePoint now) {
        if (d.heartbeatRun != run || !d.discovered) return;
        const ap_info_stu r = CurrentRecord(d, now);
        HEARTBEAT_PAYLOAD beat{};
        beat.version_len = SetFieldText(beat.version, FieldText(r.version, r.version_len));
        beat.work_mode = r.work_mode;
        beat.mode_btn_status = r.mode_btn_status;
        beat.up_time = r.up_time;
        ++d.heartbeats;
        ++stats_.heartbeats;
        Emit(index, now, kDevicePortCommand, {d.pc, kPortCommand},
             BuildHeartbeat(r.ap_type, d.setup.mac, beat));
        ScheduleHeartbeat(index, now + milliseconds(options_.heartbeatMs));
    });
}

void DeviceSimulator::Restart(size_t index, TimePoint now, std::function<void(SimDevice&)> whileDown)
{
    // Down only after the replies already on their way (delay faults included) have left.
    const milliseconds down = kGoingDown + milliseconds(options_.delayMs + options_.jitterMs);
    SimDevice& d = devices_[index];
    if (d.restarting || d.goingDown) return;  // a repeat of the request, or a second reason
    d.goingDown = true;
    const uint64_t epoch = d.epoch;
    At(now + down, [this, index, epoch, whileDown = std::move(whileDown)](TimePoint t) {
        SimDevice& dev = devices_[index];
        if (dev.epoch != epoch) return;
        dev.goingDown = false;
        dev.restarting = true;
        ++dev.epoch;
        dev.discovered = false;
        ++dev.heartbeatRun;
        ++dev.restarts;
        ++stats_.restarts;
        if (dev.transfer >= 0) {
            transport_.CloseTransfer(dev.transfer);
            byTransfer_.erase(dev.transfer);
            fetches_.erase(dev.transfer);
            dev.transfer = -1;
            if (dev.upgrade == UpgradePhase::Fetching) dev.upgrade = UpgradePhase::Failed;
        }
        if (whileDown) whileDown(dev);
        Event(dev, "down");
        const uint64_t upEpoch = dev.epoch;
        At(t + milliseconds(options_.restartMs), [this, index, upEpoch](TimePoint up) {
            SimDevice& back = devices_[index];
            if (back.epoch != upEpoch) return;
            back.restarting = false;
            back.bootTime = up;
            back.upTimeAtBoot = 0;
            Event(back, "up " + FormatIp(back.ip));
        });
    });
}

void DeviceSimulator::MoveTo(size_t index, const IP_BLOCK& block)
{
    SimDevice& d = devices_[index];
    const Ipv4Address old = d.ip;
    d.record.ip_block = block;
    d.record.ip_block.apply = 0;
    const Ipv4Address to{block.ip[0], block.ip[1], block.ip[2], block.ip[3]};
    if (to == old) return;
    d.ip = to;
    ++stats_.moves;
    transport_.AddressChanged(old, to);
    Event(d, "moved " + FormatIp(to));
}

void DeviceSimulator::SendSurvey(size_t index, TimePoint now, const Ipv4Address& pc)
{
    SimDevice& d = devices_[index];
    if (d.survey.size() != static_cast<size_t>(options_.surveyAps)) {
        const bool station = options_.bridgedPair && index == 1;
        d.survey = MakeSurvey(options_, index, station ? &devices_[0].setup.record : nullptr);
    }
    const size_t pages = std::max<size_t>(1, (d.survey.size() + kMaxSurveyEntries - 1) / kMaxSurveyEntries);
    for (size_t p = 0; p < pages; ++p) {
        const size_t first = p * kMaxSurveyEntries;
        const size_t n = std::min(kMaxSurveyEntries, d.survey.size() - std::min(first, d.survey.size()));
        const auto page = BuildSurveyPage(d.record.ap_type, d.setup.mac, static_cast<uint8_t>(pages),
                                          static_cast<uint8_t>(p),
                                          std::span<const config_otherwl_basic>(d.survey.data() + first, n));
        if (page) Emit(index, now, kDevicePortCommand, {pc, kPortCommandReply}, *page);
    }
}

void DeviceSimulator::StartUpgrade(size_t index, TimePoint now, const Ipv4Address& pc,
                                   const UPGRADE_PAYLOAD& request)
{
    SimDevice& d = devices_[index];
    const size_t len =
        std::min<size_t>({request.file_name_len, strnlen(request.file_name, sizeof(request.file_name))});
    const std::string file(request.file_name, len);
    // A repeat of the request we are already serving (our reply was lost): carry on.
    if ((d.upgrade == UpgradePhase::Fetching || d.upgrade == UpgradePhase::Waiting) &&
        d.upgradeFile == file && d.upgradePc == pc) {
        return;
    }
    if (d.transfer >= 0) {
        transport_.CloseTransfer(d.transfer);
        byTransfer_.erase(d.transfer);
        fetches_.erase(d.transfer);
        d.transfer = -1;
    }
    d.upgrade = UpgradePhase::Fetching;
    d.upgradeFile = file;
    d.upgradeSize = request.file_size;
    d.upgradeBytes = 0;
    d.upgradeCrc = 0;
    d.upgradeError.clear();
    d.upgradePc = pc;
    Event(d, "fetching " + file);
    const int handle = transport_.OpenTransfer(d.ip);
    if (handle < 0) {
        d.upgradeError = "no socket";
        FinishTransfer(index, now);
        return;
    }
    d.transfer = handle;
    byTransfer_[handle] = index;
    auto fetch = std::make_unique<TftpFetch>(Endpoint{pc, options_.tftpPort}, file);
    for (const auto& out : fetch->Begin(now)) transport_.SendTransfer(handle, out.to, out.bytes);
    TftpFetch& f = *fetch;
    fetches_[handle] = std::move(fetch);
    if (f.state() == TftpFetch::State::Failed) {
        FinishTransfer(index, now);
        return;
    }
    PollTransfer(index, now);
}

void DeviceSimulator::PollTransfer(size_t index, TimePoint now)
{
    SimDevice& d = devices_[index];
    const auto it = fetches_.find(d.transfer);
    if (it == fetches_.end()) return;
    TftpFetch& f = *it->second;
    for (const auto& out : f.OnTimer(now)) transport_.SendTransfer(d.transfer, out.to, out.bytes);
    FinishTransfer(index, now);
    if (d.transfer >= 0) {
        const int handle = d.transfer;
        At(f.Deadline(), [this, index, handle](TimePoint t) {
            if (devices_[index].transfer == handle) PollTransfer(index, t);
        });
    }
}

void DeviceSimulator::OnTransferDatagram(TimePoint now, int handle, const Endpoint& from,
                                         std::span<const uint8_t> datagram)
{
    const auto dev = byTransfer_.find(handle);
    const auto it = fetches_.find(handle);
    if (dev == byTransfer_.end() || it == fetches_.end()) return;
    for (const auto& out : it->second->OnDatagram(now, from, datagram))
        transport_.SendTransfer(handle, out.to, out.bytes);
    FinishTransfer(dev->second, now);
}

// Reports the end of a fetch once, and lets the socket go when the transfer needs it no more.
void DeviceSimulator::FinishTransfer(size_t index, TimePoint now)
{
    SimDevice& d = devices_[index];
    const auto it = d.transfer >= 0 ? fetches_.find(d.transfer) : fetches_.end();
    const TftpFetch* f = it == fetches_.end() ? nullptr : it->second.get();
    if (d.upgrade == UpgradePhase::Fetching) {
        const bool done = f != nullptr && f->state() == TftpFetch::State::Done;
        const bool failed = f == nullptr || f->state() == TftpFetch::State::Failed;
        if (done || failed) {
            if (f != nullptr) {
                d.upgradeBytes = f->BytesReceived();
                d.upgradeCrc = f->Crc32();
                if (failed) d.upgradeError = f->Error();
            }
            bool ok = done;
            if (ok && d.upgradeSize != 0 && d.upgradeBytes != d.upgradeSize) {
                ok = false;
                d.upgradeError =
                    "size " + std::to_string(d.upgradeBytes) + " instead of " + std::to_string(d.upgradeSize);
            }
            d.upgrade = ok ? UpgradePhase::Waiting : UpgradePhase::Failed;
            ++(ok ? stats_.upgradesFetched : stats_.upgradesFailed);
            Event(d, ok ? "fetched" : "fetch-failed");
            Emit(index, now, kDevicePortCommand, {d.upgradePc, kPortCommandReply},
                 BuildResultReply(d.record.ap_type, MSG_UPGRADE_STATUS, d.setup.mac, ok ? 0 : 1));
        }
    }
    if (f != nullptr && f->Finished(now)) {
        transport_.CloseTransfer(d.transfer);
        byTransfer_.erase(d.transfer);
        fetches_.erase(d.transfer);
        d.transfer = -1;
    }
}

// ---- Control ----------------------------------------------------------------------------

std::string DeviceSimulator::ControlState(const SimDevice& d, TimePoint now) const
{
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08" PRIx32, d.upgradeCrc);
    std::ostringstream out;
    out << "STATE " << FormatMac(d.setup.mac) << " ip=" << FormatIp(d.ip) << " up=" << UpTime(d, now)
        << " discovered=" << d.discovered << " pc=" << FormatIp(d.pc) << " silent=" << d.silent
        << " restarting=" << d.restarting << " heartbeats=" << d.heartbeats << " acks=" << d.heartbeatAcks
        << " commands=" << d.commands << " restarts=" << d.restarts << " raw_answers=" << d.rawAnswers
        << " wireless_sets=" << d.wirelessSets << " wireless_len=" << d.lastWirelessLength
        << " upgrade=" << PhaseText(d.upgrade) << " fetched=" << d.upgradeBytes << " crc=" << crc
        << " version=" << Hex(BytesOf(d.record.version).first(std::min<size_t>(d.record.version_len, 32)))
        << " name=" << Hex(BytesOf(d.record.ap_name).first(std::min<size_t>(d.record.ap_name_len, 32)))
        << "\n";
    return out.str();
}

std::string DeviceSimulator::Control(TimePoint now, std::string_view line)
{
    const std::vector<std::string> w = Words(line);
    std::string out;
    auto error = [&](const std::string& text) { return "ERROR " + text + "\nEND\n"; };
    if (w.empty()) return "END\n";
    const std::string& cmd = w[0];

    // Commands naming one device, or "all".
    auto devicesOf = [&](const std::string& arg, std::vector<SimDevice*>& list) -> bool {
        if (arg == "all") {
            for (SimDevice& d : devices_) list.push_back(&d);
            return true;
        }
        const auto mac = ParseMac(arg);
        SimDevice* d = mac ? FindMutable(*mac) : nullptr;
        if (d != nullptr) list.push_back(d);
        return d != nullptr;
    };

    if (cmd == "help") {
        return "HELP stats | list | dump <mac> | survey <mac> | state <mac> | silence <mac|all> | "
               "wake <mac|all> | result <mac> <msg-type> <byte>|clear | payload <mac> <msg-type> | "
               "fault loss|dup|delay|jitter <v> | quit\nEND\n";
    }
    if (cmd == "quit") {
        quit_ = true;
        return "BYE\nEND\n";
    }
    if (cmd == "stats") {
        const SimStats& s = stats_;
        std::ostringstream o;
        o << "STATS devices=" << devices_.size() << " discovery_requests=" << s.discoveryRequests
          << " discovery_replies=" << s.discoveryReplies << " raw_frames=" << s.rawFrames
          << " raw_bad_checksum=" << s.rawBadChecksum << " commands=" << s.commands
          << " foreign_commands=" << s.foreignCommands << " malformed=" << s.malformed << " sent=" << s.sent
          << " lost=" << s.lost << " duplicated=" << s.duplicated << " mute=" << s.mute
          << " get_info=" << s.getInfo << " heartbeats=" << s.heartbeats
          << " heartbeat_acks=" << s.heartbeatAcks << " restarts=" << s.restarts << " moves=" << s.moves
          << " surveys=" << s.surveys << " upgrades_fetched=" << s.upgradesFetched
          << " upgrades_failed=" << s.upgradesFailed << " upgrades_done=" << s.upgradesDone << "\nEND\n";
        return o.str();
    }
    if (cmd == "list") {
        for (const SimDevice& d : devices_) {
            out += "DEVICE " + FormatMac(d.setup.mac) + " " + FormatIp(d.ip) +
                   " type=" + std::to_string(d.record.ap_type) +
                   " form=" + (d.setup.shortForm ? "short" : "long") + " silent=" + std::to_string(d.silent) +
                   " restarting=" + std::to_string(d.restarting) +
                   " discovered=" + std::to_string(d.discovered) + "\n";
        }
        return out + "END\n";
    }
    if (cmd == "fault") {
        if (w.size() != 3) return error("usage: fault loss|dup|delay|jitter <value>");
        SimOptions probe = options_;
        const std::string key = w[1] == "delay" ? "delay-ms" : w[1] == "jitter" ? "jitter-ms" : w[1];
        if (key != "loss" && key != "dup" && key != "delay-ms" && key != "jitter-ms")
            return error("unknown fault");
        const ParseResult parsed = ParseOptions({"--" + key, w[2]});
        if (!parsed.options) return error(parsed.message);
        probe.lossPercent = key == "loss" ? parsed.options->lossPercent : probe.lossPercent;
        probe.dupPercent = key == "dup" ? parsed.options->dupPercent : probe.dupPercent;
        probe.delayMs = key == "delay-ms" ? parsed.options->delayMs : probe.delayMs;
        probe.jitterMs = key == "jitter-ms" ? parsed.options->jitterMs : probe.jitterMs;
        options_ = probe;
        return "OK\nEND\n";
    }
    if (w.size() < 2) return error("'" + cmd + "' needs a MAC");
    std::vector<SimDevice*> targets;
    if (!devicesOf(w[1], targets)) return error("no device " + w[1]);

    if (cmd == "silence" || cmd == "wake") {
        for (SimDevice* d : targets) d->silent = cmd == "silence";
        return "OK\nEND\n";
    }
    if (targets.size() != 1) return error("'" + cmd + "' takes one MAC");
    SimDevice& d = *targets[0];
    if (cmd == "dump") {
        const ap_info_stu r = CurrentRecord(d, now);
        return "RECORD " + FormatMac(d.setup.mac) + " " + FormatIp(d.ip) + " " + Hex(BytesOf(r)) + "\nEND\n";
    }
    if (cmd == "survey") {
        const size_t index = static_cast<size_t>(&d - devices_.data());
        const bool station = options_.bridgedPair && index == 1;
        for (const config_otherwl_basic& ap :
             MakeSurvey(options_, index, station ? &devices_[0].setup.record : nullptr)) {
            out += "AP " + Hex(BytesOf(ap)) + "\n";
        }
        return out + "END\n";
    }
    if (cmd == "state") return ControlState(d, now) + "END\n";
    if (cmd == "payload") {
        unsigned type = 0;
        if (w.size() != 3 || std::sscanf(w[2].c_str(), "%u", &type) != 1 || type > 0xFFFF) {
            return error("usage: payload <mac> <msg-type>");
        }
        const auto it = d.lastPayload.find(static_cast<uint16_t>(type));
        if (it == d.lastPayload.end()) return "NONE\nEND\n";
        return "PAYLOAD " + Hex(it->second) + "\nEND\n";
    }
    if (cmd == "result") {
        if (w.size() == 3 && w[2] == "clear") {
            d.forcedResult.clear();
            return "OK\nEND\n";
        }
        unsigned type = 0;
        unsigned value = 0;
        if (w.size() != 4 || std::sscanf(w[2].c_str(), "%u", &type) != 1 ||
            std::sscanf(w[3].c_str(), "%u", &value) != 1 || type > 0xFFFF || value > 255) {
            return error("usage: result <mac> <msg-type> <byte>|clear");
        }
        d.forcedResult[static_cast<uint16_t>(type)] = static_cast<uint8_t>(value);
        return "OK\nEND\n";
    }
    return error("unknown command '" + cmd + "'");
}

}  // namespace pontiq::sim
