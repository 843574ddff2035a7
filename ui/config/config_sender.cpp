#include "ui/config/config_sender.h"

#include <cstring>
#include <span>
#include <string>

#include "app/application_app.h"
#include "comm/comm_engine.h"
#include "store/value_format.h"
#include "ui/config/ip_set_rules.h"

namespace pontiq {

int SendConfiguration(CommEngine& engine, const PendingConfiguration& p, const std::atomic<bool>& stop)
{
    // The target is copied before anything goes out; the page may start the next save meanwhile.
    const std::string ip(CText(p.target_ip));
    const std::string mac(CText(p.target_mac));
    int sent = 0;
    if (p.name_changed && !stop.load()) {
        // The outgoing text rule (UTF-8 for a name with Chinese) is the engine's.
        sent += engine.SetName(ip, mac, NameBlockText(p.name_block));
    }
    if (p.wireless_changed && !stop.load()) {
        RADIO_EXTENSION extension{};
        std::memcpy(&extension, p.radio_extension, sizeof extension);
        sent += engine.SetWireless(ip, mac, p.type_code, p.radio_block, extension);
    }
    if (p.reboot_changed && !stop.load()) {
        sent += engine.SetTimedReboot(ip, mac, p.reboot_block);
    }
    if (p.vlan_changed && !stop.load()) {
        sent += engine.SetVlan(ip, mac, p.type_code, p.vlan_block, p.extension_block);
    }
    if (p.ip_changed && !stop.load()) {
        // Records the pending address first, then sends to the old address.
        sent += engine.SetIpSettings(ip, mac, p.ip_block);
    }
    return sent;
}

CConfigSender::CConfigSender(CommEngine* engine, QObject* parent) : QObject(parent), engine_(engine)
{
}

CConfigSender::~CConfigSender()
{
    worker_.Stop();
}

void CConfigSender::SetRoutine(Routine routine)
{
    routine_ = std::move(routine);
}

void CConfigSender::Start(const PendingConfiguration& pending)
{
    Routine routine = routine_;
    if (!routine) {
        CommEngine* engine = engine_;
        if (!engine) {
            CApplicationApp* app = CApplicationApp::InstancePointer();
            if (app && app->HasEngine()) engine = &app->engine();
        }
        if (!engine) {
            worker_.Stop();
            return;
        }
        routine = [engine](const PendingConfiguration& p, const std::atomic<bool>& stop) {
            SendConfiguration(*engine, p, stop);
        };
    }
    worker_.Start(
        [routine = std::move(routine), pending](const std::atomic<bool>& stop) { routine(pending, stop); });
}

}  // namespace pontiq
