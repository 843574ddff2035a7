#include "ui/bridge/bridge_set_multi_dlg.h"

namespace pontiq {

CBridgeSetMultiDlg::CBridgeSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue,
                                       CApplyWorker& worker, QWidget* parent)
    : CSwitchSetMultiDlg(SwitchFeature::TransparentBridge,
                         {kDlgBridgeSetMulti, "Set Bridge", kIdcBridgeTitle, "Set Bridge", kIdcBridgeLabel},
                         std::move(selection), initialValue, worker, nullptr, parent)
{
    setObjectName(QStringLiteral("bridgeSetMultiDlg"));
}

CBridgeSetMultiDlg::CBridgeSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue,
                                       CApplyWorker& worker, CommEngine& engine, QWidget* parent)
    : CSwitchSetMultiDlg(SwitchFeature::TransparentBridge,
                         {kDlgBridgeSetMulti, "Set Bridge", kIdcBridgeTitle, "Set Bridge", kIdcBridgeLabel},
                         std::move(selection), initialValue, worker, &engine, parent)
{
    setObjectName(QStringLiteral("bridgeSetMultiDlg"));
}

}  // namespace pontiq
