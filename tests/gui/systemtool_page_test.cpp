#include <gtest/gtest.h>

#include <QMetaObject>
#include <QPixmap>
#include <string>
#include <vector>

#include "app/controls/ct_static.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/maintenance/system_tool_dlg.h"

namespace pontiq {
namespace {

using testing_engine::MakeAdapter;

TEST(SystemToolJoin, JoinsTheAddressesWithTwoDashes)
{
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> addresses;
        int countOverride;  // -1: the real count
        const char* expected;
    };
    const Case cases[] = {
        {"two", {{"192.168.0.10", "255.255.255.0"}, {"10.0.0.5", "255.0.0.0"}}, -1, "192.168.0.10--10.0.0.5"},
        {"one", {{"192.168.0.10", "255.255.255.0"}}, -1, "192.168.0.10"},
        {"three", {{"1.1.1.1", ""}, {"2.2.2.2", ""}, {"3.3.3.3", ""}}, -1, "1.1.1.1--2.2.2.2--3.3.3.3"},
        {"none", {}, -1, ""},
        {"a negative count", {{"1.1.1.1", ""}}, -5, ""},
        {"a count above ten reads ten", {{"1.1.1.1", ""}}, 99, "1.1.1.1------------------"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdapterInfo a = MakeAdapter("eth0", testing_engine::kAdapterMac, c.addresses);
        if (c.countOverride != -1) a.addressCount = c.countOverride;
        EXPECT_EQ(JoinAdapterAddresses(a), c.expected);
    }
}

class SystemToolPageTest : public test::CommandDialogTest {
public:
    void SetUp() override
    {
        CommandDialogTest::SetUp();
        test::ResetLanguage();
    }

    static QString Cell(const CSystemToolDlg& page, int row, int column)
    {
        return page.Grid()->CellText(row, column);
    }
    static void FireTimer(CSystemToolDlg& page)
    {
        QMetaObject::invokeMethod(&page.ReloadTimer(), "timeout", Qt::DirectConnection);
    }
};

TEST_F(SystemToolPageTest, ShowsTheUsableAdaptersAndReloadsEveryFiveSeconds)
{
    AdapterInfo wired = MakeAdapter("eth0", {0x02, 0x00, 0x00, 0xaa, 0xbb, 0x0c},
                                    {{"192.168.0.10", "255.255.255.0"}, {"10.0.0.5", "255.0.0.0"}});
    SetCText(wired.description, "eth0 (virtio_net)");
    AdapterInfo down =
        MakeAdapter("eth1", {0x02, 0, 0, 0, 0, 2}, {{"172.16.0.1", "255.255.0.0"}}, kAdapterDown);
    AdapterInfo wifi = MakeAdapter("wlan0", {0x02, 0, 0, 0, 0, 3}, {{"172.17.0.9", "255.255.0.0"}});
    SetAdapters({wired, down, wifi});

    QWidget container;
    CSystemToolDlg page(*engine_, &container);
    EXPECT_EQ(ControlId(&page), kPageSystemTool);
    EXPECT_FALSE(page.isWindow()) << "a page is a child of the page container";
    ASSERT_EQ(page.Grid()->ColumnCount(), 4);
    const char* titles[] = {"ID", "Description", "MAC", "IP"};
    const int widths[] = {60, 400, 140, 400};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(page.Grid()->ColumnTitle(c), QString::fromLatin1(titles[c]));
        EXPECT_EQ(page.Grid()->columnWidth(c), widths[c]);
    }

