#include "ui/config/management_config_dlg.h"

#include <QLabel>
#include <QPixmap>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"
#include "app/ui/wait_dlg.h"
#include "ui/config/config_sender.h"
#include "ui/config/config_sheet_rules.h"
#include "ui/config/ip_set_dlg.h"
#include "ui/config/time_reboot_dlg.h"
#include "ui/config/vlan_dlg.h"
#include "ui/config/wireless_set_dlg.h"

namespace pontiq {

namespace {

// Layout in dialog units.
constexpr int kWidth = 265;
constexpr int kHeight = 327;
constexpr int kTitleHeight = 20;
constexpr int kTabWidth = 66;
constexpr int kTabHeight = 23;
constexpr int kTabTop = kTitleHeight + 4;
constexpr int kPageTop = kTabTop + kTabHeight + 1;
constexpr int kButtonAreaHeight = 34;
constexpr QSize kButtonSize(76, 24);  // the Save and Cancel pictures
constexpr int kCloseSize = 20;

constexpr const char* kTabCaptions[4] = {"WirelessSet", "IPSET", "VLAN", "TimeReboot"};
constexpr int kTabIds[4] = {kIdcConfigTabWireless, kIdcConfigTabIp, kIdcConfigTabVlan, kIdcConfigTabReboot};

}  // namespace

CManagementConfigDlg::CManagementConfigDlg(const ap_info_stu& record, PendingConfiguration& pending,
                                           CConfigSender& sender, QWidget* parent)
    : CTDialog(parent, Qt::Dialog), record_(record), pending_(pending), sender_(sender)
{
    setObjectName(QStringLiteral("managementConfigDlg"));
    SetControlId(this, kDlgManagementConfig);
    BuildControls();
    ShowTab(ConfigTab::Wireless);
}

CManagementConfigDlg::~CManagementConfigDlg() = default;

void CManagementConfigDlg::BuildControls()
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetFrameless(true);
    setModal(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(TranslateQ(std::string_view("Device management ")));
    SetFillColor(ToQColor(skin.childBkColor));
    EnableDrag(true);
    SetLineColor(ToQColor(skin.lineColor));
    const int w = width() - 1;
    const int h = height() - 1;
    SetLines({{0, 0, w, 0}, {w, 0, w, h}, {0, h, w, h}, {0, 0, 0, h}});

    // The title strip is part of the background: a press on it drags the sheet.
    titleStrip_ = new QWidget(this);
    SetControlId(titleStrip_, kIdcConfigTitleStrip);
    titleStrip_->setAttribute(Qt::WA_TransparentForMouseEvents);
    titleStrip_->setAutoFillBackground(true);
    QPalette stripPalette = titleStrip_->palette();
    stripPalette.setColor(QPalette::Window, ToQColor(skin.gridTitleBkColor));
    titleStrip_->setPalette(stripPalette);
    titleStrip_->setGeometry(0, 0, width(), DluY(kTitleHeight));

    title_ = new CTStatic(kIdcConfigTitle, this);
    ApplyLabelSkin(*title_, skin);
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    title_->setWordWrap(false);
    title_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title_->SetText(TranslateQ(std::string_view("Device management ")));
    title_->setGeometry(DluX(6), 0, width() - DluX(12) - kCloseSize, DluY(kTitleHeight));

    close_ = MakeCloseButton(kIdcConfigClose, QString::fromStdString(paths.closeConfig),
                             TranslateQ(std::string_view("Close")), skin, this);
    close_->setGeometry(width() - kCloseSize - DluX(4), (DluY(kTitleHeight) - kCloseSize) / 2, kCloseSize,
                        kCloseSize);
    connect(close_, &CTButtonPicture::clicked, this, &CManagementConfigDlg::CancelSheet);

    // The tab buttons side by side, the grey line above them.
    separator_ = new QLabel(this);
    SetControlId(separator_, kIdcConfigSeparator);
    const QPixmap line(QString::fromStdString(paths.grayLine));
    if (!line.isNull()) {
        separator_->setPixmap(line);
        separator_->setScaledContents(true);
    }
    separator_->setGeometry(0, DluY(kTabTop) - 2, width(), 1);

    const QString unselected = QString::fromStdString(paths.wirelessConfig);
    for (size_t i = 0; i < tabButtons_.size(); ++i) {
        auto* button = new CTButtonPicture(kTabIds[i], this);
        button->SetImages(unselected, unselected, unselected, unselected);
        ApplyStandardButtonSkin(*button, TranslateQ(std::string_view(kTabCaptions[i])), skin);
        button->SetTextPlacement(CTButtonPicture::kTextCenter, 0);
        button->setGeometry(DluX(static_cast<int>(i) * kTabWidth), DluY(kTabTop), DluX(kTabWidth),
                            DluY(kTabHeight));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &CTButtonPicture::clicked, this, [this, i] { ShowTab(static_cast<ConfigTab>(i)); });
        tabButtons_[i] = button;
    }
    const uint32_t type = record_.ap_type;
    tabButtons_[static_cast<size_t>(ConfigTab::Vlan)]->setEnabled(!IsVlanTabDisabled(type));
    tabButtons_[static_cast<size_t>(ConfigTab::Reboot)]->setEnabled(!IsTimedRebootTabDisabled(type));

