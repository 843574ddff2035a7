#include "ui/config/vlan_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstring>

#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "ui/config/tab_controls.h"

namespace pontiq {

namespace {

constexpr int kLabelWidth = 150;  // pixels
constexpr int kEditWidth = 90;
constexpr int kIdDigits = 4;

}  // namespace

CVlanDlg::CVlanDlg(const ap_info_stu& record, QWidget* parent) : CTDialog(parent, Qt::Widget), record_(record)
{
    setObjectName(QStringLiteral("vlanDlg"));
    SetControlId(this, kDlgVlan);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
    group_ = VlanGroupOf(record_.ap_type);
    readOnly_ = IsVlanReadOnly(record_.ap_type, record_.work_mode);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(DluX(14), DluY(10), DluX(14), DluY(8));
    column->setSpacing(DluY(6));

    const auto addRow = [&](QHBoxLayout** layout) {
        QWidget* row = config_tab::Row(this, layout);
        row->setFixedHeight(config_tab::kEditHeight + 2);
        column->addWidget(row);
        return row;
    };
    const auto labelled = [&](int labelId, const char* key, QWidget* row, QHBoxLayout* h) {
        CTStatic* label = config_tab::Label(labelId, key, row);
        label->setFixedWidth(kLabelWidth);
        h->addWidget(label);
        return label;
    };
    const auto idEdit = [&](int id, QWidget* row, QHBoxLayout* h) {
        QLineEdit* edit = config_tab::DigitEdit(id, row);
        edit->setMaxLength(kIdDigits);
        edit->setFixedWidth(kEditWidth);
        h->addWidget(edit);
        h->addStretch(1);
        return edit;
    };

    QHBoxLayout* h = nullptr;
    QWidget* row = addRow(&h);
    labelled(kIdcVlanConfigLabel, "VLAN configuration", row, h);
    enable_ = config_tab::CheckBox(kIdcVlanEnable, row);
    h->addWidget(enable_);
    h->addWidget(config_tab::Label(kIdcVlanEnableLabel, "Enable", row));
    h->addStretch(1);

    pvidRow_ = addRow(&h);
    labelled(kIdcVlanPvidLabel, "PVID", pvidRow_, h);
    pvid_ = idEdit(kIdcVlanPvid, pvidRow_, h);

    row = addRow(&h);
    labelled(kIdcVlanManageLabel, "Manage VLAN", row, h);
    manage_ = idEdit(kIdcVlanManage, row, h);

    row = addRow(&h);
    labelled(kIdcVlanWlanLabel, "WLAN", row, h);
    wlan_ = idEdit(kIdcVlanWlan, row, h);

    trunkRow_ = addRow(&h);
    trunkLabel_ = labelled(kIdcVlanTrunkLabel, "Trunk口", trunkRow_, h);
    trunkLan1_ = new QRadioButton(trunkRow_);
    SetControlId(trunkLan1_, kIdcVlanTrunkLan1);
    h->addWidget(trunkLan1_);
    h->addWidget(config_tab::Label(kIdcVlanTrunkLan1Label, "LAN1", trunkRow_));
    h->addSpacing(DluX(10));
    trunkLan2_ = new QRadioButton(trunkRow_);
    SetControlId(trunkLan2_, kIdcVlanTrunkLan2);
    h->addWidget(trunkLan2_);
    h->addWidget(config_tab::Label(kIdcVlanTrunkLan2Label, "LAN2", trunkRow_));
    h->addStretch(1);
    auto* trunkGroup = new QButtonGroup(this);
    trunkGroup->addButton(trunkLan1_, kTrunkLan1);
    trunkGroup->addButton(trunkLan2_, kTrunkLan2);

    lanRow_ = addRow(&h);
    lanLabel_ = labelled(kIdcVlanLanLabel, "LAN2", lanRow_, h);
    lan_ = idEdit(kIdcVlanLan, lanRow_, h);

    lan3Row_ = addRow(&h);
    labelled(kIdcVlanLan3Label, "LAN3", lan3Row_, h);
    lan3_ = idEdit(kIdcVlanLan3, lan3Row_, h);

    lan4Row_ = addRow(&h);
    labelled(kIdcVlanLan4Label, "LAN4", lan4Row_, h);
    lan4_ = idEdit(kIdcVlanLan4, lan4Row_, h);
    column->addStretch(1);

    // Opening: the check box and the values, then the rows of the model.
    const VLAN_BLOCK& vlan = record_.vlan_block;
    const EXTENSION_BLOCK& ext = record_.extension_block;
    enable_->setChecked(vlan.vlan_en != 0);
    OnEnableToggled(enable_->isChecked());
    manage_->setText(QString::number(vlan.vlan_id));
    wlan_->setText(QString::number(vlan.vlan_id_wlan));
    lan_->setText(QString::number(vlan.vlan_id_lan));
    pvid_->setText(QString::number(ext.vlan_pvid));
    lan3_->setText(QString::number(ext.vlan_id_lan3));
    lan4_->setText(QString::number(ext.vlan_id_lan4));

    const bool a = group_ == VlanGroup::A;
    const bool d = group_ == VlanGroup::D;
    pvidRow_->setVisible(group_ != VlanGroup::Other);
    lanRow_->setVisible(a || d || group_ == VlanGroup::B);
    lan3Row_->setVisible(a);
    lan4Row_->setVisible(a);
    trunkRow_->setVisible(d && record_.ap_type != 21);
    if (d) {
        const int choice = StoredTrunkChoice(ext.trunk_port);
        (choice == kTrunkLan2 ? trunkLan2_ : trunkLan1_)->setChecked(true);
        ShowLanRow(choice);
    } else {
        const VlanLanRow lanRow = LanRowFor(record_.ap_type, kTrunkLan1, vlan, ext);
        lanLabel_->SetText(TranslateQ(std::string_view(lanRow.label)));
    }

    if (readOnly_) {
        for (QWidget* w : std::initializer_list<QWidget*>{enable_, pvid_, manage_, wlan_, lan_, lan3_, lan4_,
                                                          trunkLabel_, trunkLan1_, trunkLan2_}) {
            w->setEnabled(false);
        }
    }

    connect(enable_, &QCheckBox::toggled, this, &CVlanDlg::OnEnableToggled);
    connect(trunkLan1_, &QRadioButton::clicked, this, [this] { OnTrunkChosen(kTrunkLan1); });
    connect(trunkLan2_, &QRadioButton::clicked, this, [this] { OnTrunkChosen(kTrunkLan2); });
}

void CVlanDlg::OnEnableToggled(bool on)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{pvid_, manage_, wlan_, lan_, lan3_, lan4_, trunkLan1_, trunkLan2_}) {
        w->setEnabled(on);
    }
}

