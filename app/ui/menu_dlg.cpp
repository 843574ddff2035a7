#include "app/ui/menu_dlg.h"

#include <QFontMetrics>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/child_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

namespace {

constexpr int kPanelWidth = 91;  // dialog units
constexpr int kPanelHeight = 324;
constexpr int kVersionLabelHeight = 12;
constexpr int kVersionLabelBottomMargin = 6;
constexpr int kMinCaptionHeight = 9;
constexpr int kCaptionMargin = 4;  // pixels kept free on each side of a caption

// The font height for a caption that fits the button also in bold (the selected mark): long
// translations get a smaller font instead of being cut.
int FittingCaptionHeight(const QString& caption, const QString& face, int height, int width)
{
    if (height <= kMinCaptionHeight) return height;
    int fitting = height;
    while (fitting > kMinCaptionHeight &&
           QFontMetrics(SkinFont(face, 700, fitting)).horizontalAdvance(caption) >
               width - 2 * kCaptionMargin) {
        --fitting;
    }
    return fitting;
}

}  // namespace

const std::array<CMenuDlg::Entry, CMenuDlg::kButtonCount>& CMenuDlg::Entries()
{
    static const std::array<Entry, kButtonCount> entries = {{
        {kIdcMenuStatus, 0, "Device status", kPageStatus},
        {kIdcMenuManagement, 27, "Device management", kPageManagement},
        {kIdcMenuBridge, 53, "Device bridge", kPageBridge},
        {kIdcMenuReboot, 80, "Device reboot", kPageReboot},
        {kIdcMenuUpgrade, 107, "Device upgrade", kPageUpgrade},
        {kIdcMenuRestore, 134, "Device restore", kPageRestore},
        {kIdcMenuSystemTool, 161, "System tool", kPageSystemTool},
        {kIdcMenuInstallHelp, 188, "Install Help", kPageInstallHelp},
    }};
    return entries;
}

int CMenuDlg::PageOfButton(int buttonId)
{
    for (const Entry& entry : Entries()) {
        if (entry.buttonId == buttonId) return entry.pageId;
    }
    return 0;
}

CMenuDlg::CMenuDlg(QWidget* parent) : CTDialog(parent, Qt::Widget)
{
    setObjectName(QStringLiteral("menuDlg"));
    SetControlId(this, kDlgMenu);
    resize(DluX(kPanelWidth), DluY(kPanelHeight));
    TranslateWindow(this);

    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetFillColor(ToQColor(skin.childBkColor));
    SetBackgroundImage(QString::fromStdString(paths.mainLeftBk));

    for (size_t i = 0; i < Entries().size(); ++i) {
        const Entry& entry = Entries()[i];
        auto* button = new CTButtonPicture(entry.buttonId, this);
        button->setGeometry(DluRect(0, entry.top, kButtonWidth, kButtonHeight));
        ApplyNavigationButtonSkin(*button, TranslateQ(std::string_view(entry.caption)), skin);
        const bool status = entry.buttonId == kIdcMenuStatus;
        const QString normal =
            QString::fromStdString(status ? paths.btMenuSearchNormal : paths.btMenuWirelessNormal);
        const QString down =
            QString::fromStdString(status ? paths.btMenuSearchDown : paths.btMenuWirelessDown);
        // Hover shows the normal picture with the pressed text colour.
        button->SetImages(normal, normal, down, normal);
        button->SetTextPlacement(kTextPlacement, kTextOffset);
        const int height = FittingCaptionHeight(button->Caption(), button->FaceName(), button->FontHeight(),
                                                button->width());
        if (height != button->FontHeight()) {
            button->SetSkin(button->FaceName(), button->FontWeight(), height, button->TextColor(),
                            button->PressedTextColor());
        }
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &CTButtonPicture::clicked, this, [this, id = entry.buttonId] { SelectPage(id); });
        buttons_[i] = button;
    }
    SelectPage(kIdcMenuStatus);  // no container yet: only the mark

    version_ = new CTStatic(kIdcVersionLabel, this);
    ApplyLabelSkin(*version_, skin);
    version_->SetTextColor(ToQColor(skin.staticTextNumberColor));
    version_->setAlignment(Qt::AlignCenter);
    version_->setGeometry(DluRect(0, kPanelHeight - kVersionLabelHeight - kVersionLabelBottomMargin,
                                  kPanelWidth, kVersionLabelHeight));
    version_->SetText(QString::fromStdString(CurrentSettings().versionLabel));
}

void CMenuDlg::SetPageContainer(CChildDlg* container)
{
    container_ = container;
}

CTButtonPicture* CMenuDlg::Button(int buttonId) const
{
    for (CTButtonPicture* button : buttons_) {
        if (button && ControlId(button) == buttonId) return button;
    }
    return nullptr;
}

void CMenuDlg::SelectPage(int buttonId)
{
    CTButtonPicture* chosen = Button(buttonId);
    if (!chosen) return;
    for (CTButtonPicture* button : buttons_) {
        if (button && button != chosen) button->SetSelected(false);
    }
    chosen->SetSelected(true);
    if (container_) container_->ShowPage(PageOfButton(buttonId));
}

int CMenuDlg::SelectedButtonId() const
{
    for (CTButtonPicture* button : buttons_) {
        if (button && button->IsSelected()) return ControlId(button);
    }
    return 0;
}

void CMenuDlg::SetPanelEnabled(bool enabled)
{
    enabled_ = enabled;
    for (CTButtonPicture* button : buttons_) {
        if (button) button->setEnabled(enabled);
    }
    if (version_) version_->setEnabled(enabled);
}

}  // namespace pontiq
