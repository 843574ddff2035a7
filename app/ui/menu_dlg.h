// The navigation panel: eight menu buttons that switch the page container's page, one of them
// marked as selected, and the version label.
#pragma once

#include <QPointer>
#include <array>

#include "app/controls/ct_dialog.h"

namespace pontiq {

class CChildDlg;
class CTButtonPicture;
class CTStatic;

class CMenuDlg : public CTDialog {
    Q_OBJECT

public:
    struct Entry {
        int buttonId;
        int top;              // dialog units
        const char* caption;  // built-in text
        int pageId;
    };
    static constexpr int kButtonCount = 8;
    static constexpr int kButtonWidth = 90;  // dialog units
    static constexpr int kButtonHeight = 28;
    static constexpr int kTextPlacement = 768;
    static constexpr int kTextOffset = 30;
    static const std::array<Entry, kButtonCount>& Entries();

    explicit CMenuDlg(QWidget* parent = nullptr);

    // Where a selected page is shown; without one, selecting only moves the mark.
    void SetPageContainer(CChildDlg* container);

    // A menu button was clicked: the mark moves to it and its page is shown.
    void SelectPage(int buttonId);
    int SelectedButtonId() const;

    // Enables or disables the eight buttons and the version label together.
    void SetPanelEnabled(bool enabled);
    bool PanelEnabled() const { return enabled_; }

    CTButtonPicture* Button(int buttonId) const;
    CTStatic* VersionLabel() const { return version_; }
    static int PageOfButton(int buttonId);

private:
    std::array<CTButtonPicture*, kButtonCount> buttons_{};
    CTStatic* version_ = nullptr;
    QPointer<CChildDlg> container_;
    bool enabled_ = true;
};

}  // namespace pontiq
