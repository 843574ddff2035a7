// The two on/off switch dialogs of the status page share this design: they show the current
// value of one device feature, let the user pick "Enable" or "Disable_off", and on Save start the
// feature's apply routine over the ticked devices on the page's worker. CBridgeSetMultiDlg and
// CKelvraSetMultiDlg only choose the texts and the feature.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"

class QRadioButton;

namespace pontiq {

class CApplyWorker;
class CommEngine;
class CTButtonPicture;
class CTStatic;

enum class SwitchFeature : uint8_t {
    TransparentBridge,  // byte 0 of the feature block, MSG_SET_TRANSPARENT_BRIDGE
    Kelvra,             // byte 1, MSG_SET_KELVRA
};

enum SwitchControlId : int {
    kDlgBridgeSetMulti = 159,
    kDlgKelvraSetMulti = 160,
    kIdcSwitchSave = 1001,
    kIdcSwitchClose = 1003,
    kIdcSwitchCancel = 1027,
    kIdcSwitchEnableLabel = 1031,
    kIdcSwitchTitleBar = 1131,
    kIdcSwitchEnable = 1156,
    kIdcSwitchDisable = 1157,
    kIdcSwitchDisableLabel = 1158,
    kIdcBridgeTitle = 1154,
    kIdcBridgeLabel = 1155,
    kIdcKelvraLabel = 1159,
    kIdcKelvraTitle = 1160,
};

// The 16-byte feature block with the feature's byte set to value (others 0).
EXTENSION_BLOCK SwitchFeatureBlock(SwitchFeature feature, uint8_t value);

// The apply routine: one MSG_SET_TRANSPARENT_BRIDGE or MSG_SET_KELVRA per selection entry, in
// order, with tracking; checks `stop` before every device. Returns how many went out.
int RunSwitchApply(CommEngine& engine, const std::vector<SelectionEntry>& selection, SwitchFeature feature,
                   uint8_t value, const std::atomic<bool>& stop);

class CSwitchSetMultiDlg : public CTDialog {
    Q_OBJECT

public:
    ~CSwitchSetMultiDlg() override;

    // "Enable" (1156): choice 1; "Disable_off" (1157): choice 0.
    void ChooseEnable();
    void ChooseDisable();
    // Save (1001): the feature byte becomes 1 for a choice other than 0, else 0; the routine
    // still running on the worker is ended and the routine started anew; closes (Accepted).
    void Save();
    // Cancel (1027) and the close button (1003): closes (Rejected), nothing is sent.
    void CancelDialog();

    SwitchFeature Feature() const { return feature_; }
    int Choice() const { return choice_; }
    // What Save handed to the routine: 0 or 1.
    uint8_t ChosenValue() const { return choice_ != 0 ? 1 : 0; }
    EXTENSION_BLOCK FeatureBlock() const { return SwitchFeatureBlock(feature_, ChosenValue()); }
    const std::vector<SelectionEntry>& Selection() const { return selection_; }
    QRadioButton* EnableButton() const { return enable_; }
    QRadioButton* DisableButton() const { return disable_; }

protected:
    struct Texts {
        int dialogId;
        const char* title;  // built-in English text
        int titleId;
        const char* label;
        int labelId;
    };

    CSwitchSetMultiDlg(SwitchFeature feature, const Texts& texts, std::vector<SelectionEntry> selection,
                       int initialValue, CApplyWorker& worker, CommEngine* engine, QWidget* parent);

private:
    void BuildControls(const Texts& texts);

    SwitchFeature feature_;
    std::vector<SelectionEntry> selection_;
    int choice_;
    CApplyWorker& worker_;
    CommEngine* engine_;  // nullptr: the application's engine

    CTStatic* title_ = nullptr;
    CTStatic* label_ = nullptr;
    QRadioButton* enable_ = nullptr;
    QRadioButton* disable_ = nullptr;
    CTStatic* enableLabel_ = nullptr;
    CTStatic* disableLabel_ = nullptr;
    CTButtonPicture* save_ = nullptr;
    CTButtonPicture* cancel_ = nullptr;
    CTButtonPicture* close_ = nullptr;
};

}  // namespace pontiq