    // The four pages exist whatever the type code; each works on its own copy of the record.
    wireless_ = new CWirelessSetDlg(record_, this);
    ip_ = new CIPSetDlg(record_, this);
    vlan_ = new CVlanDlg(record_, this);
    reboot_ = new CTimeRebootDlg(record_.reboot_block, this);
    pages_ = {wireless_, ip_, vlan_, reboot_};
    const QRect pageRect(1, DluY(kPageTop), width() - 2, height() - DluY(kPageTop) - DluY(kButtonAreaHeight));
    for (QWidget* page : pages_) {
        page->setGeometry(pageRect);
    }
    connect(ip_, &CIPSetDlg::entryRefused, this, [this] { ShowTab(ConfigTab::Ip); });
    connect(vlan_, &CVlanDlg::entryRefused, this, [this] { ShowTab(ConfigTab::Vlan); });

    const QString saveImage = QString::fromStdString(paths.configBtn);
    const QString cancelImage = QString::fromStdString(paths.btnConfig);
    save_ = MakeDialogButton(kIdcConfigSave, TranslateQ(std::string_view("Save")), saveImage, skin, this);
    cancel_ =
        MakeDialogButton(kIdcConfigCancel, TranslateQ(std::string_view("Cancel")), cancelImage, skin, this);
    const int buttonY =
        height() - kButtonSize.height() - (DluY(kButtonAreaHeight) - kButtonSize.height()) / 2;
    cancel_->setGeometry(width() - kButtonSize.width() - DluX(14), buttonY, kButtonSize.width(),
                         kButtonSize.height());
    save_->setGeometry(cancel_->x() - kButtonSize.width() - DluX(8), buttonY, kButtonSize.width(),
                       kButtonSize.height());
    connect(save_, &CTButtonPicture::clicked, this, [this] { Save(); });
    connect(cancel_, &CTButtonPicture::clicked, this, &CManagementConfigDlg::CancelSheet);
}

void CManagementConfigDlg::SetHooks(Hooks hooks)
{
    hooks_ = std::move(hooks);
}

void CManagementConfigDlg::ShowTab(ConfigTab tab)
{
    const SkinPaths& paths = CurrentSkinPaths();
    const QString selected = QString::fromStdString(paths.wirelessBasic);
    const QString unselected = QString::fromStdString(paths.wirelessConfig);
    current_ = tab;
    for (size_t i = 0; i < pages_.size(); ++i) {
        const bool on = static_cast<size_t>(tab) == i;
        pages_[i]->setVisible(on);
        const QString& image = on ? selected : unselected;
        tabButtons_[i]->SetImages(image, image, image, image);
    }
}

bool CManagementConfigDlg::Save()
{
    pending_.ClearChanges();
    const auto wirelessCollect = [this](PendingConfiguration& p) {
        return hooks_.wirelessCollect ? hooks_.wirelessCollect(p) : wireless_->Collect(p);
    };
    // A refusal leaves its tab on show, so the user sees the entry the message is about.
    const auto refused = [this](ConfigTab tab) {
        ShowTab(tab);
        return false;
    };
    if (!wirelessCollect(pending_)) return refused(ConfigTab::Wireless);
    if (!ip_->Collect(pending_)) return refused(ConfigTab::Ip);
    if (!vlan_->Collect(pending_)) return refused(ConfigTab::Vlan);
    if (!reboot_->Collect(pending_)) return refused(ConfigTab::Reboot);

    // The device applies a new address and a new VLAN together, with the VLAN.
    if (pending_.ip_changed && pending_.vlan_changed) {
        pending_.ip_block.apply = 0;
        pending_.vlan_block.apply = 1;
    }

    sender_.Start(pending_);

    int seconds = 0;
    bool rediscovery = false;
    int passes = 0;
    if (pending_.vlan_changed) {
        seconds = kVlanWaitSeconds;
    } else if (pending_.ip_changed) {
        seconds = kIpWaitSeconds;
        rediscovery = true;
        passes = kIpWaitPasses;
    }
    if (seconds > 0) {
        if (hooks_.showWait) {
            hooks_.showWait(seconds, rediscovery, passes);
        } else {
            CWaitDlg wait(seconds, rediscovery, passes, this);
            wait.exec();
        }
    }
    accept();
    return true;
}

void CManagementConfigDlg::CancelSheet()
{
    reject();
}

}  // namespace pontiq