void CVlanDlg::OnTrunkChosen(int choice)
{
    ShowLanRow(choice);
}

void CVlanDlg::ShowLanRow(int trunkChoice)
{
    // The values come from the stored record, not from what was typed.
    const VlanLanRow row =
        LanRowFor(record_.ap_type, trunkChoice, record_.vlan_block, record_.extension_block);
    lanLabel_->SetText(TranslateQ(std::string_view(row.label)));
    lan_->setText(QString::number(row.value));
}

QLineEdit* CVlanDlg::IdEdit(int controlId) const
{
    for (QLineEdit* e : {pvid_, manage_, wlan_, lan_, lan3_, lan4_}) {
        if (ControlId(e) == controlId) return e;
    }
    return nullptr;
}

QRadioButton* CVlanDlg::TrunkRadio(int controlId) const
{
    if (controlId == kIdcVlanTrunkLan1) return trunkLan1_;
    if (controlId == kIdcVlanTrunkLan2) return trunkLan2_;
    return nullptr;
}

VlanEntries CVlanDlg::Entries() const
{
    VlanEntries e;
    e.enabled = enable_->isChecked();
    e.manage = manage_->text().toStdString();
    e.wlan = wlan_->text().toStdString();
    e.pvid = pvid_->text().toStdString();
    e.lan = lan_->text().toStdString();
    e.lan3 = lan3_->text().toStdString();
    e.lan4 = lan4_->text().toStdString();
    e.trunk = trunkLan1_->isChecked() ? kTrunkLan1 : trunkLan2_->isChecked() ? kTrunkLan2 : 0;
    return e;
}

bool CVlanDlg::Collect(PendingConfiguration& pending)
{
    pending.vlan_changed = 0;
    const VlanCollectResult r =
        CollectVlan(record_.ap_type, record_.vlan_block, record_.extension_block, Entries());
    if (r.refused != VlanField::None) {
        QLineEdit* edit = nullptr;
        QString name;
        switch (r.refused) {
            case VlanField::Manage:
                edit = manage_;
                name = TranslateQ(std::string_view("VLAN"));
                break;
            case VlanField::Wlan:
                edit = wlan_;
                name = TranslateQ(std::string_view("WLAN"));
                break;
            case VlanField::Pvid:
                edit = pvid_;
                name = TranslateQ(std::string_view("PVID"));
                break;
            case VlanField::Lan:
                edit = lan_;
                // Group D names the row by its label as it reads now.
                name = group_ == VlanGroup::D ? lanLabel_->text() : TranslateQ(std::string_view("LAN2"));
                break;
            case VlanField::Lan3:
                edit = lan3_;
                name = TranslateQ(std::string_view("LAN3"));
                break;
            case VlanField::Lan4:
                edit = lan4_;
                name = TranslateQ(std::string_view("LAN4"));
                break;
            case VlanField::None:
                break;
        }
        ShowMessage(this, name + QLatin1Char(' ') + TranslateQ(std::string_view("range:1-4094")));
        emit entryRefused();
        if (edit) edit->setFocus();
        return false;
    }
    pending.vlan_block = r.vlan;
    pending.extension_block = r.extension;
    pending.vlan_changed = r.changed ? 1 : 0;
    return true;
}

}  // namespace pontiq
