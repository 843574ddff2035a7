#include "ui/bridge/kelvra_set_multi_dlg.h"

namespace pontiq {

CKelvraSetMultiDlg::CKelvraSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue,
                                       CApplyWorker& worker, QWidget* parent)
    : CSwitchSetMultiDlg(SwitchFeature::Kelvra,
                         {kDlgKelvraSetMulti, "Kelvra", kIdcKelvraTitle, "Kelvra", kIdcKelvraLabel},
                         std::move(selection), initialValue, worker, nullptr, parent)
{
    setObjectName(QStringLiteral("kelvraSetMultiDlg"));
}

CKelvraSetMultiDlg::CKelvraSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue,
                                       CApplyWorker& worker, CommEngine& engine, QWidget* parent)
    : CSwitchSetMultiDlg(SwitchFeature::Kelvra,
                         {kDlgKelvraSetMulti, "Kelvra", kIdcKelvraTitle, "Kelvra", kIdcKelvraLabel},
                         std::move(selection), initialValue, worker, &engine, parent)
{
    setObjectName(QStringLiteral("kelvraSetMultiDlg"));
}

}  // namespace pontiq
