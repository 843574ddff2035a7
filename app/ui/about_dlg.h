// The about box: the program icon, its name and version, and an OK button.
#pragma once

#include "app/controls/ct_dialog.h"

namespace pontiq {

class CTButtonPicture;

class CAboutDlg : public CTDialog {
    Q_OBJECT

public:
    // The system-menu entry that opens the box.
    static constexpr const char* kMenuText = "About Pontiq...";

    explicit CAboutDlg(QWidget* parent = nullptr);

    CTButtonPicture* OkButton() const { return ok_; }

private:
    CTButtonPicture* ok_ = nullptr;
};

}  // namespace pontiq
