// The device list page: what the status, management, bridge, reboot, restore and upgrade pages
// share. A paged, sortable, searchable grid of stored devices with a search box, a page-size
// list, a refresh button, a page-number strip and the online count; pages with a tick column
// also get check-all and the gathering of ticked rows into selection entries.
//
// A page derives from CListPage, passes its column set, adds its own buttons to ActionBar() and
// connects to Grid()'s click and edit signals for what is its own. The page container drives
// it through PageOperations: RefreshPage() reloads the current page, GoToPage(n) loads page n.
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"
#include "store/ap_info.h"
#include "ui/grid/grid_image_list.h"
#include "ui/lists/list_columns.h"

class QComboBox;
class QHBoxLayout;
class QWidget;

namespace pontiq {

class CGridCtrl;
class CTButtonPicture;
class CTEdit;
class CTMultiPages;
class CTStatic;

// Control ids shared by every list page.
enum ListControlId : int {
    kIdcListSearchButton = 1003,
    kIdcListSearchEdit = 1009,
    kIdcListSearchLeft = 1010,
    kIdcListSearchRight = 1011,
    kIdcListSeparator = 1012,
    kIdcListPageSize = 1013,
    kIdcListPageSizeLabel = 1014,
    kIdcListPager = 1016,
    kIdcListOnlineCount = 1017,
    kIdcListRefresh = 1074,
};

// One row of the grid with the record it was made from.
struct ListRow {
    ap_info_stu record{};
    // false: a device heard but not stored. Its row is drawn in the offline colour, without
    // pictures and without in-place editing.
    bool stored = true;
};

class CListPage : public CTDialog, public PageOperations {
    Q_OBJECT

public:
    // CSqlManagement::ListDevicesPage's shape; tests feed records through one of these.
    using PageLoader =
        std::function<bool(int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                           int pageSize, int pageNumber, bool ascending, std::string_view search)>;

    struct Config {
        int pageId = 0;  // dialog number; carried by the page-number strip's messages
        int gridId = 0;  // control id of the grid
        std::vector<ListColumn> columns;
        int sortColumn = -1;  // the first load's sort column; -1: the IP column
    };

    static constexpr int kPageSizes[] = {15, 30, 50, 100};
    static constexpr int kInitialPageSizeIndex = 1;  // 30

    explicit CListPage(Config config, QWidget* parent = nullptr);
    ~CListPage() override;

    // The application's store (CSqlManagement::ListDevicesPage); the default loader. The store
    // is reached on the first load, not before.
    static PageLoader StoreLoader();
    void SetPageLoader(PageLoader loader);
    // The loader the page reads with: the one set, else the store's.
    PageLoader Loader() const { return m_loader ? m_loader : StoreLoader(); }

    // Loads page `page` (pages below 1 load page 1) with the current sort, page size and search
    // text: reads the store, fills the grid, clears the check-all, sets the strip and the count.
    // While a cell of the grid is being edited the load is held (the last request wins) and runs
    // once the edit has ended, so no timer or refresh drops what the user is typing.
    void RefreshPage(int page);
    void RefreshPage() override;  // the current page
    void GoToPage(int page) override;

    // A click on a header cell: sorts by a sortable column, toggles check-all on the tick column.
    void OnHeaderClicked(int column);
    // The check-all box of the header: ticks every row on screen, or clears them all.
    void ToggleCheckAll();

    // Page state.
    int CurrentPage() const { return m_currentPage; }
    int SortColumn() const { return m_sortColumn; }
    bool SortDescending() const { return m_sortDescending; }
    int SortKey() const { return SortKeyOf(m_sortColumn); }
    const std::string& SearchText() const { return m_searchText; }  // local 8-bit
    bool CheckAll() const { return m_checkAll; }
    int PageSize() const;
    int PageCount() const { return m_pageCount; }      // of the last load
    int OnlineCount() const { return m_onlineCount; }  // of the last load
    bool ReloadHeld() const { return m_heldPage > 0; }

    // Columns.
    const std::vector<ListColumn>& Columns() const { return m_config.columns; }
    int ColumnOf(ListField field) const;  // -1 when the page has no such column
    int SortKeyOf(int column) const;      // the column's key, kDefaultSortKey outside the map
    int PageId() const { return m_config.pageId; }

    // Rows on screen. RowRecord is the record a row was made from (nullptr outside the grid).
    int RowCount() const;
    const ListRow* RowRecord(int row) const;
    // The first row whose cell in the column of `field` is exactly `text`; -1 when none.
    int FindRow(ListField field, const QString& text) const;
    QString CellText(int row, ListField field) const;

    // The selection entry of one row (IP, MAC and the type code of its Type text), and of every
    // ticked row in grid order.
    SelectionEntry RowEntry(int row) const;
    std::vector<SelectionEntry> GatherSelection() const;

    QColor ToneColor(CellTone tone) const;
    void SetImageList(CGridImageList images);

    // Controls.
    CGridCtrl* Grid() const { return m_grid; }
    CTEdit* SearchEdit() const { return m_searchEdit; }
    QComboBox* PageSizeList() const { return m_pageSize; }
    CTButtonPicture* RefreshButton() const { return m_refresh; }
    CTButtonPicture* ExportButton() const { return m_export; }        // CSV export (ui/lists/csv_export.h)
    CTButtonPicture* SearchButton() const { return m_searchButton; }  // hidden until a page shows it
    CTMultiPages* Pager() const { return m_pager; }
    CTStatic* OnlineLabel() const { return m_onlineLabel; }
    // The top bar, left of the search box: pages add their buttons here.
    QHBoxLayout* ActionBar() const { return m_actionBar; }
    void AddActionButton(QWidget* button);

signals:
    void pageLoaded(int page, int pageCount, int onlineCount);

protected:
    struct PageLoad {
        int page = 1;
        int pageSize = 30;
        int sortKey = kDefaultSortKey;
        bool ascending = false;
        std::string search;  // local 8-bit
        bool ok = false;     // the store answered
        int pageCount = 0;
        int onlineCount = 0;
        int storedRows = 0;
    };

    // Between reading the store and filling the grid. rows holds the stored records of the page;
    // a page may append rows of its own (they are shown after the stored ones).
    virtual void AddPageRows(const PageLoad& load, std::vector<ListRow>& rows);
    // After the grid, the strip and the count show the load.
    virtual void PageFilled(const PageLoad& load);

private:
    void BuildControls();
    void OnSearchTextChanged(const QString& text);
    std::vector<GridCell> MakeCells(const ListRow& row, int index, const PageLoad& load) const;
    void ShowOnlineCount(int count);
    void RunHeldReload();

    Config m_config;
    PageLoader m_loader;
    std::vector<ListRow> m_rows;

    int m_currentPage = 1;
    int m_sortColumn = 0;
    bool m_sortDescending = true;
    std::string m_searchText;
    bool m_checkAll = false;
    int m_pageCount = 0;
    int m_onlineCount = 0;
    int m_heldPage = 0;  // page of a load waiting for the grid's edit to end; 0: none

    CGridCtrl* m_grid = nullptr;
    CTEdit* m_searchEdit = nullptr;
    QComboBox* m_pageSize = nullptr;
    CTButtonPicture* m_refresh = nullptr;
    CTButtonPicture* m_export = nullptr;
    CTButtonPicture* m_searchButton = nullptr;
    CTMultiPages* m_pager = nullptr;
    CTStatic* m_onlineLabel = nullptr;
    CTStatic* m_pageSizeLabel = nullptr;
    QHBoxLayout* m_actionBar = nullptr;
};

}  // namespace pontiq
