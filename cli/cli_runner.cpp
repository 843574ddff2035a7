#include "cli/cli_runner.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/device_fields.h"
#include "comm/operate_character.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/lists/ip_range.h"
#include "ui/lists/ip_set_rules.h"
#include "ui/lists/name_rules.h"

namespace pontiq::cli {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kStoredSortKey = 1;  // ip_num
constexpr int kAllRows = 1 << 20;
constexpr auto kBridgedFirstPause = 200ms;  // reboot, restore: bridged-station devices go first
constexpr auto kAnswerMargin = 1000ms;      // after the last repeat, for the last answer to arrive

enum class Outcome { Done, Refused, Failed, NoAnswer };

const char* OutcomeText(Outcome o)
{
    switch (o) {
        case Outcome::Done:
            return "done";
        case Outcome::Refused:
            return "refused";
        case Outcome::Failed:
            return "failed";
        default:
            return "no answer";
    }
}

// Command replies as the engine's reply worker reports them: the first result per device and type.
class ReplyBox {
public:
    void Add(std::string_view mac, uint16_t type, uint8_t result)
    {
        {
            std::lock_guard lock(mutex_);
            results_.emplace(std::make_pair(std::string(mac), type), result);
            seen_.emplace(std::string(mac), type, result);
        }
        changed_.notify_all();
    }

    std::optional<uint8_t> Get(const std::string& mac, uint16_t type) const
    {
        std::lock_guard lock(mutex_);
        const auto it = results_.find({mac, type});
        if (it == results_.end()) return std::nullopt;
        return it->second;
    }

    // Any reply of this device and type carried `result` (the upgrade's status reports change).
    bool Saw(const std::string& mac, uint16_t type, uint8_t result) const
    {
        std::lock_guard lock(mutex_);
        return seen_.count({mac, type, result}) > 0;
    }

    // Waits at most `period` for a new reply.
    void Wait(std::chrono::milliseconds period)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, period);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::pair<std::string, uint16_t>, uint8_t> results_;
    std::set<std::tuple<std::string, uint16_t, uint8_t>> seen_;
};

// One device a command goes to.
struct Target {
    std::string mac;
    std::string ip;
    ap_info_stu record{};
    bool sent = false;
    std::string newIp;  // set-ip
    Outcome outcome = Outcome::NoAnswer;
};

class Runner {
public:
    Runner(const Command& command, const RunEnvironment& env)
        : c_(command),
          env_(env),
          chars_(env.engineOptions.localEncoding.empty() ? COperateCharacter::LocalEncodingName()
                                                         : env.engineOptions.localEncoding)
    {
    }

    ~Runner()
    {
        // A server started for an upgrade never outlives the run, also when it ends early.
        StopFileServer();
        // The engine first: its threads use the store and the reply box.
        if (engine_) engine_->Shutdown();
        engine_.reset();
        store_.reset();
    }

    RunResult Run()
    {
        if (c_.kind == CommandKind::Help) {
            result_.out = HelpText(c_.helpTopic);
            return result_;
        }
        if (c_.kind == CommandKind::Upgrade && !ReadUpgradeFile()) return result_;
        if (!Start()) return result_;
        switch (c_.kind) {
            case CommandKind::Discover:
            case CommandKind::List:
                Discover();
                break;
            case CommandKind::Show:
                Show();
                break;
            default:
                Act();
                break;
        }
        return result_;
    }

private:
    // ---- Messages and output --------------------------------------------------------------

    std::string Tr(std::string_view key) const
    {
        return env_.translate ? env_.translate(key) : std::string(key);
    }

    void Message(std::string_view key, std::string_view detail = {})
    {
        result_.err += "pontiq-cli: " + Tr(key);
        if (!detail.empty()) result_.err += " (" + std::string(detail) + ")";
        result_.err += "\n";
    }

    int Fail(int code, std::string_view key, std::string_view detail = {})
    {
        Message(key, detail);
        result_.exitCode = code;
        return code;
    }

    void Progress(const std::string& line) const
    {
        if (env_.progress) env_.progress(line);
    }

    bool Interrupted()
    {
        if (env_.interrupted && env_.interrupted()) {
            result_.exitCode = kExitInterrupted;
            return true;
        }
        return false;
    }

    ToUtf8 Converter() const
    {
        return [this](std::string_view local) { return chars_.LocalToUtf8(local); };
    }

    void Print(Document document)
    {
        document.command = c_.name;
        result_.out += FormatDocument(document, c_.format);
    }

