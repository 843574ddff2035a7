// A page of the page container whose real window is not part of the program yet: a skinned page
// with its title and nothing to refresh. CreateProgramPage hands one out for such page ids.
#pragma once

#include <QString>

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"

namespace pontiq {

class CTStatic;

class CPlaceholderPage : public CTDialog, public PageOperations {
    Q_OBJECT

public:
    // title: the built-in English title, translated here.
    CPlaceholderPage(int pageId, const QString& title, QWidget* parent = nullptr);

    int PageId() const { return pageId_; }
    void RefreshPage() override {}

private:
    int pageId_;
};

}  // namespace pontiq
