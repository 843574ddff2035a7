#include "app/ui/install_help_dlg.h"

#include <algorithm>

#include "app/application_app.h"
#include "app/controls/dialog_units.h"
#include "app/controls/scroll_bitmap_wnd.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

namespace {

// Of the page container only this much shows inside the main window (it sits 86 px down in a
// window 415 units high); the picture window is kept inside it so that its scroll bars show.
constexpr int kVisiblePageWidth = 610;
constexpr int kVisiblePageHeightPx = 674 - 86;

}  // namespace

CInstallHelpDlg::CInstallHelpDlg(QWidget* parent)
    : CInstallHelpDlg(QString::fromStdString(CurrentSkinPaths().help), parent)
{
}

CInstallHelpDlg::CInstallHelpDlg(const QString& picturePath, QWidget* parent)
    : CTDialog(parent, Qt::Widget), picturePath_(picturePath)
{
    setObjectName(QStringLiteral("page%1").arg(kPageInstallHelp));
    resize(DluX(610), DluY(372));
    TranslateWindow(this);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));

    picture_ = new CScrollBitmapWnd(kIdcInstallHelpPicture, this);
    const int width = std::min(kPictureWidth, DluX(kVisiblePageWidth) - 2 * kPictureX);
    const int height = std::min(kPictureHeight, std::min(DluY(372), kVisiblePageHeightPx) - 2 * kPictureY);
    picture_->setGeometry(kPictureX, kPictureY, width, height);
    // The picture is wider than the page shows: scaled to the width, it scrolls only downwards.
    picture_->SetFitWidth(true);
    picture_->SetPicture(picturePath_);
    picture_->show();
}

}  // namespace pontiq
