// What the page container asks of its pages. A page is a widget (a skinned child dialog) that
// also implements PageOperations; the container calls these on the user-interface thread.
#pragma once

#include <functional>

class QWidget;

namespace pontiq {

class PageOperations {
public:
    virtual ~PageOperations() = default;
    // Reload what the page shows (the container's refresh after a switch and every 30 s).
    virtual void RefreshPage() {}
    // The page-number strip of a list page chose page `page` (1-based).
    virtual void GoToPage(int page) { (void)page; }
};

// Creates the page with the given page id as a child of parent. The container owns the result.
using PageFactory = std::function<QWidget*(int pageId, QWidget* parent)>;

// The program's pages: the real page classes where they exist, a placeholder for the others.
QWidget* CreateProgramPage(int pageId, QWidget* parent);

}  // namespace pontiq