    // ---- Engine and store -----------------------------------------------------------------

    bool Start()
    {
        store_ = std::make_unique<CSqlManagement>(env_.scratchDir);
        if (!store_->IsOpen()) {
            Fail(kExitFailed, "The scratch database could not be created", env_.scratchDir);
            return false;
        }
        EngineServices services;
        services.replyObserver = [this](std::string_view, std::string_view mac, uint16_t type,
                                        uint8_t result) { replies_.Add(mac, type, result); };
        engine_ = std::make_unique<CommEngine>(*store_, env_.engineOptions, std::move(services));
        if (!engine_->Start(env_.retransmissionMax, env_.retransmissionIntervalMs)) {
            Fail(kExitFailed, "The device ports cannot be opened; is another program using them?");
            return false;
        }
        return true;
    }

    bool IsStored(const std::string& mac) { return store_->GetDeviceStatus(mac) != 0; }

    // Searches for `seconds`, discovering again now and then; ends early once every MAC of
    // `wanted` (when there are any) is stored. False when interrupted.
    bool Search(std::optional<std::string> targetMac, const std::vector<std::string>& wanted)
    {
        const int seconds = c_.seconds > 0 ? c_.seconds : DefaultSeconds(c_.kind);
        if (targetMac) {
            engine_->StartSearch(MacToBytes(*targetMac));
        } else {
            engine_->StartSearch(std::nullopt);
        }
        const auto start = Clock::now();
        const auto end = start + std::chrono::seconds(seconds);
        auto lastDiscover = start;
        for (;;) {
            if (Interrupted()) return false;
            const size_t found = std::count_if(wanted.begin(), wanted.end(),
                                               [&](const std::string& mac) { return IsStored(mac); });
            if (!wanted.empty() && found == wanted.size()) break;
            const auto now = Clock::now();
            if (now >= end) break;
            if (now - lastDiscover >= env_.rediscoverEvery) {
                engine_->Discover();
                lastDiscover = now;
            }
            if (env_.progress) {
                const long elapsed =
                    static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start).count());
                std::string line = Tr("Searching") + "... " + std::to_string(elapsed) + "/" +
                                   std::to_string(seconds) + " s, ";
                if (wanted.empty()) {
                    std::vector<std::string> macs;
                    store_->GetAllMacs(macs);
                    line += std::to_string(macs.size()) + " " + Tr("devices found");
                } else {
                    line += std::to_string(found) + "/" + std::to_string(wanted.size()) + " " +
                            Tr("devices found");
                }
                Progress(line);
            }
            std::this_thread::sleep_for(env_.poll);
        }
        return true;
    }

    // Stored devices in address order, then those heard but not described.
    std::vector<ap_info_stu> FoundDevices()
    {
        std::vector<ap_info_stu> list;
        int pages = 0;
        int online = 0;
        store_->ListDevicesPage(kStoredSortKey, list, pages, online, kAllRows, 1, true, {});
        for (const ap_info_stu& heard : engine_->ListDiscoveredDevices(kAllRows)) {
            const bool known = std::any_of(list.begin(), list.end(), [&](const ap_info_stu& r) {
                return CText(r.mac) == CText(heard.mac);
            });
            if (!known) list.push_back(heard);
        }
        return list;
    }

    std::optional<ap_info_stu> FindDevice(const std::string& mac)
    {
        ap_info_stu r{};
        if (store_->GetDevice(r, mac) != 0 || IsStored(mac)) return r;
        for (const ap_info_stu& heard : engine_->ListDiscoveredDevices(kAllRows)) {
            if (CText(heard.mac) == mac) return heard;
        }
        return std::nullopt;
    }

    // ---- Queries --------------------------------------------------------------------------

    void Discover()
    {
        std::vector<std::string> wanted;
        if (c_.targetMac) wanted.push_back(*c_.targetMac);
        if (!Search(c_.targetMac, wanted)) return;
        Document d;
        d.listKey = "devices";
        const FieldSet set = c_.kind == CommandKind::List ? FieldSet::Columns : FieldSet::Summary;
        for (const ap_info_stu& r : FoundDevices()) {
            if (c_.targetMac && CText(r.mac) != *c_.targetMac) continue;
            d.records.push_back(DeviceRecord(r, set, Converter()));
        }
        const bool none = d.records.empty();
        Print(std::move(d));
        if (none) Fail(kExitNotFound, "No device was found");
    }

    void Show()
    {
        if (!Search(c_.targetMac, {*c_.targetMac})) return;
        const auto record = FindDevice(*c_.targetMac);
        if (!record) {
            Fail(kExitNotFound, "No device was found", *c_.targetMac);
            return;
        }
        Document d;
        d.objectKey = "device";
        d.records.push_back(DeviceRecord(*record, FieldSet::Full, Converter()));
        Print(std::move(d));
    }

    // ---- Commands -------------------------------------------------------------------------

    void Act()
    {
        if (!Search(std::nullopt, c_.macs)) return;
        std::vector<Target> targets;
        std::string missing;
        for (const std::string& mac : c_.macs) {
            const auto record = FindDevice(mac);
            if (!record) {
                missing += (missing.empty() ? "" : ", ") + mac;
                continue;
            }
            Target t;
            t.mac = mac;
            t.record = *record;
            t.ip = IpText(std::span<const uint8_t, 4>(record->ip_block.ip));
            targets.push_back(std::move(t));
        }
        if (!missing.empty()) {
            Fail(kExitBadInput, "No device was found", missing);
            return;
        }

        uint16_t type = 0;
        std::function<bool(Target&)> send;
        switch (c_.kind) {
            case CommandKind::SetName:
                if (!PrepareName(targets.front(), send)) return;
                type = MSG_SET_NAME;
                break;
            case CommandKind::SetIp:
                if (!PrepareIp(targets, send)) return;
                type = MSG_SET_IP;
                break;
            case CommandKind::TransparentBridge:
            case CommandKind::Kelvra: {
                const bool bridge = c_.kind == CommandKind::TransparentBridge;
                for (const Target& t : targets) {
                    const bool qualifies = bridge
                                               ? !IsTransparentBridgeNA(t.record.ap_type, t.record.work_mode)
                                               : IsKelvraAvailable(t.record.ap_type);
                    if (!qualifies) {
                        Fail(kExitBadInput, "Please select configurable devices!", t.mac);
                        return;
                    }
                }
                const uint8_t value = c_.on ? 1 : 0;
                type = bridge ? MSG_SET_TRANSPARENT_BRIDGE : MSG_SET_KELVRA;
                send = [this, bridge, value](Target& t) {
                    return bridge ? engine_->SetTransparentBridge(t.ip, t.mac, value)
                                  : engine_->SetKelvra(t.ip, t.mac, value);
                };
                break;
            }
            case CommandKind::Reboot:
            case CommandKind::Restore: {
                const bool reboot = c_.kind == CommandKind::Reboot;
                type = reboot ? MSG_REBOOT : MSG_RESTORE;
                send = [this, reboot](Target& t) {
                    return reboot ? engine_->Reboot(t.ip, t.mac) : engine_->Restore(t.ip, t.mac);
                };
                // Devices with a bridged station first, so the station is not cut off before its
                // access point hears the command.
                std::stable_partition(targets.begin(), targets.end(),
                                      [&](const Target& t) { return store_->HasBridgedStation(t.mac); });
                break;
            }
            case CommandKind::Survey:
                Survey(targets.front());
                return;
            case CommandKind::Upgrade:
                Upgrade(targets);
                return;
            default:
                return;
        }

        const bool bridgedFirst = c_.kind == CommandKind::Reboot || c_.kind == CommandKind::Restore;
        bool bridgedSent = false;
        for (Target& t : targets) {
            if (Interrupted()) break;
            const bool bridged = bridgedFirst && store_->HasBridgedStation(t.mac);
            if (bridgedFirst && !bridged && bridgedSent) {
                std::this_thread::sleep_for(kBridgedFirstPause);
                bridgedSent = false;
            }
            t.sent = send(t);
            bridgedSent = bridgedSent || bridged;
        }
        WaitForAnswers(targets, type);
        Report(targets);
    }

    bool PrepareName(const Target& target, std::function<bool(Target&)>& send)
    {
        const std::u16string name = chars_.LocalToUtf16(c_.deviceName);
        const NameRule rule = NameRuleFor(target.record.ap_type);
        if (name.empty()) {
            Fail(kExitBadInput, "The device name can not be empty!");
            return false;
        }
        if (!PassesNameRule(rule, name)) {
            Fail(kExitBadInput, NameRuleMessage(rule), target.mac);
            return false;
        }
        const std::string local = chars_.Utf16ToLocal(TruncateUtf8(name, kDeviceNameBytes));
        send = [this, local](Target& t) { return engine_->SetName(t.ip, t.mac, local); };
        return true;
    }

    bool PrepareIp(std::vector<Target>& targets, std::function<bool(Target&)>& send)
    {
        // Entries not given keep the first device's values, as the Set IP window opens with them.
        const IP_BLOCK& initial = targets.front().record.ip_block;
        auto text = [](const uint8_t(&ip)[4]) { return IpText(std::span<const uint8_t, 4>(ip)); };
        IpRangeTexts e;
        e.first = c_.ip.first;
        e.mask = c_.ip.hasMask ? c_.ip.mask : text(initial.ip_mask);
        e.gateway = c_.ip.hasGateway ? c_.ip.gateway : text(initial.ip_gateway);
        e.dns1 = c_.ip.hasDns1 ? c_.ip.dns1 : text(initial.ip_dns1);
        e.dns2 = c_.ip.hasDns2 ? c_.ip.dns2 : text(initial.ip_dns2);
        const bool several = targets.size() > 1;
        e.last = c_.ip.last;
        if (several && e.last.empty() && IsValidIp(e.first, false))
            e.last = LastOfConsecutive(e.first, targets.size());
        if (const char* refusal = CheckIpRangeTexts(e, several)) {
            Fail(kExitBadInput, refusal);
            return false;
        }
        IpApplySettings settings;
        settings.first = IpToBytes(e.first);
        settings.last = IpToBytes(e.last);
        settings.mask = IpToBytes(e.mask);
        settings.gateway = IpToBytes(e.gateway);
        settings.dns1 = IpToBytes(e.dns1);
        settings.dns2 = IpToBytes(e.dns2);
        std::vector<SelectionEntry> selection;
        for (const Target& t : targets) {
            SelectionEntry s;
            SetCText(s.ip, t.ip);
            SetCText(s.mac, t.mac);
            s.type_code = t.record.ap_type;
            selection.push_back(s);
        }
        const std::vector<IpAssignment> plan = PlanIpAssignments(selection, settings);
        if (plan.size() < targets.size()) {
            Fail(kExitBadInput, "The address range holds fewer addresses than devices",
                 e.first + " - " + e.last);
            return false;
        }
        auto blocks = std::make_shared<std::map<std::string, IP_BLOCK>>();
        for (size_t i = 0; i < plan.size(); ++i) {
            targets[i].newIp = IpText(std::span<const uint8_t, 4>(plan[i].block.ip));
            (*blocks)[targets[i].mac] = plan[i].block;
        }
        send = [this, blocks](Target& t) { return engine_->SetIpSettings(t.ip, t.mac, blocks->at(t.mac)); };
        return true;
    }

    std::chrono::milliseconds AnswerTime() const
    {
        const int32_t sends = std::max(0, engine_->RetransmissionMax()) + 1;
        return std::chrono::milliseconds(int64_t{sends} * engine_->RetransmissionIntervalMs()) +
               kAnswerMargin;
    }

    void WaitForAnswers(std::vector<Target>& targets, uint16_t type)
    {
        const auto end = Clock::now() + AnswerTime();
        for (;;) {
            size_t answered = 0;
            for (Target& t : targets) {
                if (const auto r = replies_.Get(t.mac, type)) {
                    t.outcome = *r == 0 ? Outcome::Done : Outcome::Refused;
                    ++answered;
                } else if (!t.sent) {
                    ++answered;  // nothing went out: no answer will come
                }
            }
            if (answered == targets.size() || Clock::now() >= end || Interrupted()) break;
            Progress(Tr("Waiting for the devices' answers") + "... " + std::to_string(answered) + "/" +
                     std::to_string(targets.size()));
            replies_.Wait(env_.poll);
        }
    }

    void Report(const std::vector<Target>& targets)
    {
        Document d;
        d.listKey = "results";
        bool allDone = true;
        for (const Target& t : targets) {
            Record r = {{"mac", t.mac, false}, {"ip", t.ip, false}};
            if (c_.kind == CommandKind::SetIp) r.push_back({"new_ip", t.newIp, false});
            r.push_back({"result", OutcomeText(t.outcome), false});
            d.records.push_back(std::move(r));
            if (t.outcome != Outcome::Done) {
                allDone = false;
                Message(t.outcome == Outcome::Refused  ? "The device refused the command"
                        : t.outcome == Outcome::Failed ? "The device upgrade failed"
                                                       : "The device did not answer",
                        t.mac);
            }
        }
        if (result_.exitCode == kExitDone && !allDone) result_.exitCode = kExitFailed;
        d.extra.push_back({"exit_code", std::to_string(result_.exitCode), true});
        Print(std::move(d));
    }

    void Survey(Target& target)
    {
        store_->ClearScanResults();
        target.sent = engine_->StartSiteSurvey(target.ip, target.mac);
        const auto end = Clock::now() + AnswerTime();
        while (target.sent && !engine_->IsSurveyComplete() && Clock::now() < end) {
            if (Interrupted()) return;
            Progress(Tr("Waiting for the devices' answers") + "... 0/1");
            std::this_thread::sleep_for(env_.poll);
        }
        Document d;
        d.listKey = "access_points";
        if (!engine_->IsSurveyComplete()) {
            Print(std::move(d));
            Fail(kExitFailed, "The device did not answer", target.mac);
            return;
        }
        std::vector<config_otherwl_basic> aps;
        store_->ListScanResults(4, aps, false);  // strongest signal first
        for (const config_otherwl_basic& ap : aps) d.records.push_back(SurveyRecord(ap, Converter()));
        Print(std::move(d));
    }

    // ---- Upgrade --------------------------------------------------------------------------

    // The firmware file must be readable before anything is sent: its size goes to the devices.
    bool ReadUpgradeFile()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path path = fs::absolute(fs::path(c_.file), ec);
        std::ifstream in(path, std::ios::binary);
        const auto size = ec ? 0 : fs::file_size(path, ec);
        if (ec || !in || !fs::is_regular_file(path, ec)) {
            Fail(kExitBadInput, "The upgrade file cannot be read", c_.file);
            return false;
        }
        upgradeFolder_ = path.parent_path().string();
        upgradeName_ = path.filename().string();
        upgradeSize_ = static_cast<uint32_t>(std::min<uintmax_t>(size, UINT32_MAX));
        return true;
    }

    void StopFileServer()
    {
        if (fileServer_) fileServer_->Stop();
        fileServer_.reset();
    }

    // Waits `period` unless the run is interrupted; false then.
    bool Pause(std::chrono::milliseconds period)
    {
        const auto end = Clock::now() + period;
        for (;;) {
            if (Interrupted()) return false;
            const auto now = Clock::now();
            if (now >= end) return true;
            std::this_thread::sleep_for(std::min<Clock::duration>(env_.poll, end - now));
        }
    }

    // Done once it reported success; refused when it refused the upgrade; failed when it could
    // not fetch the file or refused to flash it.
    void JudgeUpgrade(Target& t) const
    {
        const auto told = replies_.Get(t.mac, MSG_UPGRADE);
        const auto flash = replies_.Get(t.mac, MSG_UPGRADE_START);
        if (replies_.Saw(t.mac, MSG_UPGRADE_STATUS, 2)) {
            t.outcome = Outcome::Done;
        } else if (told && *told != 0) {
            t.outcome = Outcome::Refused;
        } else if (replies_.Saw(t.mac, MSG_UPGRADE_STATUS, 1) || (flash && *flash != 0)) {
            t.outcome = Outcome::Failed;
        } else {
            t.outcome = Outcome::NoAnswer;
        }
    }

    static const char* FileServerFaultKey(FileServerFault fault)
    {
        switch (fault) {
            case FileServerFault::PortPermission:
                return "The file server may not open its port. Run the program as root or give "
                       "service/FileServer the cap_net_bind_service capability.";
            case FileServerFault::PortInUse:
                return "The file server cannot open its port: another program is using it.";
            default:
                return "The file server could not start, so the devices cannot fetch the file.";
        }
    }

    void Upgrade(std::vector<Target>& targets)
    {
        std::vector<SelectionEntry> selection;
        for (const Target& t : targets) {
            SelectionEntry s;
            SetCText(s.ip, t.ip);
            SetCText(s.mac, t.mac);
            s.type_code = static_cast<int32_t>(t.record.ap_type);
            selection.push_back(s);
        }
        // One firmware file is for one model, as the window's Type list chooses one.
        const std::vector<UpgradeTypeItem> types = UpgradeTypeItems(selection);
        if (types.size() > 1) {
            std::string models;
            for (const UpgradeTypeItem& item : types) models += (models.empty() ? "" : ", ") + item.model;
            Fail(kExitBadInput, "The devices are of different models; upgrade one model at a time", models);
            return;
        }
        for (SelectionEntry& s : selection) s.type_code = types.front().code;
        const auto payload = MakeUpgradePayload(upgradeName_, upgradeSize_);
        if (!payload) {
            Fail(kExitBadInput, "The upgrade file name is too long!", upgradeName_);
            return;
        }
        fileServer_ = env_.fileServer ? env_.fileServer() : nullptr;
        if (!fileServer_) {
            Fail(kExitFailed, FileServerFaultKey(FileServerFault::Other));
            return;
        }

        std::map<std::string, Target*> byMac;
        for (Target& t : targets) byMac[t.mac] = &t;
        UpgradeIo io;
        io.status = [this](std::string_view mac) { return store_->GetDeviceStatus(mac); };
        io.clearUpgradeFail = [this](std::string_view mac) { store_->ClearUpgradeFail(mac); };
        io.isUpgradeWaiting = [this](std::string_view mac) { return store_->IsUpgradeWaiting(mac); };
        io.send = [this, &byMac](const SelectionEntry& entry, uint16_t type, std::span<const uint8_t> bytes) {
            const bool sent = engine_->SendCommand(CText(entry.ip), type, bytes, CText(entry.mac), true);
            if (type == MSG_UPGRADE) byMac.at(std::string(CText(entry.mac)))->sent = sent;
        };
        io.discover = [this] { engine_->Discover(); };
        UpgradeRun run(std::move(io));
        run.Start(selection, types.front().code, *payload);

        fileServer_->Start(upgradeFolder_);
        ServerWaitIo wait;
        wait.isRunning = [this] { return fileServer_->IsRunning(); };
        wait.pause = [this](std::chrono::milliseconds period, const std::atomic<bool>&) {
            return Pause(period);
        };
        const std::atomic<bool> stop{false};
        Progress(Tr("Starting the file server") + "...");
        bool stopped = false;
        WaitForFileServer(wait, stop, &stopped);
        if (stopped) return;
        // A server that cannot take its port never serves: the devices are not told to fetch.
        const FileServerHealth health = fileServer_->Health();
        if (health.fault != FileServerFault::None) {
            StopFileServer();
            Fail(kExitFailed, FileServerFaultKey(health.fault), health.detail);
            return;
        }

        bool watch = run.SendBatch();
        bool stageTwo = false;
        while (Pause(env_.upgradeTick)) {
            if (watch) {
                const UpgradeRun::WatchStep step = run.BatchWatchTick();
                if (step.finished) watch = step.nextBatch;
            }
            std::string line;
            if (!stageTwo) {
                const UpgradeRun::StageOneStep step = run.StageOneTick();
                stageTwo = step.ended;
                if (step.ended && step.allFailed) break;
                line = Tr("Upgrade file transfer progress") + " " + std::to_string(step.progress) + "/" +
                       std::to_string(run.StageOneLength());
            } else {
                const UpgradeRun::StageTwoStep step = run.StageTwoTick();
                if (step.finished) break;
                line = Tr("Firmware upgrading progress") + " " + std::to_string(step.progress) + "/" +
                       std::to_string(UpgradeRun::kStageTwoLength);
            }
            // Once every device reported its end there is nothing left to wait for.
            size_t settled = 0;
            for (Target& t : targets) {
                JudgeUpgrade(t);
                if (t.outcome != Outcome::NoAnswer) ++settled;
            }
            if (settled == targets.size()) break;
            Progress(line + ", " + std::to_string(settled) + "/" + std::to_string(targets.size()));
        }
        StopFileServer();
        if (result_.exitCode == kExitInterrupted) return;
        for (Target& t : targets) JudgeUpgrade(t);
        Report(targets);
    }

    const Command& c_;
    const RunEnvironment& env_;
    COperateCharacter chars_;
    RunResult result_;
    ReplyBox replies_;  // declared before the engine, whose reply worker writes into it
    std::unique_ptr<CSqlManagement> store_;
    std::unique_ptr<CommEngine> engine_;
    std::unique_ptr<FileServerControl> fileServer_;
    std::string upgradeFolder_;
    std::string upgradeName_;
    uint32_t upgradeSize_ = 0;
};

}  // namespace

std::string LastOfConsecutive(std::string_view first, size_t count)
{
    uint64_t n = IpToNumber(first);
    size_t counted = 0;
    for (; n <= 0xFFFFFFFFull; ++n) {
        const uint8_t low = static_cast<uint8_t>(n & 0xff);
        if (low != 0 && low != 255 && ++counted >= count) break;
    }
    return n > 0xFFFFFFFFull ? std::string("255.255.255.255")
                             : IpText(IpFromNumber(static_cast<uint32_t>(n)));
}

RunResult RunCommand(const Command& command, const RunEnvironment& environment)
{
    Runner runner(command, environment);
    return runner.Run();
}

}  // namespace pontiq::cli
