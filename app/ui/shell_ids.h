// Numbers that identify windows, controls, commands and timers of the shell. They are kept as
// the resource numbers the pages, language files and tests know the windows by; each widget
// also carries its id in the "controlId" property (SetControlId) so tests and tools find it;
// timers carry theirs in "timerId".
#pragma once

#include "app/controls/control_id.h"

namespace pontiq {

// Dialog resource numbers; a page id is the dialog number of the page.
enum DialogId : int {
    kDlgAbout = 100,
    kDlgApplication = 102,
    kDlgChild = 129,
    kDlgMenu = 130,
    kPageStatus = 133,
    kPageManagement = 134,
    kPageBridge = 135,
    kPageReboot = 136,
    kPageUpgrade = 137,
    kPageRestore = 138,
    kPageInstallHelp = 139,
    kPageSystemTool = 155,
    kDlgWait = 156,
};

// Main window: title buttons.
enum ApplicationControlId : int {
    kIdcClose = 1000,
    kIdcHelp = 1001,
    kIdcMin = 1002,
};

// Navigation panel: menu buttons and the version label.
enum MenuControlId : int {
    kIdcMenuSystemTool = 1001,
    kIdcMenuBridge = 1003,
    kIdcMenuStatus = 1004,
    kIdcMenuRestore = 1005,
    kIdcMenuUpgrade = 1006,
    kIdcMenuManagement = 1007,
    kIdcMenuInstallHelp = 1008,
    kIdcMenuReboot = 1009,
    kIdcVersionLabel = 1024,
};

// Menu commands.
enum CommandId : int {
    kCmdAbout = 16,  // system-menu about entry
    kCmdHelpProduct = 32774,
    kCmdHelpSupport = 32775,
    kCmdHelpContact = 32779,
    kCmdHelpHelp = 57670,
    kCmdTrayShow = 32781,
    kCmdTrayExit = 32782,
};

// Menus and messages.
inline constexpr int kMenuHelp = 131;
inline constexpr int kMenuTray = 132;
inline constexpr int kMsgTrayCallback = 1124;
inline constexpr int kMsgPageChange = 2023;  // from a list page's page-number strip

// Timers of the page container and of the wait popup.
enum TimerId : int {
    kTimerPageRefresh = 1000,  // page container: every 30 s
    kTimerAfterSwitch = 2000,  // page container: one-shot, 100 ms after a switch
    kTimerWaitTick = 1000,     // wait popup: every 500 ms
};

inline constexpr int kPageRefreshPeriodMs = 30000;
inline constexpr int kAfterSwitchDelayMs = 100;
inline constexpr int kWaitTickMs = 500;

// Wait popup controls.
enum WaitControlId : int {
    kIdcWaitClose = 1000,
    kIdcWaitProgress = 1136,
};

// Install-help page: the scrolling picture.
inline constexpr int kIdcInstallHelpPicture = 102;

inline constexpr const char* kTimerIdProperty = "timerId";

// A widget made elsewhere as a window (e.g. a QDialog built without Qt::Widget) becomes a child.
inline void MakeChildWindow(QWidget* widget)
{
    if (widget->isWindow()) widget->setWindowFlags(Qt::Widget);
}

}  // namespace pontiq
