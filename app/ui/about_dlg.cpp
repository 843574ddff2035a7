#include "app/ui/about_dlg.h"

#include <QLabel>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/application_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

CAboutDlg::CAboutDlg(QWidget* parent) : CTDialog(parent, Qt::Dialog)
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetControlId(this, kDlgAbout);
    setWindowTitle(QStringLiteral("About Pontiq"));
    setFixedSize(DluX(220), DluY(80));
    TranslateWindow(this);
    SetFillColor(ToQColor(skin.childBkColor));

    auto* icon = new QLabel(this);
    icon->setPixmap(CApplicationDlg::ProgramIcon().pixmap(32, 32));
    icon->setGeometry(DluRect(10, 12, 24, 24));

    auto* name = new CTStatic(this);
    ApplyLabelSkin(*name, skin);
    name->SetText(TranslateQ(std::string_view("Pontiq")) + QLatin1Char(' ') +
                  QString::fromStdString(CurrentSettings().versionLabel));
    name->setGeometry(DluRect(42, 12, 170, 12));

    auto* purpose = new CTStatic(this);
    ApplyLabelSkin(*purpose, skin);
    purpose->SetTextColor(ToQColor(skin.staticTextNumberColor));
    purpose->SetText(TranslateQ(std::string_view("Finds and manages outdoor wireless CPE and AP devices.")));
    purpose->setWordWrap(true);
    purpose->setGeometry(DluRect(42, 26, 170, 26));

    ok_ = new CTButtonPicture(1, this);
    const QString image = QString::fromStdString(paths.btnConfig);
    ok_->SetImages(image, image, image, image);
    ApplyStandardButtonSkin(*ok_, TranslateQ(std::string_view("OK")), skin);
    ok_->setGeometry(DluRect(162, 58, 50, 15));
    connect(ok_, &CTButtonPicture::clicked, this, &QDialog::accept);
}

}  // namespace pontiq