    // Loaded once on opening: the adapter that is down is not usable and not listed.
    ASSERT_EQ(page.Grid()->RowCount(), 2);
    EXPECT_EQ(Cell(page, 0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(page, 0, 1), QStringLiteral("eth0 (virtio_net)"));
    EXPECT_EQ(Cell(page, 0, 2), QStringLiteral("02:00:00:aa:bb:0c"));
    EXPECT_EQ(Cell(page, 0, 3), QStringLiteral("192.168.0.10--10.0.0.5"));
    EXPECT_EQ(Cell(page, 1, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(page, 1, 3), QStringLiteral("172.17.0.9"));
    EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("Adapter count:2"));
    EXPECT_EQ(ControlId(page.CountLabel()), kIdcSystemToolCount);
    EXPECT_EQ(page.Grid()->CellTextColor(0, 1), ToQColor(CurrentSettings().skin.gridTextColor));

    EXPECT_EQ(page.ReloadTimer().property(kTimerIdProperty).toInt(), CSystemToolDlg::kTimerReload);
    EXPECT_EQ(page.ReloadTimer().interval(), 5000);
    EXPECT_TRUE(page.ReloadTimer().isActive());

    // A new adapter shows on the next tick; one that goes away is gone.
    AdapterInfo usb = MakeAdapter("usb0", {0x02, 0, 0, 0, 0, 4}, {{"192.168.8.100", "255.255.255.0"}});
    SetAdapters({usb, wired});
    FireTimer(page);
    ASSERT_EQ(page.Grid()->RowCount(), 2);
    EXPECT_EQ(Cell(page, 0, 1), QStringLiteral("usb0"));
    EXPECT_EQ(Cell(page, 1, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(page, 1, 1), QStringLiteral("eth0 (virtio_net)"));

    // The engine's address list follows what the page read.
    bool merged = false;
    for (const AdapterAddress& a : engine_->AdapterAddresses())
        merged |= std::string(a.ip) == "192.168.8.100";
    EXPECT_TRUE(merged);

    // No adapters at all (no adapter library): an empty grid and the count 0.
    SetAdapters({});
    FireTimer(page);
    EXPECT_EQ(page.Grid()->RowCount(), 0);
    EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("Adapter count:0"));
}

TEST_F(SystemToolPageTest, CountTextIsTranslated)
{
    test::ProgramFolder folder;
    folder.WriteLanguage(2052, "Chinese",
                         "adapter count:%d=\xe7\xbd\x91\xe5\x8d\xa1\xe6\x95\xb0\xe9\x87\x8f\xef\xbc\x9a%d\n");
    folder.UseLanguage(2052);
    CSystemToolDlg page([] { return std::vector<AdapterInfo>(3); }, nullptr);
    test::ResetLanguage();
    EXPECT_EQ(page.AdapterCount(), 3);
    EXPECT_EQ(page.CountLabel()->text(),
              QString::fromUtf8("\xe7\xbd\x91\xe5\x8d\xa1\xe6\x95\xb0\xe9\x87\x8f\xef\xbc\x9a") +
                  QStringLiteral("3"));
}

TEST(SystemToolLook, RendersInEnglishAndChinese)
{
    const QString folder = test::GrabFolder();
    for (uint32_t locale : {kLocaleEnglishUs, kLocaleChineseSimplified}) {
        CApplicationApp app;
        app.LoadConfiguration(test::ResourceDir(), locale);
        std::vector<AdapterInfo> adapters = {
            MakeAdapter("enp3s0", {0x52, 0x54, 0x00, 0x12, 0x34, 0x56},
                        {{"192.168.0.10", "255.255.255.0"}, {"10.0.0.5", "255.0.0.0"}}),
            MakeAdapter("wlp2s0", {0x52, 0x54, 0x00, 0xab, 0xcd, 0xef}, {{"172.16.20.31", "255.255.0.0"}}),
        };
        SetCText(adapters[0].description, "enp3s0 (e1000e)");
        SetCText(adapters[1].description, "wlp2s0 (iwlwifi)");
        CSystemToolDlg page([adapters] { return adapters; }, nullptr);
        page.show();
        const QPixmap shot = page.grab();
        EXPECT_FALSE(shot.isNull());
        if (!folder.isEmpty()) {
            shot.save(folder +
                      QStringLiteral("/systemtool_%1.png")
                          .arg(locale == kLocaleEnglishUs ? QStringLiteral("en") : QStringLiteral("zh")));
        }
    }
    test::ResetLanguage();
}

}  // namespace
}  // namespace pontiq
