#include "ui/config/ip_set_dlg.h"

#include <QGridLayout>
#include <QLineEdit>
#include <cstring>
#include <span>

#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/config/ip_set_rules.h"
#include "ui/config/tab_controls.h"
#include "ui/lists/ip_address_ctrl.h"
#include "ui/lists/list_columns.h"

namespace pontiq {

namespace {

constexpr int kNameMaxCharacters = 32;
constexpr int kFieldWidth = 170;  // pixels

QString AddressText(const uint8_t (&bytes)[4])
{
    return QString::fromStdString(IpText(std::span<const uint8_t, 4>(bytes)));
}

}  // namespace

CIPSetDlg::CIPSetDlg(const ap_info_stu& record, QWidget* parent)
    : CTDialog(parent, Qt::Widget), record_(record)
{
    setObjectName(QStringLiteral("ipSetDlg"));
    SetControlId(this, kDlgIpTab);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(DluX(14), DluY(12), DluX(14), DluY(8));
    grid->setHorizontalSpacing(DluX(8));
    grid->setVerticalSpacing(DluY(9));

    struct Row {
        int labelId;
        const char* key;
        CIpAddressCtrl** field;
        int fieldId;
        const uint8_t (*value)[4];
    };
    const IP_BLOCK& b = record_.ip_block;
    const Row rows[] = {
        {kIdcIpTabIpLabel, "IP_Address", &ip_, kIdcIpTabIp, &b.ip},
        {kIdcIpTabMaskLabel, "Sub_Network", &mask_, kIdcIpTabMask, &b.ip_mask},
        {kIdcIpTabGatewayLabel, "Gate_Way", &gateway_, kIdcIpTabGateway, &b.ip_gateway},
        {kIdcIpTabDns1Label, "Major_Dns", &dns1_, kIdcIpTabDns1, &b.ip_dns1},
        {kIdcIpTabDns2Label, "Dns", &dns2_, kIdcIpTabDns2, &b.ip_dns2},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(config_tab::Label(row.labelId, row.key, this), r, 0);
        auto* field = new CIpAddressCtrl(row.fieldId, this);
        field->setFixedSize(kFieldWidth, config_tab::kEditHeight);
        field->SetText(AddressText(*row.value));
        grid->addWidget(field, r, 1, Qt::AlignLeft);
        *row.field = field;
        ++r;
    }
    grid->addWidget(config_tab::Label(kIdcIpTabNameLabel, "Wireless_location", this), r, 0);
    name_ = config_tab::Edit(kIdcIpTabName, this);
    name_->setFixedWidth(kFieldWidth);
    name_->setMaxLength(kNameMaxCharacters);
    name_->setText(LocalToQString(FieldText(record_.ap_name, record_.ap_name_len)));
    grid->addWidget(name_, r, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(r + 1, 1);
}

void CIPSetDlg::SetIpLookup(IpLookup lookup)
{
    lookup_ = std::move(lookup);
}

CIpAddressCtrl* CIPSetDlg::AddressControl(int controlId) const
{
    for (CIpAddressCtrl* c : {ip_, mask_, gateway_, dns1_, dns2_}) {
        if (ControlId(c) == controlId) return c;
    }
    return nullptr;
}

bool CIPSetDlg::Collect(PendingConfiguration& pending)
{
    pending.ip_changed = 0;
    pending.name_changed = 0;
    pending.ip_block = IP_BLOCK{};
    std::memset(pending.name_block, 0, sizeof pending.name_block);

    IP_BLOCK stored = record_.ip_block;
    stored.ip_mode = 1;
    const IpTabEntries entries{ip_->Text().toStdString(), mask_->Text().toStdString(),
                               gateway_->Text().toStdString(), dns1_->Text().toStdString(),
                               dns2_->Text().toStdString()};
    IP_BLOCK block = IpTabBlock(stored, entries);

    // Addresses left as they were are not checked at all, even when the stored ones would fail.
    if (std::memcmp(&block, &stored, sizeof(IP_BLOCK)) != 0) {
        pending.ip_changed = 1;
        if (const char* refusal = CheckIpTabEntries(entries)) {
            ShowMessage(this, TranslateQ(std::string_view(refusal)), MessageCaption::ApplicationName,
                        MessageIcon::None);
            return false;
        }
        std::vector<std::string> ips;
        if (lookup_) {
            lookup_(ips);
        } else if (CApplicationApp* app = CApplicationApp::InstancePointer(); app && app->HasStore()) {
            app->store().GetAllIps(ips);
        }
        const std::string ownIp = IpText(std::span<const uint8_t, 4>(record_.ip_block.ip));
        if (IsIpInUse(entries.ip, ownIp, ips)) {
            ShowMessage(this,
                        TranslateQ(std::string_view("The ip address is already in use, please respecify!")),
                        MessageCaption::ApplicationName, MessageIcon::None);
            return false;
        }
    }
    block.apply = 1;
    pending.ip_block = block;

    const QString name = name_->text();
    const NameRefusal refusal = CheckDeviceName(name.toStdU16String(), record_.ap_type);
    if (refusal != NameRefusal::None) {
        ShowMessage(this, TranslateQ(std::string_view(NameRefusalMessage(refusal))));
        emit entryRefused();
        name_->setFocus();
        return false;
    }
    FillNameBlock(pending.name_block, QStringToLocal(name));
    if (NameBlockText(pending.name_block) != FieldText(record_.ap_name, record_.ap_name_len)) {
        pending.name_changed = 1;
    }
    return true;
}

}  // namespace pontiq
