// Kelvra: switches the Kelvra feature (tdmaEn) on or off for the ticked devices.
//
//     CKelvraSetMultiDlg dlg(selection, record.extension_block.tdmaEn, m_kelvraWorker, this);
//     dlg.exec();
#pragma once

#include "ui/bridge/switch_set_multi_dlg.h"

namespace pontiq {

class CKelvraSetMultiDlg : public CSwitchSetMultiDlg {
    Q_OBJECT

public:
    // initialValue: tdmaEn of the first device's stored record. The routine runs on `worker`
    // (owned by the page) and sends through `engine`, by default the application's.
    CKelvraSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue, CApplyWorker& worker,
                       QWidget* parent = nullptr);
    CKelvraSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue, CApplyWorker& worker,
                       CommEngine& engine, QWidget* parent);
};

}  // namespace pontiq
