// The eight pages of the page container. Pages whose window is not part of the program yet are
// placeholders; each real page class takes its id's place here when it arrives.
#include <QString>

#include "app/ui/install_help_dlg.h"
#include "app/ui/page.h"
#include "app/ui/placeholder_page.h"
#include "app/ui/shell_ids.h"
#include "ui/bridge/bridge_dlg.h"
#include "ui/config/management_dlg.h"
#include "ui/lists/status_dlg.h"
#include "ui/maintenance/reboot_dlg.h"
#include "ui/maintenance/restore_dlg.h"
#include "ui/maintenance/system_tool_dlg.h"
#include "ui/maintenance/upgrade_dlg.h"

namespace pontiq {

QWidget* CreateProgramPage(int pageId, QWidget* parent)
{
    switch (pageId) {
        case kPageInstallHelp:
            return new CInstallHelpDlg(parent);
        case kPageStatus:
            return new CStatusDlg(parent);
        case kPageManagement:
            return new CManagementDlg(parent);
        case kPageBridge:
            return new CBridgeDlg(parent);
        case kPageReboot:
            return new CRebootDlg(parent);
        case kPageUpgrade:
            return new CUpgradeDlg(parent);
        case kPageRestore:
            return new CRestoreDlg(parent);
        case kPageSystemTool:
            return new CSystemToolDlg(parent);
        default:
            return nullptr;
    }
}

}  // namespace pontiq
