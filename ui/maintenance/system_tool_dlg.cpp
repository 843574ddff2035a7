#include "ui/maintenance/system_tool_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/grid_cell_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/value_format.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/grid/grid_skin.h"

namespace pontiq {

namespace {

constexpr int kBarHeight = 26;

struct Column {
    const char* title;
    int width;
};
constexpr Column kColumns[] = {{"ID", 60}, {"Description", 400}, {"MAC", 140}, {"IP", 400}};

// Adapter descriptions are narrow text in the local encoding.
QString LocalText(std::string_view text)
{
    static const COperateCharacter fallback;
    CApplicationApp* app = CApplicationApp::InstancePointer();
    const COperateCharacter& chars = app ? app->characters() : fallback;
    const std::u16string wide = chars.LocalToUtf16(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

template <size_t N>
std::string_view AdapterText(const char (&field)[N])
{
    return std::string_view(field, strnlen(field, N));
}

CSystemToolDlg::AdapterSource EngineSource(CommEngine* engine)
{
    return [engine]() -> std::vector<AdapterInfo> {
        if (engine) return engine->GetLocalAdapters();
        CApplicationApp* app = CApplicationApp::InstancePointer();
        if (app && app->HasEngine()) return app->engine().GetLocalAdapters();
        return {};
    };
}

}  // namespace

std::string JoinAdapterAddresses(const AdapterInfo& adapter)
{
    std::string joined;
    const int count = std::clamp(adapter.addressCount, 0, kMaxAdapterAddresses);
    for (int i = 0; i < count; ++i) {
        if (i > 0) joined += "--";
        joined += AdapterText(adapter.addresses[i].ip);
    }
    return joined;
}

CSystemToolDlg::CSystemToolDlg(QWidget* parent) : CSystemToolDlg(EngineSource(nullptr), parent)
{
}

CSystemToolDlg::CSystemToolDlg(CommEngine& engine, QWidget* parent)
    : CSystemToolDlg(EngineSource(&engine), parent)
{
}

CSystemToolDlg::CSystemToolDlg(AdapterSource source, QWidget* parent)
    : CTDialog(parent, Qt::Widget), source_(std::move(source))
{
    setObjectName(QStringLiteral("systemToolDlg"));
    SetControlId(this, kPageSystemTool);
    resize(DluX(615), DluY(370));
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
    BuildControls();

    Reload();
    timer_.setInterval(kReloadPeriodMs);
    timer_.setProperty(kTimerIdProperty, kTimerReload);
    connect(&timer_, &QTimer::timeout, this, &CSystemToolDlg::Reload);
    timer_.start();
}

CSystemToolDlg::~CSystemToolDlg()
{
    timer_.stop();
}

void CSystemToolDlg::BuildControls()
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(DluX(7), DluY(6), DluX(7), DluY(4));
    root->setSpacing(DluY(5));

    count_ = new CTStatic(kIdcSystemToolCount, this);
    ApplyLabelSkin(*count_, skin);
    count_->SetTextColor(ToQColor(skin.staticTextNumberColor));
    count_->setWordWrap(false);
    count_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    count_->setFixedHeight(kBarHeight);
    root->addWidget(count_);

    grid_ = new CGridCtrl(this);
    SetControlId(grid_, kIdcSystemToolGrid);
    grid_->SetGridStyle(SkinGridStyle());
    std::vector<GridColumn> columns;
    for (const Column& c : kColumns) {
        columns.push_back({TranslateQ(std::string_view(c.title)), c.width, GridColumnKind::Text});
    }
    grid_->SetColumns(std::move(columns));
    root->addWidget(grid_, 1);

    // The separator and the page-number strip of the list pages; this list has one page.
    auto* separator = new QLabel(this);
    SetControlId(separator, kIdcSystemToolSeparator);
    const QPixmap line(QString::fromStdString(paths.line));
    if (line.isNull()) {
        separator->setFixedHeight(1);
        separator->setAutoFillBackground(true);
        QPalette pal = separator->palette();
        pal.setColor(QPalette::Window, ToQColor(skin.lineColor));
        separator->setPalette(pal);
    } else {
        separator->setPixmap(line);
        separator->setScaledContents(true);
        separator->setFixedHeight(line.height());
    }
    root->addWidget(separator);

    pager_ = new CTMultiPages(kIdcSystemToolPager, this);
    pager_->Reset(kPageSystemTool);
    pager_->SetBackgroundColor(ToQColor(skin.childBkColor));
    pager_->SetAlignment(CTMultiPages::Alignment::Right);
    pager_->setFixedHeight(kBarHeight);
    pager_->setFont(
        SkinFont(QString::fromStdString(skin.fontName), skin.staticFontWeight, skin.staticFontHeight));
    root->addWidget(pager_);

    count_->SetText(
        TranslateQ(std::string_view("Adapter count:%d")).replace(QLatin1String("%d"), QStringLiteral("0")));
}

void CSystemToolDlg::Reload()
{
    const std::vector<AdapterInfo> adapters = source_ ? source_() : std::vector<AdapterInfo>{};
    const QColor text = ToQColor(CurrentSettings().skin.gridTextColor);
    std::vector<std::vector<GridCell>> rows;
    rows.reserve(adapters.size());
    int number = 0;
    for (const AdapterInfo& a : adapters) {
        std::vector<GridCell> cells(4);
        cells[0].text = QString::number(++number);
        cells[1].text = LocalText(AdapterText(a.description));
        cells[2].text = QString::fromStdString(MacText(std::span<const uint8_t, 6>(a.mac)));
        cells[3].text = QString::fromStdString(JoinAdapterAddresses(a));
        for (GridCell& c : cells) c.color = text;
        rows.push_back(std::move(cells));
    }
    grid_->SetRows(std::move(rows));
    adapterCount_ = number;
    pager_->SetPageCount(number > 0 ? 1 : 0);
    count_->SetText(TranslateQ(std::string_view("Adapter count:%d"))
                        .replace(QLatin1String("%d"), QString::number(number)));
}

}  // namespace pontiq
