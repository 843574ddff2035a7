#include "app/ui/application_dlg.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QScreen>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/about_dlg.h"
#include "app/ui/child_dlg.h"
#include "app/ui/help_address.h"
#include "app/ui/menu_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

namespace {

// The tooltip delay belongs to the style of the widget the tip is for; the title buttons get
// a style that only changes that.
class TooltipDelayStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) return CApplicationDlg::kTooltipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

CApplicationDlg::UrlOpener& Opener()
{
    static CApplicationDlg::UrlOpener opener;
    return opener;
}

const QColor kBorderColor(150, 150, 150);

// The window's one-pixel border, drawn above the panel and the container that reach its edges.
class BorderOverlay final : public QWidget {
public:
    explicit BorderOverlay(QWidget* window) : QWidget(window)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(window->rect());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(kBorderColor);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

struct TitleButtonSpec {
    int id;
    int x;  // dialog units
    const char* tip;
    const char* fallback;  // drawn when the skin has no image for the button
};
constexpr TitleButtonSpec kTitleButtons[] = {
    {kIdcHelp, 647, "Info", "?"},
    {kIdcMin, 666, "Min", "\xe2\x80\x93"},
    {kIdcClose, 684, "Close", "\xc3\x97"},
};
constexpr int kTitleButtonY = 2;
constexpr int kTitleButtonWidth = 17;
constexpr int kTitleButtonHeight = 10;

struct HelpItem {
    int command;
    const char* text;
    const char* addressKey;
};
constexpr HelpItem kHelpItems[] = {
    {kCmdHelpProduct, "Product", "Product_url"},
    {kCmdHelpSupport, "Support", "Support_url"},
    {kCmdHelpContact, "Contact Us", "Contact_url"},
    {kCmdHelpHelp, "Help", "Help_url"},
};

QAction* AddCommand(QMenu& menu, const QString& text, int command)
{
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

}  // namespace

QIcon CApplicationDlg::ProgramIcon()
{
    const QString path = QString::fromStdString(CurrentSkinPaths().applicationIcon);
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        QIcon icon(path);
        if (!icon.availableSizes().isEmpty() || !icon.pixmap(32).isNull()) return icon;
    }
    // Without the icon file the tray would have nothing to show: draw a small emblem instead.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(237, 112, 32));
        painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        QPen pen(Qt::white, std::max(1.5, size / 11.0), Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QPointF centre(size / 2.0, size * 0.68);
        for (double r : {size * 0.16, size * 0.30, size * 0.44}) {
            painter.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        }
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre, size / 14.0, size / 14.0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

CApplicationDlg::CApplicationDlg(QWidget* parent, PageFactory pages) : CTDialog(parent, Qt::Window)
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    setObjectName(QStringLiteral("applicationDlg"));
    SetControlId(this, kDlgApplication);
    SetFrameless(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(QString::fromStdString(CApplicationApp::ApplicationName()));
    if (windowTitle().isEmpty()) setWindowTitle(QStringLiteral("Pontiq"));

    for (const TitleButtonSpec& title : kTitleButtons) {
        auto* button = new CTButtonPicture(title.id, this);
        button->setGeometry(DluRect(title.x, kTitleButtonY, kTitleButtonWidth, kTitleButtonHeight));
        button->setFocusPolicy(Qt::NoFocus);
        (title.id == kIdcHelp ? help_ : title.id == kIdcMin ? min_ : close_) = button;
        connect(button, &CTButtonPicture::clicked, this, [this, id = title.id] { OnCommand(id); });
    }

    icon_ = ProgramIcon();
    setWindowIcon(icon_);
    TranslateWindow(this);

    SetFillColor(ToQColor(skin.childBkColor));
    SetBackgroundImage(QString::fromStdString(paths.mainBk));
    EnableDrag(true);

    tooltipStyle_ = new TooltipDelayStyle;
    tooltipStyle_->setParent(this);
    for (const TitleButtonSpec& title : kTitleButtons) {
        CTButtonPicture* button = TitleButton(title.id);
        button->setToolTip(TranslateQ(std::string_view(title.tip)));
        button->setStyle(tooltipStyle_);
    }

    const std::pair<CTButtonPicture*, const std::string*> images[] = {
        {min_, &paths.minNormal}, {close_, &paths.closeNormal}, {help_, &paths.helpNormal}};
    for (const auto& [button, path] : images) {
        const QString file = QString::fromStdString(*path);
        button->SetImages(file, file, file, file);
    }
    for (const TitleButtonSpec& title : kTitleButtons) {
        CTButtonPicture* button = TitleButton(title.id);
        if (button->Image(CTButtonPicture::State::Normal).isNull()) {
            ApplyStandardButtonSkin(*button, QString::fromUtf8(title.fallback), skin);
            button->SetSkin(ToQString(skin.fontName), 700, 16, QColor(90, 90, 90),
                            ToQColor(skin.textDownColor));
        }
    }

    tray_ = new QSystemTrayIcon(icon_, this);
    tray_->setToolTip(TranslateQ(std::string_view("ZUVOdozuzovaz")).left(kTrayTipLimit));
    trayMenu_ = new QMenu(this);
    SetControlId(trayMenu_, kMenuTray);
    AddCommand(*trayMenu_, QStringLiteral("Show Utility"), kCmdTrayShow);
    AddCommand(*trayMenu_, QStringLiteral("Exit"), kCmdTrayExit);
    connect(trayMenu_, &QMenu::aboutToShow, trayMenu_, [menu = trayMenu_] { TranslateMenu(menu); });
    connect(trayMenu_, &QMenu::triggered, this,
            [this](QAction* action) { OnCommand(action->data().toInt()); });
    TranslateMenu(trayMenu_);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, &CApplicationDlg::OnTrayActivated);
    if (QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    menu_ = new CMenuDlg(this);
    menu_->move(0, kMenuTop);
    menu_->show();
    container_ = new CChildDlg(this, std::move(pages));
    container_->move(menu_->width(), kContainerTop);
    // The container and its pages are laid out taller than the window leaves below the banner;
    // they are fitted inside the border so that the pages' bottom bars show.
    const QSize room(width() - 1 - container_->x(), height() - 1 - container_->y());
    container_->resize(container_->size().boundedTo(room));
    for (QWidget* page : container_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        page->resize(page->size().boundedTo(container_->size()));
    }
    container_->show();
    menu_->SetPageContainer(container_);
    auto* border = new BorderOverlay(this);
    border->raise();

    connect(this, &QDialog::finished, this, [this] {
        ended_ = true;
        emit Finished();
    });
}

CApplicationDlg::~CApplicationDlg()
{
    if (tray_) tray_->hide();
}

CTButtonPicture* CApplicationDlg::TitleButton(int id) const
{
    return id == kIdcHelp ? help_ : id == kIdcMin ? min_ : id == kIdcClose ? close_ : nullptr;
}

void CApplicationDlg::RunModal()
{
    if (ended_) return;
    QEventLoop loop;
    connect(this, &CApplicationDlg::Finished, &loop, &QEventLoop::quit);
    show();
    raise();
    activateWindow();
    // Hiding into the tray must not end the program: only Finished does.
    const bool quitOnLast = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (!ended_) loop.exec();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLast);
}

void CApplicationDlg::EndMainWindow()
{
    if (ended_) return;
    // A modal popup still open (a wait popup, a sheet, a message box: the tray's "Exit" and a
    // termination signal do not wait for them) is ended first, so its own loop unwinds and the
    // page behind it finishes before the window goes.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog != this && dialog->isVisible() && dialog->isModal()) dialog->reject();
    }
    done(QDialog::Accepted);
}

