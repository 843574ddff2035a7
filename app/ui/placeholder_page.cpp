#include "app/ui/placeholder_page.h"

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

CPlaceholderPage::CPlaceholderPage(int pageId, const QString& title, QWidget* parent)
    : CTDialog(parent, Qt::Widget), pageId_(pageId)
{
    const SkinSettings& skin = CurrentSettings().skin;
    setObjectName(QStringLiteral("page%1").arg(pageId));
    resize(DluX(610), DluY(372));
    TranslateWindow(this);
    SetFillColor(ToQColor(skin.childBkColor));

    auto* heading = new CTStatic(this);
    ApplyLabelSkin(*heading, skin);
    heading->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor), ToQColor(skin.childBkColor),
                     700, skin.staticFontHeight + 5);
    heading->SetText(TranslateQ(title));
    heading->setGeometry(DluRect(10, 8, 590, 16));

    AddLine({DluX(10), DluY(25), DluX(600), DluY(25)});
    SetLineColor(ToQColor(skin.lineColor));
}

}  // namespace pontiq
