// The main window: frameless and skinned, with the Help, Min and Close title buttons, the
// navigation panel on the left, the page container on the right, the tray icon and the help
// menu. It ends (and with it the program) by Close, the tray menu's "Exit" or a termination
// signal; Min hides it into the tray icon.
#pragma once

#include <QIcon>
#include <QSystemTrayIcon>
#include <QUrl>
#include <functional>
#include <memory>

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"

class QMenu;
class QProxyStyle;

namespace pontiq {

class CChildDlg;
class CMenuDlg;
class CTButtonPicture;

class CApplicationDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 704;  // dialog units
    static constexpr int kHeight = 415;
    static constexpr int kMenuTop = 158;      // pixels below the window's top edge
    static constexpr int kContainerTop = 86;  // pixels below the window's top edge
    static constexpr int kTooltipDelayMs = 500;
    static constexpr int kTrayTipLimit = 127;  // characters

    explicit CApplicationDlg(QWidget* parent = nullptr, PageFactory pages = CreateProgramPage);
    ~CApplicationDlg() override;

    // Shows the window and returns when it has ended. The window may be hidden in between.
    void RunModal();
    // Ends the window as the Close button does.
    void EndMainWindow();
    bool Ended() const { return ended_; }

    // The commands of the title buttons, the menus and the system menu.
    void OnCommand(int commandId);
    // The tray icon's callback: a double click shows the window, a right click the tray menu.
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    // Shows the window again and brings it to the front.
    void ShowUtility();
    // Min: into the tray when there is one, else minimised (never hidden beyond reach).
    void HideToTray();

    CMenuDlg* MenuPanel() const { return menu_; }
    CChildDlg* PageContainer() const { return container_; }
    QSystemTrayIcon* TrayIcon() const { return tray_; }
    CTButtonPicture* TitleButton(int id) const;
    QMenu* TrayMenu() const { return trayMenu_; }

    // The help menu, loaded and translated afresh each time (the Help button shows it).
    std::unique_ptr<QMenu> CreateHelpMenu() const;
    // The system menu of the frameless window: right click on the banner or Alt+Space.
    std::unique_ptr<QMenu> CreateSystemMenu() const;
    // The built-in key of a help item's address ("Product_url" ...), empty for other commands.
    static const char* HelpAddressKey(int commandId);

    // The shell's "open" of an address; tests replace it. Returns the previous opener.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static UrlOpener SetUrlOpener(UrlOpener opener);

    // The window and tray icon: Skin/Application.ico, or a drawn one when the file is missing.
    static QIcon ProgramIcon();

signals:
    void Finished();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowAbout();
    void ShowHelpMenu();

    CTButtonPicture* help_ = nullptr;
    CTButtonPicture* min_ = nullptr;
    CTButtonPicture* close_ = nullptr;
    QProxyStyle* tooltipStyle_ = nullptr;
    CMenuDlg* menu_ = nullptr;
    CChildDlg* container_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QIcon icon_;
    bool ended_ = false;
};

}  // namespace pontiq
