// Set Bridge: switches the transparent bridge on or off for the ticked devices.
//
//     CBridgeSetMultiDlg dlg(selection, record.extension_block.bridge_transparent, m_bridgeWorker, this);
//     dlg.exec();
#pragma once

#include "ui/bridge/switch_set_multi_dlg.h"

namespace pontiq {

class CBridgeSetMultiDlg : public CSwitchSetMultiDlg {
    Q_OBJECT

public:
    // initialValue: bridge_transparent of the first device's stored record. The routine runs on
    // `worker` (owned by the page) and sends through `engine`, by default the application's.
    CBridgeSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue, CApplyWorker& worker,
                       QWidget* parent = nullptr);
    CBridgeSetMultiDlg(std::vector<SelectionEntry> selection, int initialValue, CApplyWorker& worker,
                       CommEngine& engine, QWidget* parent);
};

}  // namespace pontiq
