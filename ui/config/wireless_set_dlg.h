// Wireless settings page of the configuration sheet (dialog 144).
#pragma once

#include <QWidget>

#include "store/ap_info.h"
#include "ui/config/pending_config.h"

namespace pontiq {

class CWirelessSetDlg : public QWidget {
    Q_OBJECT

public:
    // The page works on its own copy of the device record.
    explicit CWirelessSetDlg(const ap_info_stu& record, QWidget* parent = nullptr);

    // Fills the radio block, the radio extension and the wireless changed flag. Returns false
    // when an entry is invalid (the page has shown the message).
    bool Collect(PendingConfiguration& pending);

private:
    ap_info_stu record_{};
};

}  // namespace pontiq