void CApplicationDlg::ShowUtility()
{
    show();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void CApplicationDlg::HideToTray()
{
    if (tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

const char* CApplicationDlg::HelpAddressKey(int commandId)
{
    for (const HelpItem& item : kHelpItems) {
        if (item.command == commandId) return item.addressKey;
    }
    return "";
}

CApplicationDlg::UrlOpener CApplicationDlg::SetUrlOpener(UrlOpener opener)
{
    UrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

void CApplicationDlg::OnCommand(int commandId)
{
    switch (commandId) {
        case kIdcClose:
        case kCmdTrayExit:
            EndMainWindow();
            break;
        case kIdcMin:
            HideToTray();
            break;
        case kIdcHelp:
            ShowHelpMenu();
            break;
        case kCmdTrayShow:
            ShowUtility();
            break;
        case kCmdAbout:
            ShowAbout();
            break;
        case kCmdHelpProduct:
        case kCmdHelpSupport:
        case kCmdHelpContact:
        case kCmdHelpHelp: {
            // The language file gives the address, or the manual's path in the program folder;
            // without an entry the key itself goes to the shell, which cannot open it. Either way
            // nothing is reported.
            const QUrl url = ResolveHelpAddress(TranslateQ(std::string_view(HelpAddressKey(commandId))),
                                                QString::fromStdString(CurrentSettings().programDir));
            if (Opener()) {
                Opener()(url);
            } else {
                QDesktopServices::openUrl(url);
            }
            break;
        }
        default:
            break;
    }
}

void CApplicationDlg::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) {
        // A single click counts too: some trays report no double clicks.
        ShowUtility();
    }
    // The right button opens the tray menu through the tray itself (its context menu).
}

std::unique_ptr<QMenu> CApplicationDlg::CreateHelpMenu() const
{
    const SkinPaths& paths = CurrentSkinPaths();
    const std::string* images[] = {&paths.helpProductNormal, &paths.helpSupportNormal,
                                   &paths.helpContactNormal, &paths.helpHelpNormal};
    auto menu = std::make_unique<QMenu>();
    SetControlId(menu.get(), kMenuHelp);
    for (size_t i = 0; i < std::size(kHelpItems); ++i) {
        QAction* action = AddCommand(*menu, QString::fromLatin1(kHelpItems[i].text), kHelpItems[i].command);
        const QPixmap bitmap(QString::fromStdString(*images[i]));
        if (!bitmap.isNull()) action->setIcon(QIcon(bitmap));
    }
    TranslateMenu(menu.get());
    return menu;
}

std::unique_ptr<QMenu> CApplicationDlg::CreateSystemMenu() const
{
    auto menu = std::make_unique<QMenu>();
    AddCommand(*menu, TranslateQ(std::string_view("Minimize")), kIdcMin);
    AddCommand(*menu, TranslateQ(std::string_view("Close")), kIdcClose);
    const QString about = TranslateQ(std::string_view(CAboutDlg::kMenuText));
    if (!about.isEmpty()) {
        menu->addSeparator();
        AddCommand(*menu, about, kCmdAbout);
    }
    return menu;
}

void CApplicationDlg::ShowHelpMenu()
{
    std::unique_ptr<QMenu> menu = CreateHelpMenu();
    raise();
    activateWindow();
    if (QAction* chosen = menu->exec(QCursor::pos() + QPoint(-6, 30))) OnCommand(chosen->data().toInt());
}

void CApplicationDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CApplicationDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // The banner above the pages stands in for the missing caption bar.
    if (event->pos().y() >= kContainerTop) {
        event->ignore();
        return;
    }
    std::unique_ptr<QMenu> menu = CreateSystemMenu();
    if (QAction* chosen = menu->exec(event->globalPos())) OnCommand(chosen->data().toInt());
}

void CApplicationDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
        std::unique_ptr<QMenu> menu = CreateSystemMenu();
        if (QAction* chosen = menu->exec(mapToGlobal(QPoint(0, 0)))) OnCommand(chosen->data().toInt());
        return;
    }
    CTDialog::keyPressEvent(event);  // swallows Enter and Esc
}

}  // namespace pontiq
