// The install-help page: one large installation picture the user can scroll.
#pragma once

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"

namespace pontiq {

class CScrollBitmapWnd;

class CInstallHelpDlg : public CTDialog, public PageOperations {
    Q_OBJECT

public:
    // The picture window's place in the page, in pixels.
    static constexpr int kPictureX = 5;
    static constexpr int kPictureY = 5;
    static constexpr int kPictureWidth = 1060;
    static constexpr int kPictureHeight = 585;

    // picturePath: the install-help image; the default is the skin's (by locale).
    explicit CInstallHelpDlg(QWidget* parent = nullptr);
    CInstallHelpDlg(const QString& picturePath, QWidget* parent);

    CScrollBitmapWnd* Picture() const { return picture_; }
    QString PicturePath() const { return picturePath_; }

private:
    CScrollBitmapWnd* picture_;
    QString picturePath_;
};

}  // namespace pontiq
